#include "study/shell_command.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <vector>

extern char** environ;

namespace intersections {

namespace {

constexpr std::size_t chunkBytes = 65536;
constexpr std::size_t errKept = 200;

[[noreturn]] void systemFailure(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

// A descriptor that closes itself.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { close(); }
  void close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  bool open() const { return fd >= 0; }
};

// A pipe whose two ends are closed on exec; the child gets the one it needs by dup2.
void makePipe(Descriptor& readEnd, Descriptor& writeEnd) {
  int ends[2];
  if (pipe2(ends, O_CLOEXEC) != 0) systemFailure("cannot make a pipe");
  readEnd.fd = ends[0];
  writeEnd.fd = ends[1];
}

void setNonBlocking(const Descriptor& descriptor) {
  const int flags = fcntl(descriptor.fd, F_GETFL);
  if (flags < 0 || fcntl(descriptor.fd, F_SETFL, flags | O_NONBLOCK) != 0)
    systemFailure("cannot set a pipe non-blocking");
}

// Waits for the child, whatever signals arrive meanwhile.
int reap(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return status;
}

// The child until it is waited for: killed and waited for if the run ends early.
struct Child {
  pid_t pid = -1;
  ~Child() {
    if (pid > 0) {
      kill(pid, SIGKILL);
      reap(pid);
    }
  }
};

// SIGPIPE held back in this thread while the input is written: a write to a
// command that has stopped reading fails with EPIPE, and the signal it
// raises stays pending on this thread, to be taken away before the old mask
// comes back.
class PipeSignalHeld {
 public:
  PipeSignalHeld() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
  }
  ~PipeSignalHeld() {
    sigset_t pending;
    const timespec noWait{};
    while (sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1 &&
           sigismember(&before_, SIGPIPE) == 0) {
      if (sigtimedwait(&pipe_, nullptr, &noWait) < 0 && errno != EINTR) break;
    }
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  PipeSignalHeld(const PipeSignalHeld&) = delete;
  PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;

 private:
  sigset_t pipe_;
  sigset_t before_;
};

// Starts `/bin/sh -c command` with the three descriptors as its 0, 1 and 2;
// returns its process id, or the error number of posix_spawn as a negative number.
pid_t spawnShell(const std::string& command, int input, int output, int error) {
  posix_spawn_file_actions_t actions;
  posix_spawnattr_t attributes;
  posix_spawn_file_actions_init(&actions);
  posix_spawnattr_init(&attributes);
  posix_spawn_file_actions_adddup2(&actions, input, STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, output, STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, error, STDERR_FILENO);
  posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1);
  sigset_t none, pipe;
  sigemptyset(&none);
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &pipe);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::string shell = "/bin/sh", option = "-c", text = command;
  char* argv[] = {shell.data(), option.data(), text.data(), nullptr};
  pid_t pid = -1;
  const int failed = posix_spawn(&pid, shell.c_str(), &actions, &attributes, argv, environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  return failed != 0 ? -failed : pid;
}

}  // namespace

CommandOutcome runShellCommand(const std::string& command, const InputSource& input,
                               std::size_t outLimit) {
  CommandOutcome outcome;
  Descriptor inRead, inWrite, outRead, outWrite, errRead, errWrite;
  makePipe(inRead, inWrite);
  makePipe(outRead, outWrite);
  makePipe(errRead, errWrite);
  Child child;
  const pid_t pid = spawnShell(command, inRead.fd, outWrite.fd, errWrite.fd);
  if (pid < 0) {
    outcome.startError = std::strerror(static_cast<int>(-pid));
    return outcome;
  }
  child.pid = pid;
  // Only the child holds these ends now: its exit closes them.
  inRead.close();
  outWrite.close();
  errWrite.close();
  setNonBlocking(inWrite);
  setNonBlocking(outRead);
  setNonBlocking(errRead);

  const PipeSignalHeld held;
  std::vector<char> pending(chunkBytes);
  std::size_t from = 0, to = 0;  // pending[from, to) is yet to be written
  std::string err;
  char buffer[chunkBytes];
  while (inWrite.open() || outRead.open() || errRead.open()) {
    pollfd watched[3];
    nfds_t count = 0;
    Descriptor* of[3];
    for (Descriptor* descriptor : {&inWrite, &outRead, &errRead}) {
      if (!descriptor->open()) continue;
      const short wanted = descriptor == &inWrite ? POLLOUT : POLLIN;
      watched[count] = {descriptor->fd, wanted, 0};
      of[count++] = descriptor;
    }
    if (poll(watched, count, -1) < 0) {
      if (errno == EINTR) continue;
      systemFailure("cannot wait for a command's pipes");
    }
    for (nfds_t i = 0; i < count; ++i) {
      if (watched[i].revents == 0) continue;
      Descriptor& descriptor = *of[i];
      if (&descriptor == &inWrite) {
        if (from == to) {
          from = 0;
          to = input(pending.data(), pending.size());
          if (to == 0) {
            inWrite.close();  // the end of its input
            continue;
          }
        }
        const ssize_t written = write(inWrite.fd, pending.data() + from, to - from);
        if (written >= 0) {
          from += static_cast<std::size_t>(written);
        } else if (errno != EAGAIN && errno != EINTR) {
          inWrite.close();  // it reads no more (EPIPE): the rest is not wanted
        }
        continue;
      }
      const ssize_t got = read(descriptor.fd, buffer, sizeof buffer);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) {
        descriptor.close();
      } else if (got > 0) {
        const auto size = static_cast<std::size_t>(got);
        if (&descriptor == &outRead) {
          const std::size_t room = outLimit - outcome.out.size();
          outcome.out.append(buffer, std::min(size, room));
          outcome.outCut = outcome.outCut || size > room;
        } else if (err.size() < errKept) {
          err.append(buffer, std::min(size, errKept - err.size()));
        }
      }
    }
  }
  const int status = reap(child.pid);
  child.pid = -1;
  if (WIFEXITED(status)) {
    outcome.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  outcome.errFirstLine = err.substr(0, err.find('\n'));
  if (!outcome.errFirstLine.empty() && outcome.errFirstLine.back() == '\r')
    outcome.errFirstLine.pop_back();
  return outcome;
}

}  // namespace intersections
