// The process's Wayland connection: globals, outputs followed as they come
// and go, our surfaces on them and the seat's keyboard and pointer.
#include "gl/wayland/WaylandSession.h"

#include <linux/input-event-codes.h>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

// The generated header names an argument after the C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "gl/wayland/Activation.h"
#include "viewporter-client-protocol.h"
#include "xdg-activation-v1-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// What the compositor may name as a surface's size; more is a broken or
// hostile server, and its black buffer would not fit in memory anyway.
constexpr int kMaxSide = 16384;
constexpr int kWindowedWidth = 1280;
constexpr int kWindowedHeight = 720;
// The versions whose events our listeners know.
constexpr uint32_t kLayerShellVersion = 4;
constexpr uint32_t kOutputVersion = 4;
constexpr uint32_t kSeatVersion = 5;

WaylandSession g_session;

void ApplySize(WaylandSurface& surface, int width, int height);
void CreateOutputSurface(WaylandOutput& output);
void DestroySurface(std::unique_ptr<WaylandSurface>& surface);

// --- our surfaces ---------------------------------------------------------

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  ApplySize(*static_cast<WaylandSurface*>(data), static_cast<int>(std::min<uint32_t>(width, kMaxSide)),
            static_cast<int>(std::min<uint32_t>(height, kMaxSide)));
}

// The compositor will not show it again (its output went, or it was sent
// away): the output keeps no surface until it comes back.
void LayerClosed(void* data, zwlr_layer_surface_v1*) {
  WaylandSurface* closed = static_cast<WaylandSurface*>(data);
  for (auto& output : g_session.outputs) {
    if (output->surface.get() == closed) DestroySurface(output->surface);
  }
  if (g_session.loose.get() == closed) DestroySurface(g_session.loose);
}

const zwlr_layer_surface_v1_listener kLayerListener = {LayerConfigure, LayerClosed};

void ToplevelConfigure(void* data, xdg_toplevel*, int32_t width, int32_t height, wl_array*) {
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  surface->pendingWidth = std::clamp(width, 0, kMaxSide);
  surface->pendingHeight = std::clamp(height, 0, kMaxSide);
}

void ToplevelClose(void*, xdg_toplevel*) {
  if (g_session.input != nullptr) g_session.input->OnClose();
}

void ToplevelBounds(void*, xdg_toplevel*, int32_t, int32_t) {}
void ToplevelCapabilities(void*, xdg_toplevel*, wl_array*) {}

const xdg_toplevel_listener kToplevelListener = {ToplevelConfigure, ToplevelClose, ToplevelBounds,
                                                 ToplevelCapabilities};

void XdgSurfaceConfigure(void* data, xdg_surface* xdgSurface, uint32_t serial) {
  xdg_surface_ack_configure(xdgSurface, serial);
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  ApplySize(*surface, surface->pendingWidth, surface->pendingHeight);
}

const xdg_surface_listener kXdgSurfaceListener = {XdgSurfaceConfigure};

void Ping(void*, xdg_wm_base* base, uint32_t serial) { xdg_wm_base_pong(base, serial); }

const xdg_wm_base_listener kWmBaseListener = {Ping};

// Shared memory the kernel hands out zeroed: XRGB black.
wl_buffer* CreateBlackBuffer(int width, int height) {
  if (g_session.shm == nullptr) return nullptr;
  const size_t stride = static_cast<size_t>(width) * 4;
  const size_t size = stride * static_cast<size_t>(height);
  const int fd = memfd_create("lumisaver-black", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  wl_buffer* buffer = nullptr;
  if (ftruncate(fd, static_cast<off_t>(size)) == 0) {
    wl_shm_pool* pool = wl_shm_create_pool(g_session.shm, fd, static_cast<int32_t>(size));
    buffer = wl_shm_pool_create_buffer(pool, 0, width, height, static_cast<int32_t>(stride), WL_SHM_FORMAT_XRGB8888);
    wl_shm_pool_destroy(pool);
  }
  close(fd);
  return buffer;
}

void SetOpaque(WaylandSurface& surface) {
  wl_region* region = wl_compositor_create_region(g_session.compositor);
  wl_region_add(region, 0, 0, surface.width, surface.height);
  wl_surface_set_opaque_region(surface.surface, region);
  wl_region_destroy(region);
}

// One black pixel stretched over the output where the compositor scales
// buffers, else a buffer of the output's size.
void ShowBlack(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  if (s.viewporter != nullptr) {
    if (surface.viewport == nullptr) surface.viewport = wp_viewporter_get_viewport(s.viewporter, surface.surface);
    wp_viewport_set_destination(surface.viewport, surface.width, surface.height);
    if (surface.black == nullptr) surface.black = CreateBlackBuffer(1, 1);
  } else {
    if (surface.black != nullptr) wl_buffer_destroy(surface.black);
    surface.black = CreateBlackBuffer(surface.width, surface.height);
  }
  if (surface.black == nullptr) return;
  wl_surface_attach(surface.surface, surface.black, 0, 0);
  wl_surface_damage(surface.surface, 0, 0, surface.width, surface.height);
  wl_surface_commit(surface.surface);
}

// A size of 0 leaves the choice to us: the output's, or the window's last.
void ApplySize(WaylandSurface& surface, int width, int height) {
  if (width <= 0 || height <= 0) {
    if (surface.configured) {
      width = surface.width;
      height = surface.height;
    } else if (surface.output != nullptr && surface.output->modeWidth > 0 && surface.output->modeHeight > 0) {
      width = std::min(surface.output->modeWidth, kMaxSide);
      height = std::min(surface.output->modeHeight, kMaxSide);
    } else {
      width = kWindowedWidth;
      height = kWindowedHeight;
    }
  }
  const bool changed = !surface.configured || width != surface.width || height != surface.height;
  surface.configured = true;
  surface.width = width;
  surface.height = height;
  if (changed) SetOpaque(surface);
  if (&surface == g_session.scene) {
    SceneSurfaceConfigured(surface);
  } else if (changed) {
    ShowBlack(surface);
  }
}

std::unique_ptr<WaylandSurface> CreateSurface(WaylandOutput* output) {
  WaylandSession& s = g_session;
  auto surface = std::make_unique<WaylandSurface>();
  surface->output = output;
  surface->surface = wl_compositor_create_surface(s.compositor);
  wl_output* on = output != nullptr ? output->output : nullptr;
  if (s.target == WaylandSession::Target::FullScreen && s.layerShell != nullptr) {
    surface->layer = zwlr_layer_shell_v1_get_layer_surface(s.layerShell, surface->surface, on,
                                                          ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "lumisaver");
    zwlr_layer_surface_v1_add_listener(surface->layer, &kLayerListener, surface.get());
    zwlr_layer_surface_v1_set_size(surface->layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(surface->layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(surface->layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(surface->layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
  } else {
    surface->xdgSurface = xdg_wm_base_get_xdg_surface(s.wmBase, surface->surface);
    xdg_surface_add_listener(surface->xdgSurface, &kXdgSurfaceListener, surface.get());
    surface->toplevel = xdg_surface_get_toplevel(surface->xdgSurface);
    xdg_toplevel_add_listener(surface->toplevel, &kToplevelListener, surface.get());
    xdg_toplevel_set_title(surface->toplevel, "Lumiscript");
    xdg_toplevel_set_app_id(surface->toplevel, "lumisaver");
    if (s.target == WaylandSession::Target::FullScreen) {
      xdg_toplevel_set_fullscreen(surface->toplevel, on);
    } else {
      surface->pendingWidth = kWindowedWidth;
      surface->pendingHeight = kWindowedHeight;
    }
  }
  wl_surface_commit(surface->surface);
  RequestActivation(*surface);
  return surface;
}

// The scene goes to the first output that has a surface, or to the loose one.
void ChooseNewScene() {
  WaylandSession& s = g_session;
  s.scene = nullptr;
  for (auto& output : s.outputs) {
    if (output->surface != nullptr) {
      s.scene = output->surface.get();
      break;
    }
  }
  if (s.scene == nullptr && s.loose != nullptr) s.scene = s.loose.get();
  if (s.scene == nullptr) return;
  // The scene's buffers have the surface's size: no stretching.
  if (s.scene->viewport != nullptr) wp_viewport_destroy(s.scene->viewport);
  s.scene->viewport = nullptr;
  if (s.scene->configured) SceneSurfaceConfigured(*s.scene);
}

void DestroySurface(std::unique_ptr<WaylandSurface>& surface) {
  if (surface == nullptr) return;
  WaylandSession& s = g_session;
  const bool wasScene = surface.get() == s.scene;
  if (wasScene) SceneSurfaceGone(*surface);
  if (s.pointerOn == surface.get()) s.pointerOn = nullptr;
  if (surface->frame != nullptr) wl_callback_destroy(surface->frame);
  DropActivation(*surface);
  if (surface->layer != nullptr) zwlr_layer_surface_v1_destroy(surface->layer);
  if (surface->toplevel != nullptr) xdg_toplevel_destroy(surface->toplevel);
  if (surface->xdgSurface != nullptr) xdg_surface_destroy(surface->xdgSurface);
  wl_surface_destroy(surface->surface);
  if (surface->viewport != nullptr) wp_viewport_destroy(surface->viewport);
  if (surface->black != nullptr) wl_buffer_destroy(surface->black);
  surface.reset();
  if (wasScene) ChooseNewScene();
}

void CreateOutputSurface(WaylandOutput& output) {
  WaylandSession& s = g_session;
  if (!s.started || s.target != WaylandSession::Target::FullScreen || output.surface != nullptr) return;
  output.surface = CreateSurface(&output);
  if (s.scene == nullptr) s.scene = output.surface.get();
}

// --- outputs --------------------------------------------------------------

void OutputGeometry(void* data, wl_output*, int32_t x, int32_t y, int32_t, int32_t, int32_t, const char*,
                    const char*, int32_t) {
  // Far enough for any layout, near enough that adding a surface position
  // cannot overflow.
  constexpr int kMaxPlace = 1 << 24;
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->x = std::clamp(x, -kMaxPlace, kMaxPlace);
  output->y = std::clamp(y, -kMaxPlace, kMaxPlace);
}

void OutputMode(void* data, wl_output*, uint32_t flags, int32_t width, int32_t height, int32_t) {
  if ((flags & WL_OUTPUT_MODE_CURRENT) == 0) return;
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->modeWidth = width;
  output->modeHeight = height;
}

void OutputDone(void* data, wl_output*) {
  WaylandOutput* output = static_cast<WaylandOutput*>(data);
  output->done = true;
  CreateOutputSurface(*output);
}

void OutputScale(void*, wl_output*, int32_t) {}

void OutputName(void* data, wl_output*, const char* name) {
  static_cast<WaylandOutput*>(data)->name = name != nullptr ? name : "";
}

void OutputDescription(void*, wl_output*, const char*) {}

const wl_output_listener kOutputListener = {OutputGeometry, OutputMode,  OutputDone,
                                            OutputScale,    OutputName, OutputDescription};

// --- input ----------------------------------------------------------------

void ReportPointer(wl_fixed_t surfaceX, wl_fixed_t surfaceY, bool entered) {
  WaylandSession& s = g_session;
  if (s.input == nullptr) return;
  int x = wl_fixed_to_int(surfaceX);
  int y = wl_fixed_to_int(surfaceY);
  if (s.pointerOn != nullptr && s.pointerOn->output != nullptr) {
    x += s.pointerOn->output->x;
    y += s.pointerOn->output->y;
  }
  s.input->OnPointer(x, y, entered);
}

WaylandSurface* OurSurface(wl_surface* surface) {
  WaylandSession& s = g_session;
  for (auto& output : s.outputs) {
    if (output->surface != nullptr && output->surface->surface == surface) return output->surface.get();
  }
  return s.loose != nullptr && s.loose->surface == surface ? s.loose.get() : nullptr;
}

void PointerEnter(void*, wl_pointer* pointer, uint32_t serial, wl_surface* surface, wl_fixed_t x, wl_fixed_t y) {
  WaylandSession& s = g_session;
  s.pointerOn = OurSurface(surface);
  // No cursor over a screensaver.
  if (s.TakesInput()) wl_pointer_set_cursor(pointer, serial, nullptr, 0, 0);
  ReportPointer(x, y, true);
}

void PointerLeave(void*, wl_pointer*, uint32_t, wl_surface*) { g_session.pointerOn = nullptr; }

void PointerMotion(void*, wl_pointer*, uint32_t, wl_fixed_t x, wl_fixed_t y) { ReportPointer(x, y, false); }

void PointerButton(void*, wl_pointer*, uint32_t, uint32_t, uint32_t button, uint32_t state) {
  // The wheel comes as axis events; extra buttons end nothing.
  if (state != WL_POINTER_BUTTON_STATE_PRESSED || g_session.input == nullptr) return;
  if (button == BTN_LEFT || button == BTN_RIGHT || button == BTN_MIDDLE) g_session.input->OnButton();
}

void PointerAxis(void*, wl_pointer*, uint32_t, uint32_t, wl_fixed_t) {}
void PointerFrame(void*, wl_pointer*) {}
void PointerAxisSource(void*, wl_pointer*, uint32_t) {}
void PointerAxisStop(void*, wl_pointer*, uint32_t, uint32_t) {}
void PointerAxisDiscrete(void*, wl_pointer*, uint32_t, int32_t) {}
void PointerAxisValue120(void*, wl_pointer*, uint32_t, int32_t) {}

const wl_pointer_listener kPointerListener = {PointerEnter,      PointerLeave,      PointerMotion,
                                              PointerButton,     PointerAxis,       PointerFrame,
                                              PointerAxisSource, PointerAxisStop,   PointerAxisDiscrete,
                                              PointerAxisValue120};

void KeyboardKeymap(void*, wl_keyboard*, uint32_t, int32_t fd, uint32_t) { close(fd); }
void KeyboardEnter(void*, wl_keyboard*, uint32_t, wl_surface*, wl_array*) {}
void KeyboardLeave(void*, wl_keyboard*, uint32_t, wl_surface*) {}

// A press ends the run; so does a release, since a press seen here has
// ended it already.
void KeyboardKey(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t) {
  if (g_session.input != nullptr) g_session.input->OnKey();
}

void KeyboardModifiers(void*, wl_keyboard*, uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {}
void KeyboardRepeat(void*, wl_keyboard*, int32_t, int32_t) {}

const wl_keyboard_listener kKeyboardListener = {KeyboardKeymap, KeyboardEnter,     KeyboardLeave,
                                                KeyboardKey,    KeyboardModifiers, KeyboardRepeat};

// The seat gains a pointer only when a device appears (a mouse plugged in,
// a virtual pointer made): followed as it comes and goes.
void SeatCapabilities(void*, wl_seat* seat, uint32_t capabilities) {
  WaylandSession& s = g_session;
  const bool hasPointer = (capabilities & WL_SEAT_CAPABILITY_POINTER) != 0;
  const bool hasKeyboard = (capabilities & WL_SEAT_CAPABILITY_KEYBOARD) != 0;
  if (hasPointer && s.pointer == nullptr) {
    s.pointer = wl_seat_get_pointer(seat);
    wl_pointer_add_listener(s.pointer, &kPointerListener, nullptr);
  } else if (!hasPointer && s.pointer != nullptr) {
    wl_pointer_destroy(s.pointer);
    s.pointer = nullptr;
    s.pointerOn = nullptr;
  }
  if (hasKeyboard && s.keyboard == nullptr) {
    s.keyboard = wl_seat_get_keyboard(seat);
    wl_keyboard_add_listener(s.keyboard, &kKeyboardListener, nullptr);
  } else if (!hasKeyboard && s.keyboard != nullptr) {
    wl_keyboard_destroy(s.keyboard);
    s.keyboard = nullptr;
  }
}

void SeatName(void*, wl_seat*, const char*) {}

const wl_seat_listener kSeatListener = {SeatCapabilities, SeatName};

// --- globals --------------------------------------------------------------

template <typename T>
T* Bind(wl_registry* registry, uint32_t name, const wl_interface* interface, uint32_t offered, uint32_t known) {
  return static_cast<T*>(wl_registry_bind(registry, name, interface, std::min(offered, known)));
}

void Global(void*, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
  WaylandSession& s = g_session;
  const std::string_view is(interface);
  if (is == wl_compositor_interface.name && s.compositor == nullptr) {
    s.compositor = Bind<wl_compositor>(registry, name, &wl_compositor_interface, version, 4);
  } else if (is == wl_shm_interface.name && s.shm == nullptr) {
    s.shm = Bind<wl_shm>(registry, name, &wl_shm_interface, version, 1);
  } else if (is == wl_seat_interface.name && s.seat == nullptr) {
    s.seat = Bind<wl_seat>(registry, name, &wl_seat_interface, version, kSeatVersion);
    wl_seat_add_listener(s.seat, &kSeatListener, nullptr);
  } else if (is == zwlr_layer_shell_v1_interface.name && s.layerShell == nullptr) {
    s.layerShell = Bind<zwlr_layer_shell_v1>(registry, name, &zwlr_layer_shell_v1_interface, version,
                                             kLayerShellVersion);
  } else if (is == wp_viewporter_interface.name && s.viewporter == nullptr) {
    s.viewporter = Bind<wp_viewporter>(registry, name, &wp_viewporter_interface, version, 1);
  } else if (is == xdg_wm_base_interface.name && s.wmBase == nullptr) {
    s.wmBase = Bind<xdg_wm_base>(registry, name, &xdg_wm_base_interface, version, 1);
    xdg_wm_base_add_listener(s.wmBase, &kWmBaseListener, nullptr);
  } else if (is == xdg_activation_v1_interface.name) {
    BindActivation(s, registry, name);
  } else if (is == wl_output_interface.name) {
    auto output = std::make_unique<WaylandOutput>();
    output->global = name;
    output->output = Bind<wl_output>(registry, name, &wl_output_interface, version, kOutputVersion);
    wl_output_add_listener(output->output, &kOutputListener, output.get());
    s.outputs.push_back(std::move(output));
  }
}

void GlobalRemove(void*, wl_registry*, uint32_t name) {
  WaylandSession& s = g_session;
  for (auto it = s.outputs.begin(); it != s.outputs.end(); ++it) {
    if ((*it)->global != name) continue;
    std::unique_ptr<WaylandOutput> output = std::move(*it);
    s.outputs.erase(it);
    DestroySurface(output->surface);
    if (wl_output_get_version(output->output) >= WL_OUTPUT_RELEASE_SINCE_VERSION) {
      wl_output_release(output->output);
    } else {
      wl_output_destroy(output->output);
    }
    if (s.scene == nullptr) ChooseNewScene();
    return;
  }
}

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

bool StartWaylandSurfaces() {
  WaylandSession& s = g_session;
  s.started = true;
  if (s.target == WaylandSession::Target::FullScreen) {
    for (auto& output : s.outputs) {
      if (output->done) CreateOutputSurface(*output);
    }
    // The scene goes on the output named, when there is one of that name.
    for (auto& output : s.outputs) {
      if (!s.sceneOutputName.empty() && output->name == s.sceneOutputName && output->surface != nullptr) {
        s.scene = output->surface.get();
      }
    }
  }
  if (s.scene == nullptr) {
    s.loose = CreateSurface(nullptr);
    s.scene = s.loose.get();
  }
  for (int attempt = 0; attempt < 50 && !s.scene->configured; ++attempt) {
    if (wl_display_roundtrip(s.display) < 0) return Lost();
    if (s.scene == nullptr) return false;
  }
  return s.scene->configured;
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
