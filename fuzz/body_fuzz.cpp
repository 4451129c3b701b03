// A hostile reply body read into a record, judged, printed and written as a
// table row: no crash, no field kept beyond its cap, nothing in the status
// line but the repertoire, blanks and TAB, and no markup of the
// controller's reaches the page.
#include <cstdlib>
#include <sstream>
#include <string>

#include "contr_net_info.h"
#include "html.h"
#include "text_check.h"

namespace {

bool starts_fixed_tag(const std::string& s, size_t at) {
  for (const char* tag : {"<TD>", "</TD>", "<a href='http://", "</a>"})
    if (s.compare(at, std::char_traits<char>::length(tag), tag) == 0)
      return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  contr_net_info info;
  info.ip_pc = "192.168.1.20";
  info.mask_pc = "255.255.255.0";
  info.read(body);
  std::string line = "old";
  info.get_print(line);
  for (const std::string* field :
       {&info.ip_contr, &info.mask_contr, &info.contr_name, &info.ip_configured,
        &info.aux, &info.systems})
    if (field->size() > kMaxFieldBytes)
      abort();
  // All of it, the fixed texts among them, is well-formed UTF-8 of the
  // repertoire, the tool's blanks and its TAB.
  if (!textcheck::foreign_in(line, " \t").empty())
    abort();
  std::string reason;
  if (info.available != info.check_ips_masks(reason))
    abort();

  std::ostringstream row;
  contr_net_info_html(row, info);
  const std::string cells = row.str();
  for (size_t at = cells.find('<'); at != std::string::npos;
       at = cells.find('<', at + 1))
    if (!starts_fixed_tag(cells, at))
      abort();
  // Quotes of the controller's cannot end the link attribute either.
  for (size_t at = cells.find("href='http://"); at != std::string::npos;
       at = cells.find("href='http://", at + 1)) {
    const size_t close = cells.find('\'', at + 6);
    if (close == std::string::npos || cells.compare(close, 2, "'>") != 0)
      abort();
  }
  return 0;
}
