// The manual page: man's own checks stay silent, its sections stand in the
// order of man-pages(7), its header names this release and its date, and
// it tells every message the tool prints.

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

#include "test_util.h"

namespace {

const std::string kPage = testutil::source_dir() + "/docs/contr_discovery.1";

/// The string literals of C++ source `code` that are messages: the text
/// of every Z(...), of the first argument of print, print_format,
/// print_error and print_errno, and every text that begins with "error:".
/// Adjacent literals are one text; comments and character literals are
/// skipped.
std::vector<std::string> message_literals(const std::string& code) {
  static const char* const kWriters[] = {"Z(", "print(", "print_format(",
                                         "print_error(", "print_errno("};
  std::vector<std::string> found;
  std::string before;  // the code up to the current literal, comments out
  std::string text;    // the literal being gathered
  bool gathering = false;
  const auto finish = [&] {
    if (!gathering)
      return;
    gathering = false;
    std::string head = before;
    head.erase(std::remove_if(head.begin(), head.end(),
                              [](char c) { return std::isspace(static_cast<unsigned char>(c)); }),
               head.end());
    const bool written = std::any_of(
        std::begin(kWriters), std::end(kWriters), [&head](const char* w) {
          const std::string writer = w;
          return head.size() >= writer.size() &&
                 head.compare(head.size() - writer.size(), writer.size(),
                              writer) == 0 &&
                 (head.size() == writer.size() ||
                  !std::isalnum(static_cast<unsigned char>(
                      head[head.size() - writer.size() - 1])));
        });
    if (written || text.rfind("error:", 0) == 0)
      found.push_back(text);
    text.clear();
  };
  for (size_t i = 0; i < code.size(); ++i) {
    const char c = code[i];
    if (c == '/' && i + 1 < code.size() && code[i + 1] == '/') {
      i = code.find('\n', i);
      if (i == std::string::npos)
        break;
    } else if (c == '/' && i + 1 < code.size() && code[i + 1] == '*') {
      i = code.find("*/", i + 2) + 1;
    } else if (c == '\'') {
      // 'x' or '\x': the closing quote comes after the (escaped) letter.
      i = code.find('\'', i + (code[i + 1] == '\\' ? 3 : 2));
      before += "'c'";
    } else if (c == '"') {
      gathering = true;
      for (++i; i < code.size() && code[i] != '"'; ++i) {
        if (code[i] != '\\') {
          text += code[i];
          continue;
        }
        const char e = code[++i];
        text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      }
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      finish();
      before += c;
    }
  }
  finish();
  return found;
}

/// The parts of a message that a manual can show: the text between printf
/// conversions and line ends, without surrounding blanks, of at least two
/// letters.
std::vector<std::string> shown_parts(const std::string& message) {
  std::vector<std::string> parts;
  std::string part;
  const auto take = [&] {
    const size_t from = part.find_first_not_of(' ');
    const size_t to = part.find_last_not_of(' ');
    if (from != std::string::npos) {
      const std::string trimmed = part.substr(from, to - from + 1);
      // Cyrillic letters are two bytes of 0x80 and above.
      if (std::count_if(trimmed.begin(), trimmed.end(), [](char c) {
            return std::isalpha(static_cast<unsigned char>(c)) || (c & 0x80);
          }) >= 2)
        parts.push_back(trimmed);
    }
    part.clear();
  };
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == '%' && i + 1 < message.size() && message[i + 1] != '%') {
      take();
      i = message.find_first_of("sdu", i);
      if (i == std::string::npos)
        break;
    } else if (message[i] == '\n') {
      take();
    } else {
      part += message[i];
    }
  }
  take();
  return parts;
}

/// `text` with every run of white space made one blank.
std::string collapsed(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      if (!out.empty() && out.back() != ' ')
        out += ' ';
    } else {
      out += c;
    }
  }
  return out;
}

// Every message of the tool, read from its sources, stands in the manual
// in the form the tool prints it: the manual cannot lag behind the code.
TEST(ManualPage, TellsEveryMessage) {
  CONTR_REQUIRE(testutil::missing("man"));
  const testutil::ProcessResult r = testutil::run_process(
      "LC_ALL=C.UTF-8 MANWIDTH=4000 man -l " + kPage, "");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string manual = collapsed(r.out);
  const std::string src = testutil::source_dir() + "/src";
  DIR* dir = opendir(src.c_str());
  ASSERT_NE(dir, nullptr);
  size_t checked = 0;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() < 4 || name.compare(name.size() - 4, 4, ".cpp") != 0)
      continue;
    for (const std::string& message :
         message_literals(testutil::read_file(src + "/" + name))) {
      for (const std::string& part : shown_parts(message)) {
        ++checked;
        EXPECT_NE(manual.find(collapsed(part)), std::string::npos)
            << name << ": the manual does not tell \"" << part << "\"";
      }
    }
  }
  closedir(dir);
  // The sources were read: the dialogue, the summary and the messages.
  EXPECT_GT(checked, 40u);
}

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
                                      "EXIT STATUS", "DIAGNOSTICS", "FILES",
                                      "NOTES", "BUGS", "SEE ALSO"}));
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
