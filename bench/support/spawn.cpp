#include "support/spawn.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace bench {

void fail(const std::string& message) {
  std::cerr << program_invocation_short_name << ": " << message << '\n';
  std::exit(2);
}

Measurement spawn(const SpawnRequest& request) {
  std::vector<char*> argv;
  for (const std::string& a : request.args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const bool capture = request.output != nullptr;
  int pipeFds[2] = {-1, -1};
  if (capture && ::pipe(pipeFds) != 0) fail("pipe failed");
  std::fflush(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork failed");
  if (pid == 0) {
    if (!request.workingDir.empty() && ::chdir(request.workingDir.c_str()) != 0) _exit(126);
    const int in =
        ::open(request.stdinPath.empty() ? "/dev/null" : request.stdinPath.c_str(), O_RDONLY);
    const int err = request.stderrPath.empty()
                        ? 2
                        : ::open(request.stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int out = capture ? pipeFds[1] : ::open("/dev/null", O_WRONLY);
    if (in < 0 || err < 0 || out < 0) _exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (capture) {
      ::close(pipeFds[0]);
      ::close(pipeFds[1]);
    }
    ::execv(argv[0], argv.data());
    _exit(127);
  }
  if (capture) {
    ::close(pipeFds[1]);
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], buffer, sizeof buffer)) != 0;) {
      if (got < 0) {
        if (errno == EINTR) continue;
        break;
      }
      request.output->append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeFds[0]);
  }
  int status = 0;
  rusage usage{};
  while (::wait4(pid, &status, 0, &usage) < 0) {
    if (errno != EINTR) fail("wait4 failed");
  }
  Measurement result;
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  result.maxRssKb = usage.ru_maxrss;
  result.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::string message = request.args[0];
    for (std::size_t i = 1; i < request.args.size(); ++i) message += " " + request.args[i];
    fail(message + ": child failed (status " + std::to_string(status) + ")");
  }
  return result;
}

}  // namespace bench
