#ifndef CONTR_DISCOVERY_HTML_H_
#define CONTR_DISCOVERY_HTML_H_

#include <ostream>
#include <string>
#include <vector>

#include "contr_net_info.h"

/// The fixed head and tail of the report page.
extern const std::string s1;
extern const std::string s3;

/// The report's fixed path.
inline constexpr const char* kReportPath = "/tmp/disc734.html";

/// Writes "<TD>" + text + "</TD>"; the text is written as it stands.
void add_cell(std::ostream& out, std::string text);

/// Writes a cell linking to "http://" + url, showing url.
void add_ref(std::ostream& out, std::string url);

/// Writes the cells of one controller's row (5 or 7 cells); every text the
/// controller supplied is escaped for HTML, its bidirectional controls
/// shown as '?'. Link cells hold links only when `ip_contr` is a plain
/// dotted quad outside 0.0.0.0/8, 127.0.0.0/8 and 224.0.0.0 and up,
/// otherwise the same text without one.
void contr_net_info_html(std::ostream& out, const contr_net_info& info);

/// The whole page for `list`.
std::string report_page(const std::vector<contr_net_info>& list);

/// Asks whether to open the links; on "y" writes the page and starts
/// chromium on it in the background.
void show_html(const std::vector<contr_net_info>& list);

#endif  // CONTR_DISCOVERY_HTML_H_
