// Idle from GNOME's org.gnome.Mutter.IdleMonitor on the session bus, in a
// GNOME session on Wayland or X11. Mutter's watch counts the time since
// the last input and holds while gnome-session's InhibitedActions has the
// idle bit; the session manager is asked once more before each show, since
// the bit reaches mutter only as a property change it may have missed.
#include <poll.h>
#include <systemd/sd-bus.h>
#include <time.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>

#include "watch/IdleSource.h"

namespace {

constexpr char kMonitorName[] = "org.gnome.Mutter.IdleMonitor";
constexpr char kMonitorPath[] = "/org/gnome/Mutter/IdleMonitor/Core";
constexpr char kSessionManager[] = "org.gnome.SessionManager";
constexpr uint32_t kInhibitIdle = 8;  // GsmInhibitorFlag

bool HasOwner(sd_bus* bus, const char* name) {
  sd_bus_message* reply = nullptr;
  int owned = 0;
  if (sd_bus_call_method(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                         "NameHasOwner", nullptr, &reply, "s", name) >= 0) {
    if (sd_bus_message_read(reply, "b", &owned) < 0) owned = 0;
  }
  sd_bus_message_unref(reply);
  return owned != 0;
}

// GNOME blanks the screen after org.gnome.desktop.session idle-delay; a
// show that would start only later is never seen. Unreadable: nothing said.
void WarnIfGnomeBlanksFirst(unsigned timeoutMs) {
  std::FILE* pipe = popen("gsettings get org.gnome.desktop.session idle-delay 2>/dev/null", "r");
  if (pipe == nullptr) return;
  unsigned delay = 0;
  const bool read = std::fscanf(pipe, "uint32 %u", &delay) == 1;
  pclose(pipe);
  if (read && delay > 0 && static_cast<uint64_t>(delay) * 1000 <= timeoutMs) {
    std::fprintf(stderr,
                 "lumisaver: GNOME blanks the screen after %u s idle (Settings, Power, Screen Blank), "
                 "before the show's %u s: choose a shorter -watch time or a longer blank delay\n",
                 delay, timeoutMs / 1000);
  }
}

class MutterIdleSource final : public IIdleSource {
 public:
  explicit MutterIdleSource(sd_bus* bus) : bus_(bus) {}
  ~MutterIdleSource() override {
    sd_bus_slot_unref(fired_);
    sd_bus_slot_unref(owner_);
    sd_bus_flush_close_unref(bus_);
  }

  bool Open(unsigned timeoutMs) {
    if (!HasOwner(bus_, kMonitorName)) return false;
    // Mutter sends WatchFired to the watch's owner alone.
    if (sd_bus_match_signal(bus_, &fired_, nullptr, kMonitorPath, kMonitorName, "WatchFired", OnFired, this) < 0)
      return false;
    // Mutter gone from the bus: the session is over.
    const std::string rule = std::string("type='signal',sender='org.freedesktop.DBus',member='NameOwnerChanged',"
                                         "arg0='") + kMonitorName + "'";
    if (sd_bus_add_match(bus_, &owner_, rule.c_str(), OnOwnerChanged, this) < 0) return false;
    sd_bus_message* reply = nullptr;
    const int r = sd_bus_call_method(bus_, kMonitorName, kMonitorPath, kMonitorName, "AddIdleWatch", nullptr, &reply,
                                     "t", static_cast<uint64_t>(timeoutMs));
    const bool added = r >= 0 && sd_bus_message_read(reply, "u", &watch_) >= 0;
    sd_bus_message_unref(reply);
    if (added) WarnIfGnomeBlanksFirst(timeoutMs);
    return added;
  }

  const char* Name() const override { return "GNOME's idle monitor"; }

  bool PrepareWait(Wait* wait) override {
    if (!Process()) return false;
    wait->fd = sd_bus_get_fd(bus_);
    const int events = sd_bus_get_events(bus_);
    if (wait->fd < 0 || events < 0) return false;
    wait->events = static_cast<short>(events);
    uint64_t until = 0;
    wait->timeoutMs = -1;
    if (sd_bus_get_timeout(bus_, &until) >= 0 && until != UINT64_MAX) {
      timespec now = {};
      clock_gettime(CLOCK_MONOTONIC, &now);
      const uint64_t nowUs = static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
      wait->timeoutMs = until > nowUs ? static_cast<int>((until - nowUs + 999) / 1000) : 0;
    }
    return true;
  }

  bool Take(short revents) override {
    if ((revents & (POLLHUP | POLLERR)) != 0 && (revents & POLLIN) == 0) return false;
    return Process();
  }

  bool Inhibited() override {
    if (!HasOwner(bus_, kSessionManager)) return false;
    sd_bus_message* reply = nullptr;
    int inhibited = 0;
    if (sd_bus_call_method(bus_, kSessionManager, "/org/gnome/SessionManager", kSessionManager, "IsInhibited",
                           nullptr, &reply, "u", kInhibitIdle) >= 0) {
      if (sd_bus_message_read(reply, "b", &inhibited) < 0) inhibited = 0;
    }
    sd_bus_message_unref(reply);
    return inhibited != 0;
  }

 private:
  bool Process() {
    for (;;) {
      const int r = sd_bus_process(bus_, nullptr);
      if (r < 0 || gone_) return false;
      if (r == 0) return true;
    }
  }

  static int OnFired(sd_bus_message* message, void* data, sd_bus_error*) {
    MutterIdleSource* self = static_cast<MutterIdleSource*>(data);
    uint32_t id = 0;
    if (sd_bus_message_read(message, "u", &id) >= 0 && id == self->watch_) self->idle_ = true;
    return 0;
  }

  static int OnOwnerChanged(sd_bus_message* message, void* data, sd_bus_error*) {
    const char* name = nullptr;
    const char* before = nullptr;
    const char* after = nullptr;
    if (sd_bus_message_read(message, "sss", &name, &before, &after) >= 0 && after != nullptr && *after == '\0') {
      static_cast<MutterIdleSource*>(data)->gone_ = true;
    }
    return 0;
  }

  sd_bus* bus_;
  sd_bus_slot* fired_ = nullptr;
  sd_bus_slot* owner_ = nullptr;
  uint32_t watch_ = 0;
  bool gone_ = false;
};

}  // namespace

std::unique_ptr<IIdleSource> OpenMutterIdleSource(unsigned timeoutMs) {
  sd_bus* bus = nullptr;
  if (sd_bus_open_user(&bus) < 0) return nullptr;
  auto source = std::make_unique<MutterIdleSource>(bus);
  if (!source->Open(timeoutMs)) return nullptr;
  return source;
}
