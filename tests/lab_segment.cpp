#include "lab_segment.h"

#include <algorithm>
#include <stdexcept>

namespace testutil {

namespace {

std::string bytes(const char* text, size_t size) { return std::string(text, size); }
#define BYTES(literal) bytes(literal, sizeof literal - 1)

// 16382 bytes of header, so that the header end straddles the first
// 16384-byte piece the client reads, then a body of 30000 bytes (appended:
// GCC bug 105651, see docs/testing.md).
std::string big_reply() {
  std::string reply = "HTTP/1.1 200 OK\r\nX: ";
  reply.append(16382 - 20, 'h');
  reply += "\r\n\r\n";
  reply.append(30000, 'b');
  return reply;
}

// A whole reply of exactly `size` bytes whose body says "not configured"
// and is then padded with blanks.
std::string reply_of_size(size_t size) {
  std::string reply = "HTTP/1.1 200 OK\r\n\r\n192.168.1.16 255.255.255.0 1";
  reply.resize(size, ' ');
  return reply;
}

std::vector<SegmentNode> make_nodes() {
  const std::string b1024(1024, 'b'), by_contr = "(ip_pc & mask_contr) != (ip_contr & mask_contr)";
  const std::string by_pc = "(ip_pc & mask_pc) != (ip_contr & mask_pc)";
  const std::string ok = " 'контроллер доступен'", no = " 'нет доступа к контроллеру' ";
  return {
      {"reachable", "192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a Отопление", "",
       "192.168.1.10" + ok + " K1\tОтопление",
       row7(Address::kLinked, "192.168.1.10", true, "K1", "Отопление")},
      {"by_contr_mask", "10.0.0.5 255.0.0.0 0 K2 10.0.0.5 a Вентиляция", "",
       "10.0.0.5" + no + by_contr + " K2\tВентиляция",
       row7(Address::kLinked, "10.0.0.5", false, "K2", "Вентиляция")},
      {"by_pc_mask", "192.168.2.5 255.255.0.0 0 K3 192.168.2.5 a S3", "",
       "192.168.2.5" + no + by_pc + " K3\tS3",
       row7(Address::kLinked, "192.168.2.5", false, "K3", "S3")},
      {"unconfigured", "192.168.1.11 255.255.255.0 1", "", "192.168.1.11" + ok + kUnconfigured,
       row5(Address::kLinked, "192.168.1.11", true, kUnconfigured)},
      {"differs", "192.168.1.12 255.255.255.0 0 K5 192.168.1.99 a S5", "",
       "192.168.1.12" + ok + kDiffers, row5(Address::kLinked, "192.168.1.12", true, kDiffers)},
      {"markup",
       "192.168.1.13 255.255.255.0 0 <b>K&6</b><script>x()</script> 192.168.1.13 a '\"><img/src=x>",
       "", "192.168.1.13" + ok + " <b>K&6</b><script>x()</script>\t'\"><img/src=x>",
       row7(Address::kLinked, "192.168.1.13", true,
            "&lt;b&gt;K&amp;6&lt;/b&gt;&lt;script&gt;x()&lt;/script&gt;",
            "&#39;&quot;&gt;&lt;img/src=x&gt;")},
      // Escape sequences that would hide lines, clear the screen, retitle
      // the window and fill the clipboard; NUL, DEL, BS and C1 CSI.
      {"escapes",
       BYTES("\x1b[2J192.168.1.14 255.255.255.0 0 K\x1b]0;pwn\x07\0\x7f\b "
             "\x1b[2J192.168.1.14 a S\xc2\x9b" "31m\x1b]52;c;cm0gLXJmIH4=\x07"),
       "", "?[2J192.168.1.1..." + no + by_contr + " K?]0;pwn????\tS?31m?]52;c;cm0gLXJmIH4=?",
       row7(Address::kText, "\x1b[2J192.168.1.14", false, BYTES("K\x1b]0;pwn\x07\0\x7f\b"),
            "S\xc2\x9b" "31m\x1b]52;c;cm0gLXJmIH4=\x07")},
      // The largest reply taken; one byte more is refused (mib_plus).
      {"mib", reply_of_size(1048576), "--mode raw", "192.168.1.16" + ok + kUnconfigured,
       row5(Address::kLinked, "192.168.1.16", true, kUnconfigured)},
      {"mib_plus", reply_of_size(1048577), "--mode raw", "", ""},
      // One field of 30000 bytes, kept to its first 1024 (the page shows
      // them), of which the status line shows 15.
      {"big", big_reply(), "--mode raw", "bbbbbbbbbbbbbbb..." + no + by_pc + kDiffers,
       row5(Address::kText, b1024, false, kDiffers)},
      {"refuse", "", "--mode refuse", "", ""},
      {"drop", "", "--mode drop", "", ""},
      {"silent", "", "--mode silent", "", ""},
      {"hang", "", "--mode hang", "", ""},
      {"keepopen", "kept", "--mode keepopen", "", ""},
      {"drip", "dripped", "--mode drip --drip-ms 300", "", ""},
      {"huge", "", "--mode huge --size 104857600", "", ""},
      // No header block, escapes, and a line longer than a quoted piece.
      {"noheader",
       "\x1b[2J\x1b[3J192.168.1.50 255.255.255.0 1 Щит-управления-насосной-станцией\r\n",
       "--mode raw", "", ""},
      {"reset", "", "--mode reset", "", ""},
      {"pingonly", "", "--no-sim", "", ""},
  };
}

}  // namespace

std::string menu_text(const std::string& title, const std::vector<std::string>& items) {
  const std::string frame = "==============================\n";
  std::string s = frame + title + ":\n" + frame;
  for (size_t i = 0; i < items.size(); ++i)
    s += std::to_string(i + 1) + ": " + items[i] + "\n";
  return s + "Введите число от 1 to " + std::to_string(items.size()) + ". q - выход: ";
}
std::string adapter_line(const std::string& name) {
  return "\nВыбранный сетевой адаптер компьютера: " + name + "\n\n";
}
std::string address_line(const std::string& ip, const std::string& mask) {
  return "\nIP адрес сетевого адаптера компьютера: " + ip + ", mask: " + mask + "\n\n";
}

const std::string kAdapterAndAddress =
    adapter_line("eth0") + address_line("192.168.1.20", "255.255.255.0");
const std::string kHeading = "\nОбнаруженные контроллеры:\n";
const std::string kQuestion = "Открыть ссылки в браузере chromium - введите 'y', иначе ENTER: ";
const std::string kTail =
    "\nАдрес FBD программирования: <ip_адрес>/get_local_file/fbd.html\n"
    "Адрес для доступа к меню: <ip_адрес>/get_local_file/mal.html\n"
    "Адрес для диспетчеризации: <ip_адрес>\n\n" +
    kQuestion;

const std::vector<SegmentNode>& segment_nodes() {
  static const std::vector<SegmentNode> nodes = make_nodes();
  return nodes;
}

const SegmentNode& segment_node(const std::string& name) {
  for (const SegmentNode& n : segment_nodes())
    if (n.name == name)
      return n;
  throw std::runtime_error("no segment node " + name);
}

SegmentLab::SegmentLab(const std::vector<std::string>& only) {
  std::vector<std::string> nodes;
  for (const SegmentNode& n : segment_nodes()) {
    if (!only.empty() && std::find(only.begin(), only.end(), n.name) == only.end())
      continue;
    // Bodies travel in files: they hold NUL, quotes and escape bytes.
    write_file(bodies_ / n.name, n.body);
    nodes.push_back(n.name + (n.sim == "--no-sim" ? " --no-sim"
                                                   : " --record --body-file " + bodies_ / n.name +
                                                         " " + n.sim));
  }
  lab_ = std::make_unique<Lab>("eth0 192.168.1.20/24", nodes);
}

}  // namespace testutil
