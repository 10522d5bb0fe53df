// The watcher's one loop: blocked in poll on the idle source's descriptor
// and a signalfd (the end signals and the show's exit), never on a timer.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix/SessionLock.h"
#include "watch/IdleSource.h"
#include "watch/Watch.h"

namespace {

constexpr int kShowEndSeconds = 5;  // for the show's own shutdown before it is killed

std::string OwnProgram() {
  char path[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : std::string();
}

class Show {
 public:
  Show(std::string program, const std::vector<std::string>& args, const sigset_t& blocked)
      : program_(std::move(program)), args_(args), blocked_(blocked) {}

  bool Running() const { return pid_ > 0; }

  void Start() {
    std::vector<char*> argv;
    argv.push_back(program_.data());
    for (std::string& arg : args_) argv.push_back(arg.data());
    argv.push_back(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      sigprocmask(SIG_UNBLOCK, &blocked_, nullptr);
      execv(program_.c_str(), argv.data());
      _exit(127);
    }
    if (pid < 0) {
      std::perror("lumisaver: cannot start the show");
      return;
    }
    pid_ = pid;
  }

  // After SIGCHLD: whether the show has ended.
  void Reap() {
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
  }

  // The show saves its settings on SIGTERM; one that hangs is killed.
  void Stop() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    sigset_t child;
    sigemptyset(&child);
    sigaddset(&child, SIGCHLD);
    const timespec patience = {kShowEndSeconds, 0};
    for (;;) {
      Reap();
      if (pid_ <= 0) return;
      if (sigtimedwait(&child, nullptr, &patience) < 0 && errno == EAGAIN) break;
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

 private:
  std::string program_;
  std::vector<std::string> args_;
  sigset_t blocked_;
  pid_t pid_ = -1;
};

}  // namespace

int RunWatcher(int seconds, const std::vector<std::string>& showArgs) {
  if (!TakeSessionLock("watch-" + SessionDisplayName(false, "session"))) {
    std::fputs("lumisaver: a watcher runs already in this session\n", stderr);
    return 0;
  }
  const unsigned timeoutMs = static_cast<unsigned>(seconds) * 1000u;
  std::unique_ptr<IIdleSource> source = OpenExtIdleSource(timeoutMs);
  if (source == nullptr) source = OpenMutterIdleSource(timeoutMs);
  if (source == nullptr) {
    std::fputs("lumisaver: -watch finds no idle source here: neither the compositor's ext-idle-notify "
               "(KWin, sway 1.8 and later, Hyprland) nor GNOME's idle monitor. Start the show with the "
               "xscreensaver daemon on X11 (lumisaver is one of its hacks) or, on Wayland, with swayidle: "
               "swayidle timeout 600 lumisaver\n",
               stderr);
    return 2;
  }
  sigset_t blocked;
  sigemptyset(&blocked);
  for (int number : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&blocked, number);
  sigprocmask(SIG_BLOCK, &blocked, nullptr);
  const int signals = signalfd(-1, &blocked, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signals < 0) {
    std::perror("lumisaver: signalfd");
    return 1;
  }
  std::fprintf(stderr, "lumisaver: watching %s: the show starts after %d s idle\n", source->Name(), seconds);
  Show show(OwnProgram(), showArgs, blocked);
  for (;;) {
    IIdleSource::Wait wait;
    bool alive = source->PrepareWait(&wait);
    bool end = false;
    if (alive && source->TakeIdle()) {
      // Asking the session manager may queue messages: the wait is
      // prepared again after.
      if (!show.Running() && !source->Inhibited()) show.Start();
      if (source->Take(0)) continue;
      alive = false;
    }
    if (alive) {
      pollfd fds[2] = {{signals, POLLIN, 0}, {wait.fd, wait.events, 0}};
      if (poll(fds, 2, wait.timeoutMs) < 0) fds[1].revents = 0;  // EINTR: only the signals are read
      signalfd_siginfo info;
      while (read(signals, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        if (info.ssi_signo == SIGCHLD) {
          show.Reap();
        } else {
          end = true;
        }
      }
      alive = source->Take(fds[1].revents);
    }
    if (end) break;
    if (!alive) {
      std::fputs("lumisaver: the session has ended\n", stderr);
      break;
    }
  }
  show.Stop();
  close(signals);
  return 0;
}
