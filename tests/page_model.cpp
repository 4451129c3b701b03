#include "page_model.h"

#include "html.h"

namespace testutil {

namespace {

const std::string kHeaderRow =
    "<thead><TR><TD>IP адрес</TD><TD>Доступность по сети</TD>"
    "<TD>Адрес FBD программирования</TD><TD>Адрес для доступа к меню</TD>"
    "<TD>Адрес для диспетчеризации</TD><TD>Имя контроллера</TD>"
    "<TD>Системы</TD></TR></thead>\n";

std::string cell(const std::string& text) { return "<TD>" + text + "</TD>"; }

std::string url_cell(Address address, const std::string& url) {
  return cell(address == Address::kLinked ? "<a href='http://" + url + "'>" + url + "</a>" : url);
}

std::string first_cells(Address address, const std::string& ip, bool available) {
  return cell(ip) + cell(available ? "Контроллер доступен." : "Нет доступа к контр.") +
         url_cell(address, ip + "/get_local_file/fbd.html") +
         url_cell(address, ip + "/get_local_file/mal.html");
}

}  // namespace

const std::string kUnconfigured = " сетевые настройки не сконфигурированы";
const std::string kDiffers = " Ошибка: настроенный адрес не совпадает с реальным.";

std::string expected_page(const std::string& rows) {
  return s1 + kHeaderRow + rows + "\n</TABLE>\n</BODY>\n</HTML>\n";
}

std::string row7(Address address, const std::string& ip, bool available,
                 const std::string& name, const std::string& systems) {
  return first_cells(address, ip, available) + url_cell(address, ip) + cell(name) + cell(systems);
}

std::string row5(Address address, const std::string& ip, bool available, const std::string& note) {
  return first_cells(address, ip, available) + cell(note);
}

}  // namespace testutil
