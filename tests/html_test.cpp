#include "html.h"

#include <sstream>

#include "page_model.h"
#include "test_util.h"

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

TEST(Html, HeadAndTail) {
  EXPECT_EQ(s1, testutil::kPageHead);
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
       "<TD>10.0.0.5</TD><TD>Нет доступа к контр.</TD>"
       "<TD><a href='http://10.0.0.5/get_local_file/fbd.html'>"
       "10.0.0.5/get_local_file/fbd.html</a></TD>"
       "<TD><a href='http://10.0.0.5/get_local_file/mal.html'>"
       "10.0.0.5/get_local_file/mal.html</a></TD>"
       "<TD> сетевые настройки не сконфигурированы</TD>"},
      {record("10.0.0.6", true, false, "10.0.0.7", "K", "S"),
       "<TD>10.0.0.6</TD><TD>Контроллер доступен.</TD>"
       "<TD><a href='http://10.0.0.6/get_local_file/fbd.html'>"
       "10.0.0.6/get_local_file/fbd.html</a></TD>"
       "<TD><a href='http://10.0.0.6/get_local_file/mal.html'>"
       "10.0.0.6/get_local_file/mal.html</a></TD>"
       "<TD> Ошибка: настроенный адрес не совпадает с реальным.</TD>"},
      // Every text the controller chose is escaped; an address that is no
      // dotted quad gets the same cells, as text without a link.
      {record("1'><x>", false, false, "1'><x>", "<script>alert(\"&\")</script>",
              "'on'"),
       "<TD>1&#39;&gt;&lt;x&gt;</TD><TD>Нет доступа к контр.</TD>"
       "<TD>1&#39;&gt;&lt;x&gt;/get_local_file/fbd.html</TD>"
       "<TD>1&#39;&gt;&lt;x&gt;/get_local_file/mal.html</TD>"
       "<TD>1&#39;&gt;&lt;x&gt;</TD>"
       "<TD>&lt;script&gt;alert(&quot;&amp;&quot;)&lt;/script&gt;</TD>"
       "<TD>&#39;on&#39;</TD>"},
      {record("192.168.1.10@evil.example", true, false,
              "192.168.1.10@evil.example", "K", "S"),
       "<TD>192.168.1.10@evil.example</TD><TD>Контроллер доступен.</TD>"
       "<TD>192.168.1.10@evil.example/get_local_file/fbd.html</TD>"
       "<TD>192.168.1.10@evil.example/get_local_file/mal.html</TD>"
       "<TD>192.168.1.10@evil.example</TD><TD>K</TD><TD>S</TD>"},
      {record(kNulIp, true, true, "", "", ""),
       "<TD>" + kNulIp + "</TD><TD>Контроллер доступен.</TD><TD>" + kNulIp +
           "/get_local_file/fbd.html</TD><TD>" + kNulIp +
           "/get_local_file/mal.html</TD>"
           "<TD> сетевые настройки не сконфигурированы</TD>"},
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

TEST(Html, OnlyPlainDottedQuadsBecomeLinks) {
  struct Case {
    std::string ip;
    bool linked;
  } cases[] = {
      {"192.168.1.10", true},    {"0.0.0.0", true},
      {"255.255.255.255", true}, {"192.168.1.010", false},
      {"192.168.1.300", false},  {"1.2.3", false},
      {"1.2.3.4.5", false},      {"1.2.3.4:80", false},
      {"1.2.3.4/x", false},      {"fe80::1", false},
      {"", false},               {"evil.example", false},
  };
  for (const Case& c : cases) {
    std::ostringstream out;
    contr_net_info_html(out, record(c.ip, true, false, c.ip, "K", "S"));
    EXPECT_EQ(out.str(),
              testutil::row7(c.linked ? Address::kDottedQuad : Address::kText,
                             c.ip, true, "K", "S"))
        << c.ip;
  }
}

TEST(Html, EmptyListHasTheHeaderRowOnly) {
  EXPECT_EQ(report_page({}), testutil::expected_page(""));
}

}  // namespace
