#ifndef CONTR_DISCOVERY_MENU_H_
#define CONTR_DISCOVERY_MENU_H_

#include <string>
#include <vector>

/// A numbered choice on the console.
struct Menu {
  std::string title;
  std::vector<std::string> items;

  /// Shows the menu until the operator types a valid number (true, with the
  /// 0-based `index` and a copy of the entry in `chosen`) or quits with "q"
  /// or end of input (false, after "Выход"; outputs untouched).
  bool show(int& index, std::string& chosen) const;
};

#endif  // CONTR_DISCOVERY_MENU_H_
