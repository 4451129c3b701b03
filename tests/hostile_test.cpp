// One sweep over a segment where every kind of misbehaving device stands
// beside a few good controllers. The run must end within its bounds, list
// exactly the nodes whose replies hold a header end, and stay small.

#include <unistd.h>

#include <algorithm>
#include <map>

#include "contr_net_info.h"
#include "html.h"
#include "ping6.h"
#include "test_util.h"

namespace {

const std::string kTokens = [] {
  std::string body = "192.168.1.70 255.255.255.0 0 K7 192.168.1.70 a S7";
  while (body.size() < 100 * 1024)
    body += " token";
  return body;
}();

const char kGarbageBytes[] =
    "\x01\xff\xfe 192.168.1.80\x00zz \x7f\x1b[31m 0 n\x00me\xc3\x28 "
    "192.168.1.80\x00 a s\x00ys\x80";
const std::string kGarbage(kGarbageBytes, sizeof kGarbageBytes - 1);

// Nodes whose replies hold a header end: listed, with their bodies.
const std::map<std::string, std::string> kListed = {
    {"good1", "192.168.1.10 255.255.255.0 0 K1 192.168.1.10 a S1"},
    {"good2", "192.168.1.11 255.255.255.0 1"},
    {"good3", "10.0.0.5 255.0.0.0 0 K3 10.0.0.5 a S3"},
    {"error", "192.168.1.60 255.255.255.0 1"},
    {"markup", "192.168.1.13 255.255.255.0 0 <img/src=x onerror=alert(1)> "
               "192.168.1.13 a '\"><script>alert(2)</script>"},
    {"tokens", kTokens},
    {"garbage", kGarbage},
};

TEST(Hostile, EveryMisbehaviourAtOnce) {
  REQUIRE_NETNS();
  const std::string garbage = testutil::write_temp_file("garbage", kGarbage);
  const std::string tokens = testutil::write_temp_file("tokens", kTokens);
  std::vector<std::string> nodes = {
      "good1 --body " + shell_quote(kListed.at("good1")),
      "good2 --body " + shell_quote(kListed.at("good2")),
      "good3 --body " + shell_quote(kListed.at("good3")),
      "error --status '500 Internal Server Error' --body " +
          shell_quote(kListed.at("error")),
      "markup --body " + shell_quote(kListed.at("markup")),
      "tokens --body-file " + tokens,
      "garbage --body-file " + garbage,
      "refuse --mode refuse",
      "drop --mode drop",
      "silent --mode silent",
      "hang --mode hang",
      "keepopen --mode keepopen --body " + shell_quote(kListed.at("good1")),
      "drip --mode drip --drip-ms 200 --body " + shell_quote(kListed.at("good1")),
      "huge --mode huge --size 104857600",
      "noheader --mode raw --body '192.168.1.50 255.255.255.0 1'",
      "lfonly --mode lf --body x",
      "pingonly --no-sim",
  };
  testutil::Lab lab("eth0 192.168.1.20/24", nodes);
  ASSERT_TRUE(lab.ok());
  testutil::ToolRunner tool(lab);
  const testutil::ProcessResult r = tool.run("y\n");
  unlink(garbage.c_str());
  unlink(tokens.c_str());
  EXPECT_EQ(r.status, 0);

  // Exactly the nodes with a header end, each once.
  std::map<std::string, contr_net_info> expected =
      testutil::judged_by_status_line(kListed);
  const std::vector<std::string> printed = testutil::summary_lines(r.out);
  std::vector<std::string> sorted = printed, wanted;
  std::sort(sorted.begin(), sorted.end());
  for (const auto& [line, info] : expected)
    wanted.push_back(line);
  EXPECT_EQ(sorted, wanted);

  // While sweeping, each failing node left its one report; nothing else.
  std::string sweep = r.out.substr(0, r.out.find("\nОбнаруженные контроллеры:\n"));
  const std::string head =
      "\nВыбранный сетевой адаптер компьютера: eth0\n\n"
      "\nIP адрес сетевого адаптера компьютера: 192.168.1.20, mask: 255.255.255.0\n\n";
  ASSERT_EQ(sweep.compare(0, head.size(), head), 0) << sweep;
  sweep.erase(0, head.size());
  ASSERT_TRUE(testutil::remove_each(
      sweep, {"error:recv timeout", "error:recv timeout", "error:recv timeout",
              "error:reply too large", "Заголовок не найден.\n\n",
              "Заголовок не найден.\n192.168.1.50 255.255.255.0 1\n",
              "Заголовок не найден.\nHTTP/1.1 200 OK\nContent-Type: "
              "text/plain; charset=utf-8\nConnection: close\n\nx\n"}))
      << sweep;
  EXPECT_EQ(sweep, "");

  std::string err = testutil::without_ping_warning(r.err);
  ASSERT_TRUE(testutil::remove_each(
      err, {"error:connect: Connection refused\n",
            "error:connect: Connection refused\n",
            "error:connect: Connection refused\n",
            "error:connect: Connection timed out\n"}))
      << err;
  EXPECT_EQ(err, "");

  // The bounds: the ping deadline, 2 s for the dropped attempt, 5 s for each
  // of the three stalled exchanges, and a little for everything else.
  EXPECT_LT(tool.seconds(), 2.0 + 2.0 + 3 * 5.0 + 3.0);
  RecordProperty("seconds", std::to_string(tool.seconds()));
  RecordProperty("peak_kib", std::to_string(tool.peak_kib()));
#if !defined(__SANITIZE_ADDRESS__)
  // The largest process of the run (the tool, with a 100 MiB offer refused).
  EXPECT_LT(tool.peak_kib(), 8 * 1024);
#endif

  // The page holds the listed ones in the printed order, hostile texts as
  // text.
  EXPECT_EQ(tool.browser_calls(), "file:///tmp/disc734.html\n");
  std::vector<contr_net_info> list;
  for (const std::string& line : printed)
    list.push_back(expected[line]);
  const std::string page = tool.page();
  EXPECT_EQ(page, report_page(list));
  EXPECT_EQ(page.find("<script"), std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
}

}  // namespace
