// The demo, started through sudo by an unprivileged user, leaves the page
// to that user, and leaves alone a page path that someone else holds. Run
// with a private /tmp and the build of this tree.

#include "test_util.h"

namespace {

TEST(Demo, PageBelongsToTheUserWhoStartedSudo) {
  REQUIRE_NETNS();
  const std::string bin = testutil::binary_dir();
  const std::string src = testutil::source_dir();
  const std::string out = bin + "/" + testutil::unique_name();
  testutil::sh("mkdir -p " + out);
  struct Case {
    std::string plant, owner, content, says;
  } cases[] = {
      {"true", "65534:65534", "\n<!DOCTYPE html>",
       "demo: the page is /tmp/disc734.html\n"},
      {"echo theirs >/tmp/disc734.html && chown 12345:12345 /tmp/disc734.html",
       "12345:12345", "theirs",
       "demo: /tmp/disc734.html belongs to uid 12345, not to you; left as it is\n"},
  };
  for (const Case& c : cases) {
    const testutil::ProcessResult r = testutil::run_process(
        testutil::with_private_tmp(
            c.plant + " && SUDO_UID=65534 SUDO_GID=65534 CONTR_DEMO_BUILD=" +
            bin + " CONTR_DEMO_PREFIX=" + testutil::unique_name() + " " +
            src + "/scripts/demo; status=$?; stat -c %u:%g /tmp/disc734.html >" +
            out + "/owner; head -c 16 /tmp/disc734.html >" + out +
            "/content; exit $status"),
        "y\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(testutil::read_file(out + "/owner"), c.owner + "\n") << c.plant;
    EXPECT_EQ(testutil::read_file(out + "/content").substr(0, c.content.size()),
              c.content)
        << c.plant;
    EXPECT_NE(r.out.find("Открыть ссылки в браузере chromium"), std::string::npos);
    EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
  }
  testutil::sh("rm -rf " + out);
}

}  // namespace
