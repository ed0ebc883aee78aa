#include "support/run_program.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <stdexcept>
#include <utility>

namespace testing_support {

namespace {

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// Appends what one read of `fd` gives to `text`; closes `fd` at its end.
void readSome(int& fd, std::string& text) {
  char buffer[65536];
  const ssize_t got = read(fd, buffer, sizeof buffer);
  if (got > 0) {
    text.append(buffer, static_cast<std::size_t>(got));
  } else if (got == 0 || errno != EINTR) {
    closeFd(fd);
  }
}

// The child's side, between fork and exec: its pipes as descriptors 0 to 2,
// the signals at their defaults, then the caller's own setup.
[[noreturn]] void execInChild(const ProgramRun& run, char* const argv[], const int in[2],
                              const int out[2], const int err[2]) {
  if (dup2(in[0], 0) < 0 || dup2(out[1], 1) < 0 || dup2(err[1], 2) < 0) _exit(127);
  if (!run.dir.empty() && chdir(run.dir.c_str()) != 0) _exit(127);
  // A background job ignores SIGINT and SIGQUIT, and this process ignores
  // SIGPIPE: the program must not inherit either.
  for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) std::signal(sig, SIG_DFL);
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  if (run.childSetup) run.childSetup();
  execvp(argv[0], argv);  // a program without a slash is looked up in PATH
  _exit(127);
}

}  // namespace

RunningProgram::RunningProgram(RunningProgram&& other) noexcept
    : pid(std::exchange(other.pid, -1)),
      input(std::exchange(other.input, -1)),
      output(std::exchange(other.output, -1)),
      error(std::exchange(other.error, -1)),
      out(std::move(other.out)),
      err(std::move(other.err)),
      ended(other.ended),
      status(other.status) {}

RunningProgram::~RunningProgram() {
  closeFd(input);
  closeFd(output);
  closeFd(error);
  if (pid > 0 && !ended) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
}

RunningProgram startProgram(const ProgramRun& run) {
  // Everything the child needs is made before fork: it only calls what is
  // safe between fork and exec (and the caller's setup).
  std::vector<std::string> words{run.program.string()};
  words.insert(words.end(), run.args.begin(), run.args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  // Close-on-exec, so that no other program started from here holds them;
  // dup2 gives the child its own three without the flag.
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  // Nothing buffered here may be written twice, by the child as well.
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) execInChild(run, argv.data(), in, out, err);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // A program that stops reading its input must not end the test.
  std::signal(SIGPIPE, SIG_IGN);
  RunningProgram program;
  program.pid = pid;
  program.input = in[1];
  program.output = out[0];
  program.error = err[0];
  return program;
}

bool sendInput(RunningProgram& program, const std::string& text) {
  for (std::size_t written = 0; written < text.size();) {
    if (program.input < 0) return false;
    const ssize_t put = write(program.input, text.data() + written, text.size() - written);
    if (put > 0) {
      written += static_cast<std::size_t>(put);
    } else if (errno != EINTR) {
      closeInput(program);
      return false;
    }
  }
  return true;
}

void closeInput(RunningProgram& program) { closeFd(program.input); }

bool readOutputUntil(RunningProgram& program, const std::string& text,
                     std::chrono::milliseconds timeout) {
  const std::size_t from = program.out.size();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (program.out.find(text, from) == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (program.output < 0 || left.count() <= 0) return false;
    pollfd p{program.output, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) > 0) readSome(program.output, program.out);
  }
  return true;
}

bool programEnded(RunningProgram& program) {
  if (!program.ended && waitpid(program.pid, &program.status, WNOHANG) == program.pid) {
    program.ended = true;
  }
  return program.ended;
}

ProgramResult finishProgram(RunningProgram& program, const std::string& input) {
  // Feed the input and drain both outputs together, so that no pipe fills up.
  std::size_t written = 0;
  if (input.empty()) closeInput(program);
  while (program.output >= 0 || program.error >= 0) {
    pollfd fds[3] = {
        {program.output, POLLIN, 0}, {program.error, POLLIN, 0}, {program.input, POLLOUT, 0}};
    if (poll(fds, 3, -1) < 0) continue;
    if (fds[0].revents != 0) readSome(program.output, program.out);
    if (fds[1].revents != 0) readSome(program.error, program.err);
    if (program.input >= 0 && fds[2].revents != 0) {
      const ssize_t put = write(program.input, input.data() + written, input.size() - written);
      if (put > 0) written += static_cast<std::size_t>(put);
      if ((put < 0 && errno != EINTR) || written == input.size()) closeInput(program);
    }
  }
  closeInput(program);
  while (!program.ended) {
    if (waitpid(program.pid, &program.status, 0) == program.pid) {
      program.ended = true;
    } else if (errno != EINTR) {
      throw std::runtime_error("waitpid failed");
    }
  }
  ProgramResult result;
  if (WIFEXITED(program.status)) result.exitStatus = WEXITSTATUS(program.status);
  if (WIFSIGNALED(program.status)) result.signal = WTERMSIG(program.status);
  result.out = std::move(program.out);
  result.err = std::move(program.err);
  return result;
}

ProgramResult runProgram(const ProgramRun& run) {
  RunningProgram program = startProgram(run);
  return finishProgram(program, run.input);
}

ProgramResult runProgram(const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup) {
  return runProgram(
      {.program = programPath(), .input = input, .dir = dir, .childSetup = childSetup});
}

ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         const std::filesystem::path& dir, const std::string& input,
                         const std::function<void()>& childSetup) {
  return runProgram(
      {.program = program, .args = args, .input = input, .dir = dir, .childSetup = childSetup});
}

int runInChild(const std::function<int()>& body) {
  std::cout.flush();
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int code = 99;
    try {
      code = body();
    } catch (...) {
      code = 98;
    }
    _exit(code);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace testing_support
