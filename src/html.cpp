#include "html.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <sstream>

#include "ping6.h"
#include "unique_fd.h"

const std::string s1 =
    "\n"
    "<!DOCTYPE html>\n"
    "<HTML>\n"
    "<head>\n"
    "\t<META HTTP-EQUIV='Content-Type' CONTENT='text/html; charset=utf-8'>\n"
    "\t<title>Ссылки</title>\n"
    "\t<style type=\"text/css\">\n"
    "\n"
    "\n"
    "table.CTS {\n"
    "  border: 1px solid #000000;\n"
    "  border-collapse: collapse;\n"
    "}\n"
    "table.CTS td, table.CTS th {\n"
    "  border: 2px solid #AAAAAA;\n"
    "}\n"
    "table.CTS thead {\n"
    "  background: #DDDDDD;\n"
    "}\n"
    "table.CTS thead th {\n"
    "  font-weight: normal;\n"
    "}\n"
    "table.CTS tfoot {\n"
    "  font-weight: bold;\n"
    "}\n"
    "\n"
    "\n"
    "\t</style>\n"
    "</head>\n"
    "<BODY>\n"
    "<TABLE class=\"CTS\">\n";

const std::string s3 = "\n</TABLE>\n</BODY>\n</HTML>\n";

namespace {

/// A controller chooses its own texts and the page is opened in a browser:
/// the five characters that can open markup or leave an attribute are
/// written as entities, all other bytes as they are.
std::string escape(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

/// True when `text` is nothing but a dotted quad: only such a text may
/// become the host of a link. "192.168.1.10@evil.example" would send the
/// browser to evil.example.
bool is_dotted_quad(const std::string& text) {
  in_addr addr;
  return text.find('\0') == std::string::npos &&
         inet_pton(AF_INET, text.c_str(), &addr) == 1;
}

bool write_all(int fd, const std::string& content) {
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n == -1) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

/// Whether the page may take the place of what is at `path` now: nothing
/// (`ours` false), or a regular file of ours with no second name (`ours`
/// true). False with errno set otherwise. O_PATH opens without reading, so
/// a planted FIFO or device is looked at, never opened for real; with
/// O_NOFOLLOW it yields the link itself when one is planted.
bool may_replace(const char* path, bool& ours) {
  unique_fd fd(open(path, O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (fd.get() == -1) {
    ours = false;
    return errno == ENOENT;
  }
  struct stat st;
  if (fstat(fd.get(), &st) == -1)
    return false;
  if (S_ISLNK(st.st_mode)) {
    errno = ELOOP;  // what open(O_NOFOLLOW) says of a link
    return false;
  }
  if (st.st_uid != geteuid()) {
    errno = EPERM;
    return false;
  }
  if (!S_ISREG(st.st_mode)) {
    errno = EINVAL;
    return false;
  }
  // A second name for the file (a hard link planted in /tmp) means it
  // belongs somewhere else too.
  if (st.st_nlink != 1) {
    errno = EMLINK;
    return false;
  }
  ours = true;
  return true;
}

/// Gives the finished file `temp` the name `path`. Over our own page it is
/// a rename; where nothing was, only while the path is still free, so that
/// what another user put there after the check is never replaced (EEXIST).
bool move_into_place(const char* temp, const char* path, bool over_ours) {
  if (over_ours)
    return rename(temp, path) == 0;
  if (renameat2(AT_FDCWD, temp, AT_FDCWD, path, RENAME_NOREPLACE) == 0)
    return true;
  // EINVAL: the file system cannot rename without replacing (some network
  // and FUSE file systems); ENOSYS: a kernel or seccomp filter without
  // renameat2. link(2) never replaces either.
  if (errno != EINVAL && errno != ENOSYS)
    return false;
  if (link(temp, path) != 0)
    return false;
  unlink(temp);
  return true;
}

/// Holds back the signals that end a run (hang-up, Ctrl-C, Ctrl-\, kill)
/// for its lifetime: a run ended while the page is written would leave its
/// temporary file behind. One that came meanwhile takes effect afterwards.
class TerminationHeld {
 public:
  TerminationHeld() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGHUP, SIGINT, SIGQUIT, SIGTERM})
      sigaddset(&set, sig);
    sigprocmask(SIG_BLOCK, &set, &before_);
  }
  ~TerminationHeld() {
    const int saved = errno;
    sigprocmask(SIG_SETMASK, &before_, nullptr);
    errno = saved;
  }
  TerminationHeld(const TerminationHeld&) = delete;
  TerminationHeld& operator=(const TerminationHeld&) = delete;

 private:
  sigset_t before_;
};

/// Twelve letters and digits from the kernel's random source, so that the
/// temporary name cannot be guessed and planted first. False with errno
/// set when the source fails.
bool random_suffix(std::string& suffix) {
  static const char kAlphabet[] =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  unsigned char raw[12];
  ssize_t got;
  do {
    got = getrandom(raw, sizeof raw, 0);
  } while (got == -1 && errno == EINTR);
  if (got != static_cast<ssize_t>(sizeof raw))
    return false;
  suffix.clear();
  for (unsigned char b : raw)
    suffix += kAlphabet[b % (sizeof kAlphabet - 1)];
  return true;
}

}  // namespace

void add_cell(std::ostream& out, std::string text) {
  out << "<TD>" << text << "</TD>";
}

void add_ref(std::ostream& out, std::string url) {
  add_cell(out, "<a href='http://" + url + "'>" + url + "</a>");
}

void contr_net_info_html(std::ostream& out, const contr_net_info& info) {
  const std::string ip = escape(info.ip_contr);
  // A controller that reports no real address gets its text shown in the
  // link cells, but no link.
  const auto url_cell = is_dotted_quad(info.ip_contr) ? add_ref : add_cell;
  add_cell(out, ip);
  add_cell(out, info.available ? "Контроллер доступен." : "Нет доступа к контр.");
  url_cell(out, ip + "/get_local_file/fbd.html");
  url_cell(out, ip + "/get_local_file/mal.html");
  if (info.not_configured) {
    add_cell(out, " сетевые настройки не сконфигурированы");
  } else if (info.ip_contr != info.ip_configured) {
    add_cell(out, " Ошибка: настроенный адрес не совпадает с реальным.");
  } else {
    url_cell(out, ip);
    add_cell(out, escape(info.contr_name));
    add_cell(out, escape(info.systems));
  }
}

std::string report_page(const std::vector<contr_net_info>& list) {
  std::ostringstream out;
  out << s1 << "<thead><TR>";
  for (const char* header :
       {"IP адрес", "Доступность по сети", "Адрес FBD программирования",
        "Адрес для доступа к меню", "Адрес для диспетчеризации",
        "Имя контроллера", "Системы"})
    add_cell(out, header);
  out << "</TR></thead>\n";
  for (const contr_net_info& info : list) {
    out << "<TR>";
    contr_net_info_html(out, info);
    out << "</TR>\n";
  }
  out << s3;
  // The page can be megabytes: hand over the buffer instead of a copy.
  return std::move(out).str();
}

bool write_report_file(const char* path, const std::string& content) {
  bool over_ours = false;
  if (!may_replace(path, over_ours))
    return false;
  // The page goes to a new file beside the old one and takes its name only
  // when it is whole: a full disk leaves the earlier page as it was, and
  // the name is swapped atomically, so nothing planted at the path in the
  // meantime is ever written through (rename replaces a symbolic link or a
  // second name, never its target).
  const TerminationHeld held;
  std::string temp, suffix;
  unique_fd fd;
  for (int attempt = 0; attempt < 100 && fd.get() == -1; ++attempt) {
    if (!random_suffix(suffix))
      return false;
    // Beside the page, so that the rename stays within one file system.
    temp = std::string(path) + "." + suffix;
    fd.reset(open(temp.c_str(),
                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (fd.get() == -1 && errno != EEXIST)
      return false;
  }
  if (fd.get() == -1)
    return false;
  // fsync: some file systems report a full disk only when the data is
  // written out, and the new name must not point at a file that is not.
  const bool written = write_all(fd.get(), content) && fsync(fd.get()) == 0;
  const bool closed = close(fd.release()) == 0;
  if (written && closed && move_into_place(temp.c_str(), path, over_ours))
    return true;
  const int err = errno;
  unlink(temp.c_str());
  errno = err;
  return false;
}

void show_html(const std::vector<contr_net_info>& list) {
  std::cout << Z("Открыть ссылки в браузере chromium - введите 'y', иначе ENTER: ");
  std::cout.flush();
  fflush(stdout);
  if (getc(stdin) != 'y')
    return;
  if (!write_report_file(kReportPath, report_page(list))) {
    const int err = errno;
    std::cerr << Z("Не удалось записать файл ") << kReportPath << ": "
              << strerror(err) << std::endl;
    return;
  }
  // The trailing & lets the shell start the browser in the background.
  const std::string browser =
      std::string("chromium file://") + kReportPath + "&";
  (void)!system(browser.c_str());
}
