#pragma once
// Where the watcher learns that the session has been idle long enough: the
// compositor (ext-idle-notify) or GNOME's idle monitor on the session bus.
// Each is a descriptor the watcher's one poll waits on.
#include <memory>

class IIdleSource {
 public:
  struct Wait {
    int fd = -1;
    short events = 0;
    int timeoutMs = -1;  // -1: none
  };
  virtual ~IIdleSource() = default;
  virtual const char* Name() const = 0;
  // What to wait for next; false once the session is gone.
  virtual bool PrepareWait(Wait* wait) = 0;
  // Takes what came (revents of the descriptor); false once the session is gone.
  virtual bool Take(short revents) = 0;
  // Whether the idle time was reached since the last call.
  bool TakeIdle() {
    const bool was = idle_;
    idle_ = false;
    return was;
  }
  // Whether something that keeps the session awake (a video, a call)
  // holds it now, where the source does not account for it itself.
  virtual bool Inhibited() { return false; }

 protected:
  bool idle_ = false;
};

// Null where the compositor (WAYLAND_DISPLAY) offers no ext_idle_notifier_v1.
std::unique_ptr<IIdleSource> OpenExtIdleSource(unsigned timeoutMs);
// Null where no org.gnome.Mutter.IdleMonitor answers on the session bus.
std::unique_ptr<IIdleSource> OpenMutterIdleSource(unsigned timeoutMs);
