#include "readerclient/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "common/StopRequest.h"
#include "common/UniqueFd.h"

namespace mdbtokvt {

namespace {

using Clock = std::chrono::steady_clock;

// The parent's pipe ends and the descriptors it passes are kept at or above
// this descriptor, above every descriptor the child maps them to, so no dup2
// in the child overwrites the source of a later one.
constexpr int kFirstParentFd = 64;
// How long one wait for output lasts before the child's state is looked at.
constexpr std::chrono::milliseconds kPollSlice{100};
constexpr std::chrono::milliseconds kLongestExitPause{20};
constexpr size_t kReadChunk = 65536;
// Reads per wake-up, so that a child writing without pause cannot keep the
// parent from looking at the clock.
constexpr int kReadsPerWakeup = 16;

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

struct Pipe {
  UniqueFd read;
  UniqueFd write;
};

// A pipe from the child to the parent, both ends closed on exec; the
// parent's end does not block when pollRead is set.
Pipe MakePipe(bool pollRead) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) ThrowErrno("pipe");
  Pipe pipe{UniqueFd(fds[0]), UniqueFd(fds[1])};
  const int high = ::fcntl(pipe.write.get(), F_DUPFD_CLOEXEC, kFirstParentFd);
  if (high < 0) ThrowErrno("fcntl");
  pipe.write.reset(high);
  if (pollRead && ::fcntl(pipe.read.get(), F_SETFL, O_NONBLOCK) != 0) ThrowErrno("fcntl");
  return pipe;
}

// The started child: its process group is killed and the child reaped when
// this goes away without Reap having been called, whatever the reason.
class ChildGuard {
 public:
  explicit ChildGuard(pid_t pid) : pid_(pid) {}
  ChildGuard(const ChildGuard&) = delete;
  ChildGuard& operator=(const ChildGuard&) = delete;
  ~ChildGuard() {
    if (pid_ > 0) Reap();
  }

  // True once the child has ended; it stays a zombie (and keeps its process
  // group id from being reused) until Reap.
  bool HasEnded() const {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
      if (errno != EINTR) return true;  // nothing left to wait for
    }
    return info.si_pid == pid_;
  }

  // Kills whatever is left of the process group (the child itself when it
  // is still running, helpers it started otherwise) and collects the child's
  // status; -1 when the status is lost (someone else reaped the child).
  int Reap() {
    ::kill(-pid_, SIGKILL);
    int status = 0;
    pid_t done;
    while ((done = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return done < 0 ? -1 : status;
  }

 private:
  pid_t pid_;
};

struct ChannelState {
  UniqueFd fd;
  std::string kept;
  bool cut = false;
  size_t keepBytes = 0;
};

// Reads what the channel has now (up to a bound); closes it at its end.
// Returns the number of bytes read.
uint64_t Drain(ChannelState& channel) {
  char buffer[kReadChunk];
  uint64_t total = 0;
  for (int reads = 0; reads < kReadsPerWakeup; ++reads) {
    const ssize_t n = ::read(channel.fd.get(), buffer, sizeof buffer);
    if (n > 0) {
      const size_t room = channel.keepBytes - std::min(channel.keepBytes, channel.kept.size());
      const size_t take = std::min(room, static_cast<size_t>(n));
      channel.kept.append(buffer, take);
      if (take < static_cast<size_t>(n)) channel.cut = true;
      total += static_cast<uint64_t>(n);
      continue;
    }
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) break;
    channel.fd.reset();  // end of the pipe, or an error reading it
    break;
  }
  return total;
}

bool AnyOpen(const std::vector<ChannelState>& channels) {
  return std::any_of(channels.begin(), channels.end(), [](const auto& c) { return bool(c.fd); });
}

// What the child does between fork and exec. Only system calls are allowed
// here (the parent may have other threads, which hold locks the child would
// never see released), so everything is prepared before the fork.
struct ChildSetup {
  pid_t parent;
  const char* executable;
  char* const* argv;
  std::vector<std::pair<int, int>> dups;  // parent descriptor, child descriptor
  int highestChildFd;
  int statusFd;  // close-on-exec; gets errno when exec fails
  rlimit addressSpace;
  rlimit fileSize;
};

void SetLimit(int resource, const rlimit& limit) {
  if (limit.rlim_cur != 0) ::setrlimit(static_cast<__rlimit_resource>(resource), &limit);
}

[[noreturn]] void RunInChild(const ChildSetup& setup) {
  // Killed when the parent ends; a parent that ended before this took
  // effect left the child to another parent, which is seen here.
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
  if (::getppid() != setup.parent) ::_exit(127);
  // Handlers of the parent mean nothing here; ignored signals are not
  // ignored in the reader.
  for (int signal = 1; signal < NSIG; ++signal) {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    ::sigaction(signal, &action, nullptr);
  }
  ::setpgid(0, 0);
  SetLimit(RLIMIT_AS, setup.addressSpace);
  SetLimit(RLIMIT_FSIZE, setup.fileSize);
  const rlimit noCoreFile{0, 0};
  ::setrlimit(RLIMIT_CORE, &noCoreFile);

  const int statusFd = setup.highestChildFd + 1;
  ::dup3(setup.statusFd, statusFd, O_CLOEXEC);
  const int devNull = ::open("/dev/null", O_RDONLY);
  ::dup2(devNull, STDIN_FILENO);
  for (const auto& [from, to] : setup.dups) ::dup2(from, to);
  // Descriptors the parent opened without close-on-exec stay out of the child.
  if (::syscall(SYS_close_range, statusFd + 1, ~0U, 0) != 0) {
    for (int fd = statusFd + 1; fd < kFirstParentFd + 1024; ++fd) ::close(fd);
  }
  sigset_t none;
  sigemptyset(&none);
  ::sigprocmask(SIG_SETMASK, &none, nullptr);

  ::execv(setup.executable, setup.argv);
  const int error = errno;
  [[maybe_unused]] const ssize_t ignored = ::write(statusFd, &error, sizeof error);
  ::_exit(127);
}

rlimit Limit(uint64_t bytes) { return {static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)}; }

// Starts the child, which has its limits and descriptors in place before its
// program runs. Throws std::system_error when it cannot be started.
pid_t Spawn(const ChildRun& run, const std::vector<Pipe>& pipes) {
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(run.executable.c_str()));
  for (const std::string& argument : run.arguments)
    argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  Pipe status = MakePipe(false);
  ChildSetup setup{::getpid(),
                   run.executable.c_str(),
                   argv.data(),
                   {},
                   STDERR_FILENO,
                   status.write.get(),
                   Limit(run.addressSpaceLimit),
                   Limit(run.fileSizeLimit)};
  const auto pass = [&setup](int parentFd, int childFd) {
    setup.dups.emplace_back(parentFd, childFd);
    setup.highestChildFd = std::max(setup.highestChildFd, childFd);
  };
  for (size_t i = 0; i < run.channels.size(); ++i) {
    for (int childFd : run.channels[i].childFds) pass(pipes[i].write.get(), childFd);
  }
  // Copies, close-on-exec like the originals: the dup2 in the child makes
  // the child's own descriptor inheritable.
  std::vector<UniqueFd> passed;
  for (const auto& [parentFd, childFd] : run.passedFds) {
    passed.emplace_back(::fcntl(parentFd, F_DUPFD_CLOEXEC, kFirstParentFd));
    if (!passed.back()) ThrowErrno("fcntl");
    pass(passed.back().get(), childFd);
  }

  // No signal handler of the parent may run in the child before it resets
  // them.
  sigset_t all;
  sigset_t previous;
  sigfillset(&all);
  ::pthread_sigmask(SIG_SETMASK, &all, &previous);
  const pid_t pid = ::fork();
  if (pid == 0) RunInChild(setup);
  const int forkError = errno;
  ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  if (pid < 0) throw std::system_error(forkError, std::generic_category(), "fork");
  ::setpgid(pid, pid);  // also done by the child; whichever comes first

  // Until exec, the child holds the status pipe open: its end means the
  // program runs; an errno on it means it could not be started.
  status.write.reset();
  int execError = 0;
  ssize_t got;
  while ((got = ::read(status.read.get(), &execError, sizeof execError)) < 0 && errno == EINTR) {
  }
  if (got == sizeof execError) {
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
    throw std::system_error(execError, std::generic_category(), run.executable);
  }
  return pid;
}

}  // namespace

ChildExit RunChild(const ChildRun& run) {
  const auto stopRequested = [&run] { return run.stop != nullptr && run.stop->requested(); };
  if (stopRequested()) {
    ChildExit stopped;
    stopped.kind = ChildExit::Kind::kStopped;
    stopped.output.resize(run.channels.size());
    stopped.outputCut.resize(run.channels.size());
    return stopped;
  }
  std::vector<Pipe> pipes;
  for (size_t i = 0; i < run.channels.size(); ++i) pipes.push_back(MakePipe(true));
  const auto deadline = Clock::now() + run.timeout;
  ChildGuard child(Spawn(run, pipes));

  std::vector<ChannelState> channels(run.channels.size());
  for (size_t i = 0; i < channels.size(); ++i) {
    channels[i].fd = std::move(pipes[i].read);
    channels[i].keepBytes = run.channels[i].keepBytes;
    pipes[i].write.reset();
  }

  ChildExit result;
  bool timedOut = false;
  bool stopped = false;
  const int stopFd = run.stop != nullptr ? run.stop->wakeFd() : -1;
  uint64_t written = 0;
  const auto tooMuchOutput = [&] { return run.outputLimit != 0 && written > run.outputLimit; };
  while (AnyOpen(channels) && !tooMuchOutput()) {
    if (stopRequested()) {
      stopped = true;
      break;
    }
    const auto now = Clock::now();
    if (now >= deadline) {
      timedOut = true;
      break;
    }
    std::vector<pollfd> polled;
    std::vector<ChannelState*> owners;
    for (ChannelState& channel : channels) {
      if (!channel.fd) continue;
      polled.push_back({channel.fd.get(), POLLIN, 0});
      owners.push_back(&channel);
    }
    // Last, so the channels keep their places in polled.
    if (stopFd >= 0) polled.push_back({stopFd, POLLIN, 0});
    const auto wait =
        std::min(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now), kPollSlice);
    const int ready = ::poll(polled.data(), polled.size(), static_cast<int>(wait.count()) + 1);
    if (ready < 0 && errno != EINTR) ThrowErrno("poll");
    for (size_t i = 0; ready > 0 && i < owners.size(); ++i) {
      if (polled[i].revents != 0) written += Drain(*owners[i]);
    }
    // A helper the child started may hold the pipes open after the child
    // itself has ended: what it has written so far is all there is.
    if (child.HasEnded()) {
      for (ChannelState& channel : channels) {
        if (channel.fd) written += Drain(channel);
      }
      break;
    }
  }
  // The pipes are closed; the child is ending, or has closed them and runs on.
  auto pause = std::chrono::milliseconds(1);
  while (!timedOut && !stopped && !tooMuchOutput() && !child.HasEnded()) {
    if (stopRequested()) {
      stopped = true;
      break;
    }
    if (Clock::now() >= deadline) {
      timedOut = true;
      break;
    }
    std::this_thread::sleep_for(pause);
    pause = std::min(pause * 2, kLongestExitPause);
  }

  const int status = child.Reap();
  for (ChannelState& channel : channels) {
    result.output.push_back(std::move(channel.kept));
    result.outputCut.push_back(channel.cut);
  }
  if (stopped) {
    result.kind = ChildExit::Kind::kStopped;
  } else if (timedOut) {
    result.kind = ChildExit::Kind::kTimedOut;
  } else if (tooMuchOutput()) {
    result.kind = ChildExit::Kind::kTooMuchOutput;
  } else if (status == -1) {
    result.kind = ChildExit::Kind::kExited;
    result.code = -1;
  } else if (WIFSIGNALED(status)) {
    result.kind = ChildExit::Kind::kSignaled;
    result.code = WTERMSIG(status);
  } else {
    result.kind = ChildExit::Kind::kExited;
    result.code = WEXITSTATUS(status);
  }
  return result;
}

}  // namespace mdbtokvt
