// The whole run of the real binary in a lab segment: sweep, queries,
// summary, page and browser. The tool runs with a private /tmp and with a
// stand-in chromium that records how it was called.

#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

#include "contr_net_info.h"
#include "html.h"
#include "ping6.h"
#include "test_util.h"

namespace {

const std::string kAdapterAndAddress =
    "\nВыбранный сетевой адаптер компьютера: eth0\n\n"
    "\nIP адрес сетевого адаптера компьютера: 192.168.1.20, mask: "
    "255.255.255.0\n\n";
const std::string kHeading = "\nОбнаруженные контроллеры:\n";
const std::string kTail =
    "\nАдрес FBD программирования: <ip_адрес>/get_local_file/fbd.html\n"
    "Адрес для доступа к меню: <ip_адрес>/get_local_file/mal.html\n"
    "Адрес для диспетчеризации: <ip_адрес>\n\n"
    "Открыть ссылки в браузере chromium - введите 'y', иначе ENTER: ";

// Bodies of the simulated controllers; the computer is 192.168.1.20/24.
const std::map<std::string, std::string> kBodies = {
    {"reachable", "192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a Отопление"},
    {"by_contr_mask", "10.0.0.5 255.0.0.0 0 K2 10.0.0.5 a Вентиляция"},
    {"by_pc_mask", "192.168.2.5 255.255.0.0 0 K3 192.168.2.5 a S3"},
    {"unconfigured", "192.168.1.11 255.255.255.0 1"},
    {"differs", "192.168.1.12 255.255.255.0 0 K5 192.168.1.99 a S5"},
    {"markup", "192.168.1.13 255.255.255.0 0 <b>K&6</b><script>x()</script> "
               "192.168.1.13 a 'q\"'"},
};

class WholeRun : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!testutil::netns_unavailable().empty())
      return;
    std::vector<std::string> nodes;
    for (const auto& [name, body] : kBodies)
      nodes.push_back(name + " --body " + shell_quote(body));
    nodes.push_back("refusing --mode refuse");
    nodes.push_back("silent --mode silent");
    lab_ = new testutil::Lab("eth0 192.168.1.20/24", nodes);
  }
  static void TearDownTestSuite() {
    delete lab_;
    lab_ = nullptr;
  }
  void SetUp() override {
    if (lab_ != nullptr)
      tool_ = std::make_unique<testutil::ToolRunner>(*lab_);
  }

  static testutil::Lab* lab_;
  std::unique_ptr<testutil::ToolRunner> tool_;
};

testutil::Lab* WholeRun::lab_ = nullptr;

TEST_F(WholeRun, SummaryPageAndBrowser) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  const testutil::ProcessResult r = tool_->run("y\n");
  EXPECT_EQ(r.status, 0);

  // The order of the controllers is the neighbour set's; take it from the
  // output and check that it holds each expected line exactly once.
  std::map<std::string, contr_net_info> by_line =
      testutil::judged_by_status_line(kBodies);
  std::vector<std::string> order = testutil::summary_lines(r.out);
  std::vector<contr_net_info> list;
  std::string lines;
  for (const std::string& line : order) {
    ASSERT_EQ(by_line.count(line), 1u) << "unexpected line: " << line;
    list.push_back(by_line[line]);
    lines += line + "\n";
  }
  std::vector<std::string> sorted = order;
  std::sort(sorted.begin(), sorted.end());
  std::vector<std::string> expected_lines;
  for (const auto& [line, info] : by_line)
    expected_lines.push_back(line);
  EXPECT_EQ(sorted, expected_lines);

  // The silent node's report comes while the sweep runs.
  EXPECT_EQ(r.out, kAdapterAndAddress + "Заголовок не найден.\n\n" + kHeading +
                       lines + kTail);
  // The refusing node and the host itself refuse; nothing else on stderr.
  EXPECT_EQ(testutil::without_ping_warning(r.err),
            "error:connect: Connection refused\n"
                 "error:connect: Connection refused\n");

  EXPECT_EQ(tool_->browser_calls(), "file:///tmp/disc734.html\n");
  // The page rows come in the order of the summary.
  EXPECT_EQ(tool_->page(), report_page(list));
  const std::string page = tool_->page();
  EXPECT_NE(page.find("&lt;b&gt;K&amp;6&lt;/b&gt;&lt;script&gt;"), std::string::npos);
  EXPECT_EQ(page.find("<script>"), std::string::npos);

  // The same page in a real browser: links for every row, the hostile name
  // as text. Chromium runs in an empty namespace of its own, so it cannot
  // reach any network.
  if (testutil::sh("command -v chromium >/dev/null") != 0) {
    if (getenv("CONTR_REQUIRE_NETNS") != nullptr)
      FAIL() << "chromium is not installed";
    GTEST_SKIP() << "chromium is not installed";
  }
  testutil::Netns isolated;
  const std::string dom = testutil::sh_out(
      "ip netns exec " + isolated.name() + " env HOME=" + tool_->out_dir() +
      " chromium --headless --no-sandbox --disable-gpu --disable-quic "
      "--no-first-run --disable-background-networking "
      "--disable-component-update --disable-sync --user-data-dir=" + tool_->out_dir() +
      "/profile --dump-dom file://" + tool_->out_dir() + "/page.html 2>/dev/null");
  for (const contr_net_info& info : list) {
    const std::string ip = info.ip_contr;
    for (const std::string path : {"/get_local_file/fbd.html", "/get_local_file/mal.html"})
      EXPECT_NE(dom.find("<a href=\"http://" + ip + path + "\">" + ip + path + "</a>"),
                std::string::npos) << ip << path << "\n" << dom;
  }
  EXPECT_NE(dom.find("<td>&lt;b&gt;K&amp;6&lt;/b&gt;&lt;script&gt;x()&lt;/script&gt;</td>"),
            std::string::npos) << dom;
  EXPECT_EQ(dom.find("<b>K"), std::string::npos) << dom;
  EXPECT_EQ(dom.find("<script>"), std::string::npos) << dom;
}

TEST_F(WholeRun, RefusalAndEndOfInputWriteNothing) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  for (const std::string input : {"n\n", "", "Y\n", "\n"}) {
    const testutil::ProcessResult r =
        tool_->run(input, "touch /tmp/disc734.html.absent");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(kTail), std::string::npos);
    EXPECT_TRUE(r.out.size() >= kTail.size() &&
                r.out.compare(r.out.size() - kTail.size(), kTail.size(), kTail) == 0)
        << "input: " << input;
  }
  EXPECT_EQ(tool_->browser_calls_after_a_while(), "");
}

TEST_F(WholeRun, PlantedLinkIsRefusedAndNoBrowserStarts) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1\\n\\n");
  const testutil::ProcessResult r =
      tool_->run("yes\n", "echo precious >/tmp/target && ln -s /tmp/target /tmp/disc734.html");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Не удалось записать файл /tmp/disc734.html: Too many "
                   "levels of symbolic links\n");
  EXPECT_EQ(tool_->browser_calls_after_a_while(), "");
}

TEST_F(WholeRun, NoNeighboursAtAll) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  tool_->stub_ping6("PING ff02::1(ff02::1) from :: eth0: 56 data bytes\\n\\n"
                   "--- ff02::1 ping statistics ---\\n");
  const testutil::ProcessResult r = tool_->run("y\n");
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(tool_->browser_calls(), "file:///tmp/disc734.html\n");
  EXPECT_EQ(tool_->page(), report_page({}));
}

TEST_F(WholeRun, OnlyFailingNeighbours) {
  REQUIRE_NETNS();
  ASSERT_TRUE(lab_->ok());
  // The refusing node and the host's own address, found by a stand-in
  // ping6 that names just those two.
  tool_->stub_ping6("PING x\\n64 bytes from " + lab_->node("refusing").address +
                   "%%eth0: icmp_seq=1\\n64 bytes from " + lab_->host_address() +
                   "%%eth0: icmp_seq=1\\n\\n");
  const testutil::ProcessResult r = tool_->run("");
  EXPECT_EQ(r.out, kAdapterAndAddress + kHeading + kTail);
  EXPECT_EQ(r.err, "error:connect: Connection refused\n"
                   "error:connect: Connection refused\n");
  EXPECT_EQ(r.status, 0);
}

}  // namespace
