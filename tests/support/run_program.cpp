#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <stdexcept>

namespace testing_support {

ProgramResult runProgram(const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup) {
  return runProgram(programPath(), {}, dir, input, childSetup);
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup) {
  std::vector<char*> argv{const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  int in[2], out[2], err[2];
  if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]}) close(fd);
    if (chdir(dir.c_str()) != 0) _exit(127);
    if (childSetup) childSetup();
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // Feed the input and drain both outputs together, so that no pipe fills up.
  std::signal(SIGPIPE, SIG_IGN);
  ProgramResult result;
  std::size_t written = 0;
  int inFd = in[1];
  if (input.empty()) {
    close(inFd);
    inFd = -1;
  }
  bool outOpen = true, errOpen = true;
  while (outOpen || errOpen) {
    pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    poll(fds, inFd >= 0 ? 3 : 2, -1);
    char buffer[65536];
    if (fds[0].revents != 0) {
      const ssize_t got = read(out[0], buffer, sizeof buffer);
      if (got > 0)
        result.out.append(buffer, static_cast<std::size_t>(got));
      else
        outOpen = false;
    }
    if (fds[1].revents != 0) {
      const ssize_t got = read(err[0], buffer, sizeof buffer);
      if (got > 0)
        result.err.append(buffer, static_cast<std::size_t>(got));
      else
        errOpen = false;
    }
    if (inFd >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(inFd, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if (put <= 0 || written == input.size()) {
        close(inFd);
        inFd = -1;
      }
    }
  }
  if (inFd >= 0) close(inFd);
  close(out[0]);
  close(err[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
  return result;
}

}  // namespace testing_support
