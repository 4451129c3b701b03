#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <unordered_set>
#include <vector>

#include "console.h"
#include "contr_net_info.h"
#include "device_text.h"
#include "get_ip_mask_by_iface.h"
#include "html.h"
#include "interrupt.h"
#include "interfaces.h"
#include "link_state.h"
#include "menu.h"
#include "net.h"
#include "ping6.h"
#include "text_hook.h"

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

/// The position of the operator's choice among `items`: a menu only where
/// there is a real choice. False when the operator quit.
bool choose(const std::string& title, const std::vector<std::string>& items,
            int& position) {
  position = 0;
  if (items.size() < 2)
    return true;
  std::string chosen;
  return Menu{title, items}.show(position, chosen);
}

/// What one sweep gathered.
struct Sweep {
  std::vector<contr_net_info> controllers;
  std::vector<std::string> lines;  // their status lines
  size_t addresses = 0;  // that answered the ping (at most kMaxNeighbours)
  size_t queried = 0;    // queries that ended on their own
};

/// Pings the link and queries every node that answered; the queries' own
/// messages are printed as they come. False when the ping failed and found
/// nothing: an empty summary would pass for a segment without controllers.
/// Ctrl-C from the ping's start to the last query ends the sweep only.
bool gather(const std::string& iface_name, int iface_index,
            const std::string& ip_pc, const std::string& mask_pc,
            Sweep& sweep) {
  std::unordered_set<std::string> neighbours;
  bool left_out = false;
  if (!ping6(iface_index, iface_name, neighbours, &left_out))
    return false;
  sweep.addresses = neighbours.size();
  if (left_out) {
    static_assert(kMaxNeighbours == 1024, "the text names the cap");
    print_format("%s\n",
                 Z("Ответило больше 1024 адресов: опрашиваются первые 1024."));
  }

  for (const std::string& address : neighbours) {
    if (sweep_interrupted())
      break;
    progress_show(static_cast<int>(sweep.queried + 1),
                  static_cast<int>(neighbours.size()));
    std::string body;
    const QueryEnd end =
        query_contr_net_info(address.c_str(), iface_name.c_str(), body);
    // Only a query that Ctrl-C cut short was not made; one that ended on
    // its own counts, also when Ctrl-C came right after.
    if (end == QueryEnd::kInterrupted)
      break;
    ++sweep.queried;
    if (end != QueryEnd::kAnswered)
      continue;
    contr_net_info info;
    info.ip_pc = ip_pc;
    info.mask_pc = mask_pc;
    info.read(body);
    std::string line;
    info.get_print(line);
    sweep.lines.push_back(line);
    sweep.controllers.push_back(info);
  }
  progress_clear();
  return true;
}

void print_summary(const Sweep& sweep) {
  std::string text;
  if (sweep_interrupted()) {
    text += "\n";
    text += Z("Опрос прерван: опрошено ");
    text += std::to_string(sweep.queried);
    text += Z(" из ");
    text += std::to_string(sweep.addresses);
    text += Z(" адресов.");
    text += "\n";
  }
  text += "\n";
  text += Z("Обнаруженные контроллеры:");
  text += "\n";
  const unsigned columns = screen_columns();
  for (const std::string& line : sweep.lines) {
    text += fit_status_line(line, columns);
    text += "\n";
  }
  text += "\n";
  text += Z("Адрес FBD программирования: ");
  text += Z("<ip_адрес>/get_local_file/fbd.html");
  text += "\n";
  text += Z("Адрес для доступа к меню: ");
  text += Z("<ip_адрес>/get_local_file/mal.html");
  text += "\n";
  text += Z("Адрес для диспетчеризации: ");
  text += Z("<ip_адрес>");
  text += "\n\n";
  print(text);
}

/// The whole run; its exit status.
int run() {
  std::map<std::string, int> ifaces;
  if (!get_all_interfaces_ipv6(ifaces))
    return 0;
  if (ifaces.empty()) {
    print_format("%s\n",
                 Z("Не найдено ни одного сетевого адаптера с адресом IPv6."));
    return 0;
  }

  std::vector<std::string> names;
  std::vector<int> indexes;  // parallel to the names
  for (const auto& [name, index] : ifaces) {
    names.push_back(name);
    indexes.push_back(index);
  }
  int position = 0;
  if (!choose(Z("Выберете сетевой адаптер компьютера"), names, position))
    return 0;
  const std::string iface_name = names[position];
  const int iface_index = indexes[position];
  print_format("\n%s: %s\n\n", Z("Выбранный сетевой адаптер компьютера"),
               iface_name.c_str());

  ips_masks addresses;
  if (!get_arr_ip_mask_by_iface(iface_index, iface_name, addresses)) {
    print_format("%s%s\n", Z("IP-адрес адаптера не найден."),
                 iface_name.c_str());
    return 0;
  }
  std::vector<std::string> ips;
  for (const ip_mask& entry : addresses)
    ips.push_back(entry.ip);
  if (!choose(std::string(Z("Выберите адрес для интерфейса ")) + iface_name,
              ips, position))
    return 0;
  const std::string ip_pc = addresses[position].ip;
  const std::string mask_pc = addresses[position].mask;
  print_format("\n%s: %s, mask: %s\n\n",
               Z("IP адрес сетевого адаптера компьютера"), ip_pc.c_str(),
               mask_pc.c_str());
  // An operator who plugs the cable in and starts the tool at once must
  // not be told that the segment is empty; one who forgot the cable must
  // be told why it is.
  const LinkState link = wait_for_usable_link(iface_name, kLinkWaitMs);
  if (link.up && !link.carrier)
    print_format("%s\n", Z("Сетевой кабель не подключён."));

  Sweep sweep;
  arm_sweep_interrupt();
  const bool swept = gather(iface_name, iface_index, ip_pc, mask_pc, sweep);
  disarm_sweep_interrupt();
  if (!swept)
    return 1;
  print_summary(sweep);
  show_html(sweep.controllers);
  return 0;
}

}  // namespace

int main() {
  keep_standard_descriptors_taken();
  return finish_stdout(run());
}
