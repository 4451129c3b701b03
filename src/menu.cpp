#include "menu.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "console.h"
#include "text_hook.h"

namespace {

// One read takes at most this less one characters; the rest of a longer
// line stays in the input for the next cycle or the next reader.
constexpr int kMenuLineBytes = 10;

constexpr std::string_view kFrame = "==============================\n";

bool quit() {
  print_format("%s\n", Z("Выход"));
  return false;
}

}  // namespace

bool Menu::show(int& index, std::string& chosen) const {
  const int count = static_cast<int>(items.size());
  for (;;) {
    print(kFrame);
    print_format("%s:\n", title.c_str());
    print(kFrame);
    for (int i = 0; i < count; ++i)
      print_format("%d: %s\n", i + 1, items[i].c_str());
    print_format("%s %d. q - %s: ", Z("Введите число от 1 to"), count,
                 Z("выход"));

    char line[kMenuLineBytes];
    if (fgets(line, sizeof line, stdin) == nullptr)
      return quit();  // end of input would otherwise repeat the menu forever
    const size_t len = strlen(line);
    if (len > 0)
      line[len - 1] = '\0';

    if (line[0] == 'q')
      return quit();
    const int value = static_cast<int>(strtol(line, nullptr, 10));
    if (value == 0) {
      print_format("%s\n", Z("Введено не допустимое значение."));
      continue;
    }
    if (value < 0 || value > count) {
      print_format("%s: %d\n", Z("Введено не допустимое значение."), value);
      continue;
    }
    index = value - 1;
    chosen = items[index];
    return true;
  }
}
