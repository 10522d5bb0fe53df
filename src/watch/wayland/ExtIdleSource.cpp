// Idle from the compositor's ext_idle_notifier_v1 (KWin, sway 1.8 and later,
// Hyprland, labwc, niri), which holds the notification back while a client
// holds an idle inhibitor. A connection of the watcher's own: the show is
// another process.
#include <poll.h>
#include <wayland-client.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string_view>

#include "ext-idle-notify-v1-client-protocol.h"
#include "watch/IdleSource.h"

namespace {

class ExtIdleSource final : public IIdleSource {
 public:
  explicit ExtIdleSource(wl_display* display) : display_(display) {}
  ~ExtIdleSource() override {
    if (notification_ != nullptr) ext_idle_notification_v1_destroy(notification_);
    if (notifier_ != nullptr) ext_idle_notifier_v1_destroy(notifier_);
    if (seat_ != nullptr) wl_seat_destroy(seat_);
    if (registry_ != nullptr) wl_registry_destroy(registry_);
    wl_display_disconnect(display_);
  }

  bool Open(unsigned timeoutMs) {
    static const wl_registry_listener kRegistry = {Global, [](void*, wl_registry*, uint32_t) {}};
    registry_ = wl_display_get_registry(display_);
    wl_registry_add_listener(registry_, &kRegistry, this);
    if (wl_display_roundtrip(display_) < 0 || notifier_ == nullptr || seat_ == nullptr) return false;
    static const ext_idle_notification_v1_listener kNotification = {
        [](void* self, ext_idle_notification_v1*) { static_cast<ExtIdleSource*>(self)->idle_ = true; },
        [](void*, ext_idle_notification_v1*) {}};
    notification_ = ext_idle_notifier_v1_get_idle_notification(notifier_, timeoutMs, seat_);
    ext_idle_notification_v1_add_listener(notification_, &kNotification, this);
    return wl_display_roundtrip(display_) >= 0;
  }

  const char* Name() const override { return "the compositor's ext-idle-notify"; }

  bool PrepareWait(Wait* wait) override {
    while (wl_display_prepare_read(display_) != 0) {
      if (wl_display_dispatch_pending(display_) < 0) return false;
    }
    if (wl_display_flush(display_) < 0 && errno != EAGAIN) {
      wl_display_cancel_read(display_);
      return false;
    }
    wait->fd = wl_display_get_fd(display_);
    wait->events = POLLIN;
    wait->timeoutMs = -1;
    return true;
  }

  bool Take(short revents) override {
    if ((revents & POLLIN) != 0) {
      if (wl_display_read_events(display_) < 0) return false;
    } else {
      wl_display_cancel_read(display_);
      if ((revents & (POLLHUP | POLLERR)) != 0) return false;
    }
    return wl_display_dispatch_pending(display_) >= 0;
  }

 private:
  static void Global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    ExtIdleSource* self = static_cast<ExtIdleSource*>(data);
    const std::string_view is(interface);
    if (is == wl_seat_interface.name && self->seat_ == nullptr) {
      self->seat_ = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    } else if (is == ext_idle_notifier_v1_interface.name && self->notifier_ == nullptr) {
      self->notifier_ = static_cast<ext_idle_notifier_v1*>(
          wl_registry_bind(registry, name, &ext_idle_notifier_v1_interface, std::min(version, 1u)));
    }
  }

  wl_display* display_;
  wl_registry* registry_ = nullptr;
  wl_seat* seat_ = nullptr;
  ext_idle_notifier_v1* notifier_ = nullptr;
  ext_idle_notification_v1* notification_ = nullptr;
};

}  // namespace

std::unique_ptr<IIdleSource> OpenExtIdleSource(unsigned timeoutMs) {
  const char* name = std::getenv("WAYLAND_DISPLAY");
  if (name == nullptr || *name == '\0') return nullptr;
  wl_display* display = wl_display_connect(nullptr);
  if (display == nullptr) return nullptr;
  auto source = std::make_unique<ExtIdleSource>(display);
  if (!source->Open(timeoutMs)) return nullptr;
  return source;
}
