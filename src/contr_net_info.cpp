#include "contr_net_info.h"

#include <cstdio>
#include <sstream>

#include "device_text.h"
#include "text_hook.h"

namespace {

/// A dotted quad has at most 15 characters, so every real address is
/// shown whole.
constexpr size_t kShownAddressChars = 15;

/// The address field as the status line shows it: filtered and bounded.
/// Shown whole, a long field would wrap, and its tail could start a row
/// that reads as a status line of another controller.
std::string shown_address(const std::string& ip) {
  std::string shown = terminal_safe(ip);
  // Every character of the filtered text takes one column.
  const size_t head = utf8_prefix_chars(shown, kShownAddressChars);
  if (head < shown.size()) {
    shown.resize(head);
    shown += "...";
  }
  return shown;
}

/// Reads one token into `field`, capped; false at the end of the body.
bool read_token(std::istream& in, std::string& field) {
  if (!(in >> field))
    return false;
  field.resize(utf8_head_size(field, kMaxFieldBytes));
  return true;
}

}  // namespace

void contr_net_info::read(const std::string& body) {
  std::istringstream in(body);
  if (!read_token(in, ip_contr) || !read_token(in, mask_contr))
    return;
  // On a failed read the number is 0 when no digits came and the type's
  // limit when they overflowed it; either way the reading ends there.
  int flag = 0;
  const bool got_flag = static_cast<bool>(in >> flag);
  not_configured = flag != 0;
  if (!got_flag || not_configured)
    return;
  read_token(in, contr_name) && read_token(in, ip_configured) &&
      read_token(in, aux) && read_token(in, systems);
}

uint32_t parse_IPv4_string(const std::string& text) {
  // Unconverted numbers stay 0 so that any text gives one fixed value.
  unsigned a = 0, b = 0, c = 0, d = 0;
  sscanf(text.c_str(), "%u.%u.%u.%u", &a, &b, &c, &d);
  return (a << 24) | (b << 16) | (c << 8) | d;
}

bool contr_net_info::check_ips_masks(std::string& reason) const {
  const uint32_t pc = parse_IPv4_string(ip_pc);
  const uint32_t pc_mask = parse_IPv4_string(mask_pc);
  const uint32_t contr = parse_IPv4_string(ip_contr);
  const uint32_t contr_mask = parse_IPv4_string(mask_contr);
  const uint32_t diff = pc ^ contr;
  if (diff & contr_mask) {
    reason = "(ip_pc & mask_contr) != (ip_contr & mask_contr)";
    return false;
  }
  if (diff & pc_mask) {
    reason = "(ip_pc & mask_pc) != (ip_contr & mask_pc)";
    return false;
  }
  return true;
}

void contr_net_info::get_print(std::string& line) {
  // The controller chose these bytes; on the console they must stay text.
  line = shown_address(ip_contr);
  std::string reason;
  available = check_ips_masks(reason);
  if (available) {
    line += Z(" 'контроллер доступен'");
  } else {
    line += Z(" 'нет доступа к контроллеру' ");
    line += reason;
  }
  if (not_configured) {
    line += Z(" сетевые настройки не сконфигурированы");
  } else if (ip_contr != ip_configured) {
    line += Z(" Ошибка: настроенный адрес не совпадает с реальным.");
  } else {
    line += ' ';
    line += Z(terminal_safe(contr_name).c_str());
    line += '\t';
    line += Z(terminal_safe(systems).c_str());
  }
}
