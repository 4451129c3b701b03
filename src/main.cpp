#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "contr_net_info.h"
#include "get_ip_mask_by_iface.h"
#include "html.h"
#include "interrupt.h"
#include "interfaces.h"
#include "menu.h"
#include "net.h"
#include "ping6.h"
#include "progress.h"

namespace {

/// Opens /dev/null on each of the descriptors 0, 1 and 2 that is closed.
/// The kernel hands out the lowest free number: started with standard
/// output closed, our first socket would become descriptor 1, and the
/// console text would go to a controller.
void keep_standard_descriptors_taken() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
      continue;
    // Lower numbers are open by now, so open() returns exactly `fd`.
    if (open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY) != fd)
      _exit(127);
  }
}

/// Pings the link, queries every node that answered, prints the summary and
/// offers the page of links; returns the exit status. Ctrl-C from the
/// ping's start to the last query ends the sweep only: what was gathered is
/// still summed up. A ping that failed and found nothing ends the run with
/// status 1: an empty summary would pass for a segment without controllers.
int sweep(const std::string& iface_name, int iface_index,
          const std::string& ip_pc, const std::string& mask_pc) {
  arm_sweep_interrupt();
  std::unordered_set<std::string> neighbours;
  if (!ping6(iface_index, iface_name, neighbours)) {
    disarm_sweep_interrupt();
    return 1;
  }

  std::vector<contr_net_info> controllers;
  std::string report;
  size_t queried = 0;  // queries that ended on their own
  for (const std::string& address : neighbours) {
    if (sweep_interrupted())
      break;
    progress_show(static_cast<int>(queried + 1),
                  static_cast<int>(neighbours.size()));
    std::string body;
    const QueryEnd end =
        query_contr_net_info(address.c_str(), iface_name.c_str(), body);
    // Only a query that Ctrl-C cut short was not made; one that ended on
    // its own counts, also when Ctrl-C came right after.
    if (end == QueryEnd::kInterrupted)
      break;
    ++queried;
    if (end != QueryEnd::kAnswered)
      continue;
    contr_net_info info;
    info.ip_pc = ip_pc;
    info.mask_pc = mask_pc;
    info.read(body);
    std::string line;
    info.get_print(line);
    report += line;
    report += "\n";
    controllers.push_back(info);
  }
  progress_clear();
  disarm_sweep_interrupt();

  if (sweep_interrupted()) {
    std::cout << std::endl;
    std::cout << Z("Опрос прерван: опрошено ") << queried << Z(" из ")
              << neighbours.size() << Z(" адресов.") << std::endl;
  }
  std::cout << std::endl;
  std::cout << Z("Обнаруженные контроллеры:") << std::endl;
  std::cout << report;
  std::cout << std::endl;
  std::cout << Z("Адрес FBD программирования: ")
            << Z("<ip_адрес>/get_local_file/fbd.html") << std::endl;
  std::cout << Z("Адрес для доступа к меню: ")
            << Z("<ip_адрес>/get_local_file/mal.html") << std::endl;
  std::cout << Z("Адрес для диспетчеризации: ") << Z("<ip_адрес>")
            << std::endl
            << std::endl;
  show_html(controllers);
  return 0;
}

}  // namespace

int main() {
  keep_standard_descriptors_taken();
  std::map<std::string, int> ifaces;
  if (!get_all_interfaces_ipv6(ifaces))
    return 0;
  if (ifaces.empty()) {
    std::cout << Z("Не найдено ни одного сетевого адаптера с адресом IPv6.")
              << std::endl;
    return 0;
  }

  std::string iface_name = ifaces.begin()->first;
  int iface_index = ifaces.begin()->second;
  int position = 0;
  std::string scratch;
  if (ifaces.size() >= 2) {
    Menu menu;
    menu.title = Z("Выберете сетевой адаптер компьютера");
    std::vector<int> indexes;  // parallel to the menu's items
    for (const auto& [name, index] : ifaces) {
      menu.items.push_back(name);
      indexes.push_back(index);
    }
    if (!menu.show(position, scratch))
      return 0;
    iface_name = menu.items[position];
    iface_index = indexes[position];
  }
  printf("\n%s: %s\n\n", Z("Выбранный сетевой адаптер компьютера"),
         iface_name.c_str());

  ips_masks addresses;
  if (!get_arr_ip_mask_by_iface(iface_index, iface_name, addresses)) {
    std::cout << Z("IP-адрес адаптера не найден.") << iface_name << std::endl;
    return 0;
  }
  position = 0;
  if (addresses.size() >= 2) {
    Menu menu;
    menu.title =
        std::string(Z("Выберите адрес для интерфейса ")) + iface_name;
    for (const ip_mask& entry : addresses)
      menu.items.push_back(entry.ip);
    if (!menu.show(position, scratch))
      return 0;
  }
  const std::string ip_pc = addresses[position].ip;
  const std::string mask_pc = addresses[position].mask;
  printf("\n%s: %s, mask: %s\n\n", Z("IP адрес сетевого адаптера компьютера"),
         ip_pc.c_str(), mask_pc.c_str());

  return sweep(iface_name, iface_index, ip_pc, mask_pc);
}
