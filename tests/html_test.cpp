#include "html.h"

#include <sstream>

#include <gtest/gtest.h>

#include "page_model.h"

namespace {

using testutil::Address;

contr_net_info record(const std::string& ip, bool available, bool not_configured,
                      const std::string& configured, const std::string& name,
                      const std::string& systems) {
  contr_net_info i;
  i.ip_contr = ip;
  i.mask_contr = "255.255.255.0";
  i.available = available;
  i.not_configured = not_configured;
  i.ip_configured = configured;
  i.contr_name = name;
  i.systems = systems;
  return i;
}

// The fixed head: 465 bytes in 31 lines, an empty one first, then the
// document's opening, its style and the table's opening.
TEST(Html, HeadAndTail) {
  std::vector<std::string> lines;
  std::istringstream head(s1);
  for (std::string line; std::getline(head, line);)
    lines.push_back(line);
  EXPECT_EQ(s1.size(), 465u);
  EXPECT_EQ(s1.back(), '\n');
  ASSERT_EQ(lines.size(), 31u);
  const std::pair<size_t, std::string> fixed[] = {
      {1, ""},
      {2, "<!DOCTYPE html>"},
      {3, "<HTML>"},
      {4, "<head>"},
      {5, "\t<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=utf-8'>"},
      {6, "\t<title>Ссылки</title>"},
      {7, "\t<style type=\"text/css\">"},
      {10, "table.CTS {"},
      {26, ""},
      {28, "\t</style>"},
      {29, "</head>"},
      {30, "<BODY>"},
      {31, "<TABLE class=\"CTS\">"},
  };
  for (const auto& [number, text] : fixed)
    EXPECT_EQ(lines[number - 1], text) << "line " << number;
  EXPECT_EQ(s3, "\n</TABLE>\n</BODY>\n</HTML>\n");
}

TEST(Html, Cells) {
  std::ostringstream out;
  add_cell(out, "a & <b>");
  add_ref(out, "10.0.0.1/x");
  EXPECT_EQ(out.str(),
            "<TD>a & <b></TD><TD><a href='http://10.0.0.1/x'>10.0.0.1/x</a></TD>");
}

// An address with a NUL inside: what follows it must not hide behind a link.
const std::string kNulIp("10.0.0.9\0x", 10);

TEST(Html, RowsByKind) {
  struct Case {
    contr_net_info info;
    std::string cells;
  } cases[] = {
      {record("192.168.1.10", true, false, "192.168.1.10", "K1", "Отопление"),
       "<TD>192.168.1.10</TD><TD>Контроллер доступен.</TD>"
       "<TD><a href='http://192.168.1.10/get_local_file/fbd.html'>"
       "192.168.1.10/get_local_file/fbd.html</a></TD>"
       "<TD><a href='http://192.168.1.10/get_local_file/mal.html'>"
       "192.168.1.10/get_local_file/mal.html</a></TD>"
       "<TD><a href='http://192.168.1.10'>192.168.1.10</a></TD>"
       "<TD>K1</TD><TD>Отопление</TD>"},
      {record("10.0.0.5", false, true, "10.0.0.5", "K", "S"),
       testutil::row5(Address::kLinked, "10.0.0.5", false, testutil::kUnconfigured)},
      {record("10.0.0.6", true, false, "10.0.0.7", "K", "S"),
       testutil::row5(Address::kLinked, "10.0.0.6", true, testutil::kDiffers)},
      // Every text the controller chose is escaped; an address that is no
      // dotted quad gets the same cells, as text without a link.
      {record("1'><x>", false, false, "1'><x>", "<script>alert(\"&\")</script>", "'on'"),
       testutil::row7(Address::kText, "1&#39;&gt;&lt;x&gt;", false,
                      "&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;", "&#39;on&#39;")},
      {record("192.168.1.10@evil.example", true, false, "192.168.1.10@evil.example", "K", "S"),
       testutil::row7(Address::kText, "192.168.1.10@evil.example", true, "K", "S")},
      // A bidirectional control would reorder the text of its cell; a cut
      // one is no control.
      {record("192.168.1.14", true, false, "192.168.1.14", "\u202eK1<\u2066",
              "\u061c\u200e\u200f\u202a\u202b\u202c\u202d\u2067\u2068\u2069S\xe2\x80"),
       testutil::row7(Address::kLinked, "192.168.1.14", true, "?K1&lt;?",
                      "??????????S\xe2\x80")},
      {record(kNulIp, true, true, "", "", ""),
       testutil::row5(Address::kText, kNulIp, true, testutil::kUnconfigured)},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    contr_net_info_html(out, c.info);
    EXPECT_EQ(out.str(), c.cells);
  }

  std::vector<contr_net_info> list;
  std::string rows;
  for (const Case& c : cases) {
    list.push_back(c.info);
    rows += "<TR>" + c.cells + "</TR>\n";
  }
  EXPECT_EQ(report_page(list), testutil::expected_page(rows));
}

// Only an address a controller can have becomes a link: none of this
// computer's own (0.0.0.0/8, 127.0.0.0/8), no multicast, reserved or
// broadcast address.
TEST(Html, OnlyAControllersAddressBecomesALink) {
  struct Case {
    std::string ip;
    bool linked;
  } cases[] = {
      {"192.168.1.10", true},       {"1.0.0.0", true},
      {"126.255.255.255", true},    {"128.0.0.0", true},
      {"223.255.255.255", true},    {"0.0.0.0", false},
      {"0.255.255.255", false},     {"127.0.0.1", false},
      {"127.255.255.255", false},   {"224.0.0.251", false},
      {"240.0.0.1", false},         {"255.255.255.255", false},
      {"192.168.1.010", false},     {"192.168.1.300", false},
      {"1.2.3", false},             {"1.2.3.4.5", false},
      {"1.2.3.4:80", false},        {"1.2.3.4/x", false},
      {"fe80::1", false},           {"", false},
      {"evil.example", false},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    contr_net_info_html(out, record(c.ip, true, false, c.ip, "K", "S"));
    EXPECT_EQ(out.str(),
              testutil::row7(c.linked ? Address::kLinked : Address::kText,
                             c.ip, true, "K", "S"))
        << c.ip;
  }
}

TEST(Html, EmptyListHasTheHeaderRowOnly) {
  EXPECT_EQ(report_page({}), testutil::expected_page(""));
}

}  // namespace
