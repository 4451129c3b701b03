// The manual page: man's own checks stay silent, its sections stand in the
// order of man-pages(7), its header names this release and its date, it
// has an entry for every message the tool prints, and it lists the
// characters a device's text may show.

#include <dirent.h>

#include <algorithm>
#include <cctype>
#include <regex>
#include <sstream>
#include <vector>

#include "files.h"
#include "launch.h"
#include "text_check.h"

namespace {

const std::string kPage = testutil::source_dir() + "/docs/contr_discovery.1";

/// The texts of C++ source `code` that are messages: those of every
/// Z(...), of the first argument of print, print_format, print_error and
/// print_errno, of a status line's reason, and every literal that begins
/// with "error:". Adjacent literals are one text.
std::vector<std::string> message_literals(const std::string& code) {
  // Comments and character literals out of the way, string literals kept
  // (a "//" may stand in one).
  static const std::regex kToken(R"("(?:[^"\\\n]|\\.)*"|'(?:[^'\\\n]|\\.)*'|//[^\n]*|/\*[\s\S]*?\*/)");
  std::string plain;
  size_t at = 0;
  for (std::sregex_iterator m(code.begin(), code.end(), kToken), end; m != end; ++m) {
    plain += code.substr(at, m->position() - at) + (m->str()[0] == '"' ? m->str() : " 'c' ");
    at = m->position() + m->length();
  }
  static const std::regex kMessage(
      R"(((?:\b(?:Z|print|print_format|print_error|print_errno)\s*\(|\breason\s*=)\s*)?)"
      R"(((?:"(?:[^"\\]|\\.)*"\s*)+))");
  std::vector<std::string> found;
  for (std::sregex_iterator m(plain.begin(), plain.end(), kMessage), end; m != end; ++m) {
    const std::string literals = (*m)[2];
    std::string text;
    bool in = false;
    for (size_t i = 0; i < literals.size(); ++i) {
      if (literals[i] == '"') {
        in = !in;
      } else if (in && literals[i] == '\\') {
        const char e = literals[++i];
        text += e == 'n' ? '\n' : e == 't' ? '\t' : e;
      } else if (in) {
        text += literals[i];
      }
    }
    if ((*m)[1].matched || text.rfind("error:", 0) == 0)
      found.push_back(text);
  }
  return found;
}

/// `text` with every run of white space made one blank.
std::string collapsed(const std::string& text) {
  static const std::regex kSpace(R"(\s+)");
  return std::regex_replace(text, kSpace, " ");
}

/// The parts of a message that a manual can show: the text between printf
/// conversions and line ends, without surrounding blanks, of at least two
/// letters.
std::vector<std::string> shown_parts(const std::string& message) {
  static const std::regex kBreak(R"(%[^%sdu]*[sdu]|\n)");
  std::vector<std::string> parts;
  for (std::sregex_token_iterator it(message.begin(), message.end(), kBreak, -1), end;
       it != end; ++it) {
    const std::string part = *it;
    const size_t from = part.find_first_not_of(' '), to = part.find_last_not_of(' ');
    // Cyrillic letters are two bytes of 0x80 and above.
    if (from != std::string::npos && std::count_if(part.begin(), part.end(), [](char c) {
                                       return std::isalpha(static_cast<unsigned char>(c)) ||
                                              (c & 0x80);
                                     }) >= 2)
      parts.push_back(part.substr(from, to - from + 1));
  }
  return parts;
}

/// The tags of the manual's entries (the line after .TP or .TQ), as man
/// shows them: the font request and quotes gone, escapes made characters.
std::vector<std::string> entry_tags(const std::string& page) {
  static const std::pair<std::string, std::string> kEscapes[] = {
      {"\\-", "-"}, {"\\(em", "—"}, {"\\(en", "–"}, {"\\e", "\\"}, {"\\&", ""},
      {"\\fB", ""}, {"\\fI", ""},   {"\\fR", ""},   {"\\fP", ""},    {"\"", ""}};
  std::vector<std::string> tags;
  std::istringstream lines(page);
  for (std::string line; std::getline(lines, line);) {
    if ((line != ".TP" && line != ".TQ") || !std::getline(lines, line))
      continue;
    if (line.rfind('.', 0) == 0)
      line.erase(0, line.find(' ') == std::string::npos ? line.size() : line.find(' ') + 1);
    for (const auto& [from, to] : kEscapes)
      for (size_t at; (at = line.find(from)) != std::string::npos;)
        line.replace(at, from.size(), to);
    tags.push_back(collapsed(line));
  }
  return tags;
}

// Every message of the tool, read from its sources, has an entry of its
// own in the manual that shows it as the tool prints it: the manual cannot
// lag behind the code, nor lose an entry to a mention elsewhere.
TEST(ManualPage, HasAnEntryForEveryMessage) {
  const std::vector<std::string> tags = entry_tags(testutil::read_file(kPage));
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
        EXPECT_TRUE(std::any_of(tags.begin(), tags.end(), [&part](const std::string& tag) {
          return tag.find(collapsed(part)) != std::string::npos;
        })) << name << ": no entry of the manual shows \"" << part << "\"";
      }
    }
  }
  closedir(dir);
  // The sources were read: the dialogue, the summary and the messages.
  EXPECT_GT(checked, 40u);
}

// The manual lists, by code point, the characters a device's text may show
// on a terminal: the tests' own list, which the filter is checked against.
TEST(ManualPage, ListsTheRepertoire) {
  CONTR_REQUIRE(testutil::missing("man"));
  const testutil::Outcome r = testutil::run(
      {.argv = {"man", "-l", kPage}, .env = {"LC_ALL=C.UTF-8", "MANWIDTH=4000"}});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string list;
  char range[32];
  for (const textcheck::Range& c : textcheck::kRepertoire) {
    if (c.first == c.last)
      snprintf(range, sizeof range, "U+%04X", static_cast<unsigned>(c.first));
    else
      snprintf(range, sizeof range, "U+%04X–U+%04X", static_cast<unsigned>(c.first),
               static_cast<unsigned>(c.last));
    list += (list.empty() ? "By code point: " : ", ") + std::string(range);
  }
  EXPECT_NE(collapsed(r.out).find(list + "."), std::string::npos) << list;
}

TEST(ManualPage, ManHasNothingToSay) {
  CONTR_REQUIRE(testutil::missing("man"));
  const testutil::Outcome r = testutil::run(
      {.argv = {"man", "--warnings", "-l", kPage}, .env = {"LC_ALL=C.UTF-8", "MANWIDTH=80"}});
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
  const std::string changelog = testutil::source_dir() + "/debian/changelog";
  std::string when = testutil::output({"dpkg-parsechangelog", "-l", changelog, "-S", "Date"});
  if (!when.empty())
    when.pop_back();  // its line end
  const std::string date = testutil::output({"date", "-u", "-d", when, "+%F"});
  ASSERT_FALSE(date.empty());
  EXPECT_EQ(header, ".TH CONTR_DISCOVERY 1 " + date.substr(0, 10) +
                        " \"contr_discovery " CONTR_VERSION "\" \"User Commands\"");
  const std::string changelog_version =
      testutil::output({"dpkg-parsechangelog", "-l", changelog, "-S", "Version"});
  EXPECT_EQ(changelog_version, std::string(CONTR_VERSION) + "\n");
}

}  // namespace
