// A status line made of any record fields a device can send, as the tool
// writes it on terminals of 20 to 200 columns: nothing of it but the
// repertoire, the tool's blanks and its TAB; every row fits its terminal,
// so that the terminal wraps none; and no row but the first begins with a
// character that came from a device's field, whatever the fields hold.
// Which characters came from a device is worked out from the fields, not
// from what the line looks like.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "contr_net_info.h"
#include "device_text.h"
#include "text_check.h"

namespace {

/// How many characters `s` shows once filtered: each well-formed
/// character, and each byte that begins none, is one.
size_t units(const std::string& s) {
  size_t count = 0;
  char32_t cp;
  for (size_t i = 0; i < s.size(); ++count)
    i += std::max<size_t>(textcheck::decode_at(s, i, cp), 1);
  return count;
}

/// Where the rows begin when a terminal of `columns` shows `text` (one-
/// column characters, TABs and LFs): the offset of each row's first
/// character; `wrapped` counts the rows the terminal began itself, after a
/// full one. A TAB moves on to the next multiple of 8, at most to the last
/// column.
std::vector<size_t> row_starts(const std::string& text, size_t columns,
                                      size_t& wrapped) {
  std::vector<size_t> starts{0};
  wrapped = 0;
  for (size_t i = 0, column = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xc0) == 0x80)
      continue;
    if (text[i] == '\n') {
      starts.push_back(i + 1);
      column = 0;
    } else if (text[i] == '\t') {
      column = std::max(column, std::min((column / 8 + 1) * 8, columns - 1));
    } else if (column++ == columns) {
      starts.push_back(i);
      ++wrapped;
      column = 1;
    }
  }
  return starts;
}

/// For each byte of `line`, whether it belongs to a character of a device's
/// field: the address (its first 15 characters), and where the line ends in
/// the name and the systems, those two.
std::vector<bool> device_bytes(const std::string& line,
                               const contr_net_info& info) {
  std::vector<size_t> starts;  // of each character
  for (size_t i = 0; i < line.size(); ++i)
    if ((static_cast<unsigned char>(line[i]) & 0xc0) != 0x80)
      starts.push_back(i);
  std::vector<bool> device(starts.size(), false);
  const size_t address = std::min<size_t>(units(info.ip_contr), 15);
  for (size_t k = 0; k < address && k < device.size(); ++k)
    device[k] = true;
  if (!info.not_configured && info.ip_contr == info.ip_configured) {
    // ... ' ' name TAB systems
    const size_t systems = units(info.systems);
    const size_t name = units(info.contr_name);
    if (systems + 1 + name > device.size())
      abort();
    for (size_t k = 0; k < systems + 1 + name; ++k)
      device[device.size() - 1 - k] = k != systems;
  }
  std::vector<bool> bytes(line.size() + 1, false);
  for (size_t k = 0; k < starts.size(); ++k)
    for (size_t i = starts[k]; i < (k + 1 < starts.size() ? starts[k + 1] : line.size()); ++i)
      bytes[i] = device[k];
  return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  FuzzedDataProvider input(data, size);
  contr_net_info info;
  info.ip_pc = "192.168.1.20";
  info.mask_pc = "255.255.255.0";
  info.ip_contr = input.ConsumeRandomLengthString(kMaxFieldBytes);
  info.mask_contr = input.ConsumeRandomLengthString(kMaxFieldBytes);
  info.contr_name = input.ConsumeRandomLengthString(kMaxFieldBytes);
  info.systems = input.ConsumeRandomLengthString(kMaxFieldBytes);
  info.not_configured = input.ConsumeBool();
  // Mostly the shape that shows the name and the systems.
  info.ip_configured = input.ConsumeBool()
                           ? input.ConsumeRandomLengthString(kMaxFieldBytes)
                           : info.ip_contr;
  std::string line;
  info.get_print(line);
  if (!textcheck::foreign_in(line, " \t").empty())
    abort();
  const std::vector<bool> device = device_bytes(line, info);
  for (unsigned columns = 20; columns <= 200; ++columns) {
    const std::string shown = fit_status_line(line, columns);
    // The line's bytes, with breaks ("\n  ") put in, each instead of a TAB
    // or before a character (and a TAB at the end perhaps gone): where each
    // byte of `shown` came from.
    std::vector<bool> from_device;
    size_t at = 0;
    for (size_t i = 0; i < shown.size();) {
      if (shown.compare(i, 3, "\n  ") == 0 && (at == line.size() || line[at] != '\n')) {
        from_device.insert(from_device.end(), 3, false);
        i += 3;
        if (at < line.size() && line[at] == '\t' && shown[i] != '\t')
          ++at;
        continue;
      }
      if (at == line.size() || shown[i] != line[at])
        abort();
      from_device.push_back(device[at]);
      ++i;
      ++at;
    }
    if (at + 1 == line.size() && line[at] == '\t')
      ++at;  // a TAB at the end that did not fit, and went
    if (at != line.size())
      abort();
    size_t wrapped = 0;
    const std::vector<size_t> rows = row_starts(shown, columns, wrapped);
    if (wrapped != 0)
      abort();
    for (size_t r = 1; r < rows.size(); ++r)
      if (rows[r] < shown.size() && from_device[rows[r]])
        abort();
  }
  return 0;
}
