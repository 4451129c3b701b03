#include "html.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>

#include "test_util.h"

namespace {

const std::string kHeaderRow =
    "<thead><TR><TD>IP адрес</TD><TD>Доступность по сети</TD>"
    "<TD>Адрес FBD программирования</TD><TD>Адрес для доступа к меню</TD>"
    "<TD>Адрес для диспетчеризации</TD><TD>Имя контроллера</TD>"
    "<TD>Системы</TD></TR></thead>\n";

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
  EXPECT_EQ(s1.size(), 465u);
  EXPECT_EQ(std::count(s1.begin(), s1.end(), '\n'), 31);
  EXPECT_EQ(s1.substr(0, 17), "\n<!DOCTYPE html>\n");
  EXPECT_EQ(s1.substr(s1.size() - 20), "<TABLE class=\"CTS\">\n");
  EXPECT_EQ(s3, "\n</TABLE>\n</BODY>\n</HTML>\n");
  EXPECT_EQ(s3.size(), 26u);
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
  EXPECT_EQ(report_page(list), s1 + kHeaderRow + rows + s3);
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
    const std::string ref = "<a href='http://" + c.ip + "'>" + c.ip + "</a>";
    EXPECT_EQ(out.str(), "<TD>" + c.ip + "</TD><TD>Контроллер доступен.</TD>" +
                             (c.linked ? "<TD><a href='http://" + c.ip +
                                             "/get_local_file/fbd.html'>"
                                       : "<TD>") +
                             c.ip + "/get_local_file/fbd.html" +
                             (c.linked ? "</a></TD>" : "</TD>") +
                             (c.linked ? "<TD><a href='http://" + c.ip +
                                             "/get_local_file/mal.html'>"
                                       : "<TD>") +
                             c.ip + "/get_local_file/mal.html" +
                             (c.linked ? "</a></TD>" : "</TD>") + "<TD>" +
                             (c.linked ? ref : c.ip) + "</TD><TD>K</TD><TD>S</TD>")
        << c.ip;
  }
}

TEST(Html, EmptyListHasTheHeaderRowOnly) {
  EXPECT_EQ(report_page({}), s1 + kHeaderRow + s3);
}

class ReportFile : public ::testing::Test {
 protected:
  void SetUp() override {
    char templ[] = "/tmp/cdt-html-XXXXXX";
    ASSERT_NE(mkdtemp(templ), nullptr);
    dir_ = templ;
    path_ = dir_ + "/disc734.html";
  }
  void TearDown() override { testutil::sh("rm -rf " + dir_); }
  /// The names in the folder, sorted, one a line.
  std::string listing() const {
    return testutil::sh_out("ls -A " + dir_ + " | sort");
  }
  std::string dir_, path_;
};

TEST_F(ReportFile, WritesAndOverwrites) {
  const mode_t old_mask = umask(027);
  ASSERT_TRUE(write_report_file(path_.c_str(), "a longer first page"));
  ASSERT_TRUE(write_report_file(path_.c_str(), "second"));
  umask(old_mask);
  EXPECT_EQ(testutil::read_file(path_), "second");
  EXPECT_EQ(listing(), "disc734.html\n");  // no temporary file left
  struct stat st;
  ASSERT_EQ(stat(path_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);  // 0644 under the caller's umask
}

// A write that fails halfway (here the file size limit, as a full disk
// would): the earlier page stays whole and the new one leaves nothing.
TEST_F(ReportFile, FailedWriteKeepsTheEarlierPage) {
  ASSERT_TRUE(write_report_file(path_.c_str(), "earlier page"));
  const testutil::ChildResult r = testutil::run_child("", [this] {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{4096, 4096};
    setrlimit(RLIMIT_FSIZE, &limit);
    errno = 0;
    const bool ok = write_report_file(path_.c_str(), std::string(200000, 'p'));
    return std::string(ok ? "written" : strerror(errno));
  });
  EXPECT_EQ(r.result, strerror(EFBIG));
  EXPECT_EQ(testutil::read_file(path_), "earlier page");
  EXPECT_EQ(listing(), "disc734.html\n");
}

TEST_F(ReportFile, MissingFolder) {
  errno = 0;
  EXPECT_FALSE(write_report_file((dir_ + "/none/disc734.html").c_str(), "x"));
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(listing(), "");
}

// A second name planted at the path: the file it names stays as it was.
TEST_F(ReportFile, RefusesLinksToAnotherFile) {
  const std::string target = dir_ + "/target";
  struct Case {
    int (*plant)(const char*, const char*);
    int err;
  } cases[] = {{symlink, ELOOP}, {link, EMLINK}};
  for (const Case& c : cases) {
    { std::ofstream(target) << "precious"; }
    unlink(path_.c_str());
    ASSERT_EQ(c.plant(target.c_str(), path_.c_str()), 0);
    errno = 0;
    EXPECT_FALSE(write_report_file(path_.c_str(), "page"));
    EXPECT_EQ(errno, c.err);
    EXPECT_EQ(testutil::read_file(target), "precious");
    EXPECT_EQ(listing(), "disc734.html\ntarget\n");
  }
}

TEST_F(ReportFile, RefusesADanglingSymbolicLink) {
  const std::string target = dir_ + "/created-through-link";
  ASSERT_EQ(symlink(target.c_str(), path_.c_str()), 0);
  EXPECT_FALSE(write_report_file(path_.c_str(), "page"));
  EXPECT_NE(access(target.c_str(), F_OK), 0);
}

TEST_F(ReportFile, RefusesAFileOfAnotherUser) {
  REQUIRE_ROOT();  // to give the file away
  { std::ofstream(path_) << "theirs"; }
  ASSERT_EQ(chown(path_.c_str(), 65534, 65534), 0);
  errno = 0;
  EXPECT_FALSE(write_report_file(path_.c_str(), "page"));
  EXPECT_EQ(errno, EPERM);
  EXPECT_EQ(testutil::read_file(path_), "theirs");
}

TEST_F(ReportFile, RefusesAFifoWithoutHanging) {
  ASSERT_EQ(mkfifo(path_.c_str(), 0600), 0);
  EXPECT_FALSE(write_report_file(path_.c_str(), "page"));
}

TEST_F(ReportFile, RefusesADirectory) {
  ASSERT_EQ(mkdir(path_.c_str(), 0700), 0);
  EXPECT_FALSE(write_report_file(path_.c_str(), "page"));
}

}  // namespace
