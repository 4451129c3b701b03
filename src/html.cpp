#include "html.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>

#include "console.h"
#include "replace_file.h"
#include "text_hook.h"

const std::string s1 =
    "\n"
    "<!DOCTYPE html>\n"
    "<HTML>\n"
    "<head>\n"
    "\t<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=utf-8'>\n"
    "\t<title>Ссылки</title>\n"
    "\t<style type=\"text/css\">\n"
    "\n"
    "\n"
    "table.CTS {\n"
    "  border: 1px solid #000000;\n"
    "  border-collapse: collapse;\n"
    "}\n"
    "table.CTS td, table.CTS th {\n"
    "  border: 2px solid #AAAAAA;\n"
    "}\n"
    "table.CTS thead {\n"
    "  background: #DDDDDD;\n"
    "}\n"
    "table.CTS thead th {\n"
    "  font-weight: normal;\n"
    "}\n"
    "table.CTS tfoot {\n"
    "  font-weight: bold;\n"
    "}\n"
    "\n"
    "\n"
    "\t</style>\n"
    "</head>\n"
    "<BODY>\n"
    "<TABLE class=\"CTS\">\n";

const std::string s3 = "\n</TABLE>\n</BODY>\n</HTML>\n";

namespace {

/// The UTF-8 forms of the bidirectional controls (U+061C, U+200E, U+200F,
/// U+202A..U+202E, U+2066..U+2069): in a cell they would reorder the text
/// around them, so that a name could show as another.
constexpr std::string_view kBidiControls[] = {
    "\u061c", "\u200e", "\u200f", "\u202a", "\u202b", "\u202c", "\u202d",
    "\u202e", "\u2066", "\u2067", "\u2068", "\u2069"};

/// A controller chooses its own texts and the page is opened in a browser:
/// the five characters that can open markup or leave an attribute are
/// written as entities, each bidirectional control as '?', all other bytes
/// as they are.
std::string escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const std::string_view rest = std::string_view(text).substr(i);
    // Each of them begins with D8 or E2.
    const auto bidi =
        text[i] != '\xd8' && text[i] != '\xe2'
            ? std::end(kBidiControls)
            : std::find_if(std::begin(kBidiControls), std::end(kBidiControls),
                           [&rest](std::string_view control) {
                             return rest.starts_with(control);
                           });
    if (bidi != std::end(kBidiControls)) {
      out += '?';
      i += bidi->size() - 1;
      continue;
    }
    switch (text[i]) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += text[i];
    }
  }
  return out;
}

/// True when `text` is nothing but a dotted quad that a controller can
/// have: only such a text may become the host of a link.
/// "192.168.1.10@evil.example" would send the browser to evil.example, and
/// 127.0.0.1 or 0.0.0.0 to a service on the operator's own computer;
/// multicast, reserved and broadcast addresses (224.0.0.0 and up) are no
/// host's either.
bool is_controller_address(const std::string& text) {
  in_addr addr;
  if (text.find('\0') != std::string::npos ||
      inet_pton(AF_INET, text.c_str(), &addr) != 1)
    return false;
  const uint32_t first = ntohl(addr.s_addr) >> 24;
  return first != 0 && first != 127 && first < 224;
}

}  // namespace

void add_cell(std::ostream& out, std::string text) {
  out << "<TD>" << text << "</TD>";
}

void add_ref(std::ostream& out, std::string url) {
  add_cell(out, "<a href='http://" + url + "'>" + url + "</a>");
}

void contr_net_info_html(std::ostream& out, const contr_net_info& info) {
  const std::string ip = escape(info.ip_contr);
  // A controller that reports no address a controller can have gets its
  // text shown in the link cells, but no link.
  const auto url_cell =
      is_controller_address(info.ip_contr) ? add_ref : add_cell;
  add_cell(out, ip);
  add_cell(out, info.available ? "Контроллер доступен." : "Нет доступа к контр.");
  url_cell(out, ip + "/get_local_file/fbd.html");
  url_cell(out, ip + "/get_local_file/mal.html");
  if (info.not_configured) {
    add_cell(out, " сетевые настройки не сконфигурированы");
  } else if (info.ip_contr != info.ip_configured) {
    add_cell(out, " Ошибка: настроенный адрес не совпадает с реальным.");
  } else {
    url_cell(out, ip);
    add_cell(out, escape(info.contr_name));
    add_cell(out, escape(info.systems));
  }
}

std::string report_page(const std::vector<contr_net_info>& list) {
  std::ostringstream out;
  out << s1 << "<thead><TR>";
  for (const char* header :
       {"IP адрес", "Доступность по сети", "Адрес FBD программирования",
        "Адрес для доступа к меню", "Адрес для диспетчеризации",
        "Имя контроллера", "Системы"})
    add_cell(out, header);
  out << "</TR></thead>\n";
  for (const contr_net_info& info : list) {
    out << "<TR>";
    contr_net_info_html(out, info);
    out << "</TR>\n";
  }
  out << s3;
  // The page can be megabytes: hand over the buffer instead of a copy.
  return std::move(out).str();
}

void show_html(const std::vector<contr_net_info>& list) {
  print(Z("Открыть ссылки в браузере chromium - введите 'y', иначе ENTER: "));
  if (getc(stdin) != 'y')
    return;
  if (!replace_file(kReportPath, report_page(list))) {
    const int err = errno;
    print_error(std::string(Z("Не удалось записать файл ")) + kReportPath +
                ": " + strerror(err) + "\n");
    return;
  }
  // The trailing & lets the shell start the browser in the background.
  const std::string browser =
      std::string("chromium file://") + kReportPath + "&";
  (void)!system(browser.c_str());
}
