#ifndef CONTR_DISCOVERY_TESTS_FILES_H_
#define CONTR_DISCOVERY_TESTS_FILES_H_

// The trees, folders and files of the suite, which runs as root in a /tmp
// that every user shares: every name it makes is one nobody could have
// taken first (mkdtemp, mkstemp).

#include <string>
#include <string_view>

namespace testutil {

/// The build and source trees; the tool the end-to-end tests run:
/// $CONTR_TOOL when set (the installed package, in its autopkgtest), else
/// this build's.
std::string binary_dir();
std::string source_dir();
std::string tool_path();

/// A fresh name "cdt-<tree>-<pid>-<n>": <tree> tells this build tree from
/// others, <pid> this test process from others, so that a cleanup removes
/// only what its own tree's finished runs left.
std::string unique_name();

/// `text` `times` times over; `bytes` bytes of the two-byte letter Ж.
std::string repeated(std::string_view text, int times);
std::string cyrillic(size_t bytes);

/// A file's content ("" if it cannot be read); writing one.
std::string read_file(const std::string& path);
void write_file(const std::string& path, const std::string& content, unsigned mode = 0644);

/// The names in folder `dir`, sorted, one a line.
std::string names_in(const std::string& dir);

/// Writes `content` to a new file under /tmp and returns its path.
std::string write_temp_file(const std::string& name, const std::string& content);

/// A new folder under `parent`, open to its owner only, removed with the
/// object.
class TempDir {
 public:
  explicit TempDir(const std::string& parent = "/tmp");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

/// A copy of the scripts, the tools and the built tool and simulator that
/// an ordinary user can reach (a clone under /root is closed to others):
/// DIR/scripts, DIR/tools and DIR/build, DIR under /var/tmp.
class SharedCopy {
 public:
  SharedCopy();
  const std::string& dir() const { return folder_.path(); }

 private:
  TempDir folder_{"/var/tmp"};
};

}  // namespace testutil

#endif  // CONTR_DISCOVERY_TESTS_FILES_H_
