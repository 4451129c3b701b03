// The manual page: man's own checks stay silent, its sections stand in the
// order of man-pages(7), and its header names this release and its date.

#include <sstream>
#include <vector>

#include "test_util.h"

namespace {

const std::string kPage = testutil::source_dir() + "/docs/contr_discovery.1";

TEST(ManualPage, ManHasNothingToSay) {
  CONTR_REQUIRE(testutil::missing("man"));
  const testutil::ProcessResult r = testutil::run_process(
      "LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l " + kPage, "");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("EXIT STATUS"), std::string::npos);
}

TEST(ManualPage, SectionsAndHeader) {
  std::istringstream page(testutil::read_file(kPage));
  std::vector<std::string> sections;
  std::string header;
  for (std::string line; std::getline(page, line);) {
    if (line.rfind(".SH ", 0) == 0)
      sections.push_back(line.substr(4));
    if (line.rfind(".TH ", 0) == 0)
      header = line;
  }
  EXPECT_EQ(sections,
            (std::vector<std::string>{"NAME", "SYNOPSIS", "DESCRIPTION",
                                      "EXIT STATUS", "FILES", "NOTES", "BUGS",
                                      "SEE ALSO"}));
  // The release: the date of the changelog's latest entry and the version.
  const std::string date = testutil::sh_out(
      "date -u -d \"$(dpkg-parsechangelog -l " + testutil::source_dir() +
      "/debian/changelog -S Date)\" +%F 2>/dev/null");
  ASSERT_FALSE(date.empty());
  EXPECT_EQ(header, ".TH CONTR_DISCOVERY 1 " + date.substr(0, 10) +
                        " \"contr_discovery " CONTR_VERSION
                        "\" \"User Commands\"");
  const std::string changelog_version = testutil::sh_out(
      "dpkg-parsechangelog -l " + testutil::source_dir() +
      "/debian/changelog -S Version");
  EXPECT_EQ(changelog_version, std::string(CONTR_VERSION) + "\n");
}

}  // namespace
