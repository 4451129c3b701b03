// Parts of the scripts that need neither root nor a namespace: a step of
// scripts/test in the background on the terminal a person typed it at,
// and the Debian mirror the portability check takes from apt's
// configuration.

#include <filesystem>

#include <gtest/gtest.h>

#include "files.h"
#include "launch.h"
#include "pty_session.h"

namespace {

// A background step is a job of its own, not the terminal's foreground
// job: were its standard input the terminal, the kernel would stop it at
// its first read (SIGTTIN), as it stopped apt-get and mmdebstrap. It reads
// nothing there, and the run goes on to its end.
TEST(TestCommand, ABackgroundStepNeverStopsOnTheTerminal) {
  const testutil::TempDir logs;
  testutil::PtySession pty({.argv = {testutil::source_dir() + "/tests/bin/background_step",
                                     logs.path(), "head", "-c", "5"}});
  EXPECT_EQ(pty.wait_exit(20), 0) << testing::PrintToString(pty.output());
  EXPECT_EQ(testutil::read_file(logs / "step.log"), "");
  EXPECT_NE(pty.output().find("=== step ("), std::string::npos) << pty.output();
}

// The mirror comes from apt's own configuration: the deb822 sources of
// Debian 13 and many images, else the one-line list of Debian 12; without
// one the check says so and stops.
TEST(TestCommand, TheMirrorIsApts) {
  struct Case {
    std::string what, sources, list;
    int status;
    std::string mirror;
  } cases[] = {
      {"deb822", "Types: deb\nURIs: http://deb.debian.org/debian\nSuites: trixie\n", "", 0,
       "http://deb.debian.org/debian\n"},
      {"deb822 with a slash and a second URI",
       "Types: deb\nURIs: https://mirror.example/debian/ http://b.example/debian\n", "", 0,
       "https://mirror.example/debian\n"},
      {"deb822 for security only, then the list",
       "Types: deb\nURIs: http://deb.debian.org/debian-security\n",
       "deb http://ftp.de.debian.org/debian bookworm main\n", 0,
       "http://ftp.de.debian.org/debian\n"},
      {"the list alone, with options", "",
       "# a comment\ndeb [arch=amd64 signed-by=/k.gpg] http://deb.debian.org/debian/ bookworm main\n",
       0, "http://deb.debian.org/debian\n"},
      {"source packages only", "", "deb-src http://deb.debian.org/debian bookworm main\n", 1,
       ""},
      {"nothing", "", "", 1, ""},
  };
  for (const Case& c : cases) {
    const testutil::TempDir etc;
    std::filesystem::create_directory(etc / "sources.list.d");
    if (!c.sources.empty())
      testutil::write_file(etc / "sources.list.d/debian.sources", c.sources);
    if (!c.list.empty())
      testutil::write_file(etc / "sources.list", c.list);
    const testutil::Outcome r =
        testutil::run({.argv = {testutil::source_dir() + "/scripts/debian-mirror", etc.path()}});
    EXPECT_EQ(r.status, c.status) << c.what << ": " << r.err;
    EXPECT_EQ(r.out, c.mirror) << c.what;
    if (c.status != 0) {
      EXPECT_NE(r.err.find("names no Debian mirror"), std::string::npos) << r.err;
    }
  }
}

}  // namespace
