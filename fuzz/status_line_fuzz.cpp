// A status line made of any record fields a device can send, laid out on
// terminals of 20 to 200 columns: nothing of it but the repertoire, the
// tool's blanks and its TAB, and no row after the first begins like a
// status row of its own ("<address> 'контроллер доступен'") or like the
// summary's heading, whatever the fields hold and however the line wraps.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>

#include "contr_net_info.h"
#include "text_check.h"

namespace {

const std::string kVerdicts[] = {" 'контроллер доступен'",
                                 " 'нет доступа к контроллеру'"};
const std::string kHeading = "Обнаруженные контроллеры:";

/// A row that reads as the start of a status line: an address (digits and
/// points) and a verdict right after it.
bool reads_as_status_row(const std::string& row) {
  const size_t end = row.find_first_not_of("0123456789.");
  if (end == 0 || end == std::string::npos)
    return false;
  for (const std::string& verdict : kVerdicts)
    if (row.compare(end, verdict.size(), verdict) == 0)
      return true;
  return false;
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
  const textcheck::Layout layout(line);
  for (size_t columns = 20; columns <= 200; ++columns) {
    // Enough of a row for the longest shape it could take.
    for (const std::string& row : layout.later_rows(columns, 80))
      if (reads_as_status_row(row) || row.rfind(kHeading, 0) == 0)
        abort();
  }
  return 0;
}
