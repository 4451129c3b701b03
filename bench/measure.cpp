// Runs a command and prints, on one line to standard error: wall seconds,
// CPU seconds (user + system, the command and all its children) and the
// peak resident KiB of the largest process among them.
// usage: bench_measure CMD [ARGS...]   (standard input and output pass through)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs("usage: bench_measure CMD [ARGS...]\n", stderr);
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[1], argv + 1);
    perror(argv[1]);
    _exit(127);
  }
  int status = 0;
  rusage own{};
  if (pid == -1 || wait4(pid, &status, 0, &own) == -1) {
    perror("bench_measure");
    return 2;
  }
  const std::chrono::duration<double> wall =
      std::chrono::steady_clock::now() - start;
  rusage all{};
  getrusage(RUSAGE_CHILDREN, &all);
  const double cpu = all.ru_utime.tv_sec + all.ru_utime.tv_usec / 1e6 +
                     all.ru_stime.tv_sec + all.ru_stime.tv_usec / 1e6;
  fprintf(stderr, "measure: wall=%.4f cpu=%.4f maxrss_kib=%ld\n", wall.count(),
          cpu, all.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
