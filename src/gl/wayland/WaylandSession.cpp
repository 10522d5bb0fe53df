// The process's Wayland connection: its globals, and the compositor's
// events taken as the render loop sleeps.
#include "gl/wayland/WaylandSession.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "gl/wayland/Activation.h"
#include "gl/wayland/WaylandParts.h"

// The generated header names an argument after the C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// The versions whose events our listeners know.
constexpr uint32_t kLayerShellVersion = 4;
#ifdef WL_SURFACE_PREFERRED_BUFFER_SCALE_SINCE_VERSION
constexpr uint32_t kCompositorVersion = 6;
#else
constexpr uint32_t kCompositorVersion = 4;
#endif

WaylandSession g_session;

void Ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener kWmBaseListener = {Ping};

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t known) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, known)));
}

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  WaylandSession& s = g_session;
  const std::string_view is(interface);
  if (is == wl_compositor_interface.name && s.compositor == nullptr) {
    s.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, kCompositorVersion);
  } else if (is == wl_shm_interface.name && s.shm == nullptr) {
    s.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (is == wl_seat_interface.name && s.seat == nullptr) {
    BindSeat(registry, name, version);
  } else if (is == zwlr_layer_shell_v1_interface.name && s.layerShell == nullptr) {
    s.layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version,
                                             kLayerShellVersion);
  } else if (is == wp_viewporter_interface.name && s.viewporter == nullptr) {
    s.viewporter = Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (is == wp_fractional_scale_manager_v1_interface.name && s.fractionalScale == nullptr) {
    s.fractionalScale = Bind<wp_fractional_scale_manager_v1>(registry, name,
                                                             &wp_fractional_scale_manager_v1_interface, version, 1);
  } else if (is == xdg_wm_base_interface.name && s.wmBase == nullptr) {
    s.wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
    xdg_wm_base_add_listener(s.wmBase, &kWmBaseListener, nullptr);
  } else if (is == xdg_activation_v1_interface.name) {
    BindActivation(s, registry, name);
  } else if (is == wl_output_interface.name) {
    AddOutput(registry, name, version);
  }
}

void GlobalRemove(void*, wl_registry*, uint32_t name) { RemoveOutput(name); }

const wl_registry_listener kRegistryListener = {Global, GlobalRemove};

bool Lost() {
  g_session.lost = true;
  return false;
}

}  // namespace

WaylandSession& TheWaylandSession() { return g_session; }

bool OpenWaylandSession(bool report) {
  WaylandSession& s = g_session;
  if (s.display != nullptr) return true;
  s.display = wl_display_connect(nullptr);
  if (s.display == nullptr) {
    if (report) {
      const char* name = std::getenv("WAYLAND_DISPLAY");
      std::fprintf(stderr, "lumisaver: cannot connect to the Wayland compositor \"%s\"\n",
                   name != nullptr ? name : "wayland-0");
    }
    return false;
  }
  s.registry = wl_display_get_registry(s.display);
  wl_registry_add_listener(s.registry, &kRegistryListener, nullptr);
  // The globals, then what the outputs and the seat say of themselves.
  if (wl_display_roundtrip(s.display) < 0 || wl_display_roundtrip(s.display) < 0 || s.compositor == nullptr ||
      (s.layerShell == nullptr && s.wmBase == nullptr)) {
    if (report) std::fprintf(stderr, "lumisaver: the Wayland compositor offers no shell to show a surface\n");
    CloseWaylandSession();
    return false;
  }
  return true;
}

void CloseWaylandSession() {
  WaylandSession& s = g_session;
  if (s.display == nullptr) return;
  CloseWaylandGL();
  wl_display_disconnect(s.display);
  s.outputs.clear();
  s.loose.reset();
  s = WaylandSession{};
}

bool DispatchWaylandEvents(int timeoutMs, int wakeFd) {
  WaylandSession& s = g_session;
  if (s.lost || s.display == nullptr) return false;
  while (wl_display_prepare_read(s.display) != 0) {
    if (wl_display_dispatch_pending(s.display) < 0) return Lost();
  }
  if (wl_display_flush(s.display) < 0 && errno != EAGAIN) {
    wl_display_cancel_read(s.display);
    return Lost();
  }
  pollfd fds[2] = {{wl_display_get_fd(s.display), POLLIN, 0}, {wakeFd, POLLIN, 0}};
  const int ready = poll(fds, wakeFd >= 0 ? 2 : 1, timeoutMs);
  if (ready > 0 && (fds[0].revents & POLLIN) != 0) {
    if (wl_display_read_events(s.display) < 0) return Lost();
  } else {
    wl_display_cancel_read(s.display);
    if (ready > 0 && (fds[0].revents & (POLLHUP | POLLERR)) != 0) return Lost();
  }
  if (wl_display_dispatch_pending(s.display) < 0) return Lost();
  return true;
}
