// Our surfaces, each from its making to its end: its role (layer-shell
// overlay or xdg toplevel), its size and scale, and what it shows (black,
// or the scene through its EGL window).
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>

#include "gl/GLWindowSequence.h"
#include "gl/wayland/Activation.h"
#include "gl/wayland/WaylandParts.h"

// The generated header names an argument after the C++ keyword.
#define namespace layer_namespace
#include "wlr-layer-shell-unstable-v1-client-protocol.h"
#undef namespace
#include "fractional-scale-v1-client-protocol.h"
#include "viewporter-client-protocol.h"
#include "xdg-shell-client-protocol.h"

namespace {

// What the compositor may name as a surface's size, and the most pixels a
// side of a buffer gets; more is a broken or hostile server.
constexpr int kMaxSide = 16384;
constexpr int kWindowedWidth = 1280;
constexpr int kWindowedHeight = 720;

WaylandSession& g_session = TheWaylandSession();

void ApplySize(WaylandSurface& surface, int width, int height);
void Rescale(WaylandSurface& surface);

// --- roles ----------------------------------------------------------------

void LayerConfigure(void* data, zwlr_layer_surface_v1* layer, uint32_t serial, uint32_t width, uint32_t height) {
  zwlr_layer_surface_v1_ack_configure(layer, serial);
  ApplySize(*static_cast<WaylandSurface*>(data), static_cast<int>(std::min<uint32_t>(width, kMaxSide)),
            static_cast<int>(std::min<uint32_t>(height, kMaxSide)));
}

// The compositor will not show it again (its output went, or it was sent
// away): the output keeps no surface until it comes back.
void LayerClosed(void* data, zwlr_layer_surface_v1*) {
  WaylandSurface* closed = static_cast<WaylandSurface*>(data);
  WaylandOutput* output = closed->output;
  DestroySurface(output != nullptr ? output->surface : g_session.loose);
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

// --- scale ----------------------------------------------------------------

void Enter(void* data, wl_surface*, wl_output* on) {
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  for (auto& output : g_session.outputs) {
    if (output->output == on) surface->entered.push_back(output.get());
  }
  Rescale(*surface);
}

void Leave(void* data, wl_surface*, wl_output* on) {
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  std::erase_if(surface->entered, [on](const WaylandOutput* output) { return output->output == on; });
  Rescale(*surface);
}

#ifdef WL_SURFACE_PREFERRED_BUFFER_SCALE_SINCE_VERSION
void PreferredScale(void* data, wl_surface*, int32_t factor) {
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  surface->preferredScale = std::clamp(factor, 1, 8);
  Rescale(*surface);
}
void PreferredTransform(void*, wl_surface*, uint32_t) {}
const wl_surface_listener kSurfaceListener = {Enter, Leave, PreferredScale, PreferredTransform};
#else
const wl_surface_listener kSurfaceListener = {Enter, Leave};
#endif

void FractionalScale(void* data, wp_fractional_scale_v1*, uint32_t scale) {
  WaylandSurface* surface = static_cast<WaylandSurface*>(data);
  surface->scale120 = static_cast<int>(std::clamp<uint32_t>(scale, 1, 8 * 120));
  Rescale(*surface);
}

const wp_fractional_scale_v1_listener kFractionalListener = {FractionalScale};

// The whole-number scale: the one the surface is asked for, else the
// largest of the outputs it is on, else its output's.
int IntegerScale(const WaylandSurface& surface) {
  if (surface.preferredScale > 0) return surface.preferredScale;
  int scale = 0;
  for (const WaylandOutput* output : surface.entered) scale = std::max(scale, output->scale);
  if (scale == 0 && surface.output != nullptr) scale = surface.output->scale;
  return std::max(scale, 1);
}

// pixels = logical × scale / 120, half away from zero (sides are positive).
int FractionalPixels(int logical, int scale120) {
  return static_cast<int>(std::min<int64_t>((int64_t{logical} * scale120 + 60) / 120, kMaxSide));
}

// --- what a surface shows -------------------------------------------------

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

// One black pixel stretched over the output where the compositor scales
// buffers, else a buffer of the output's size.
void ShowBlack(WaylandSurface& surface) {
  if (surface.viewport == nullptr && surface.black != nullptr) {
    wl_buffer_destroy(surface.black);
    surface.black = nullptr;
  }
  if (surface.black == nullptr) {
    surface.black = surface.viewport != nullptr ? CreateBlackBuffer(1, 1)
                                                : CreateBlackBuffer(surface.width, surface.height);
  }
  if (surface.black == nullptr) return;
  // A surface that showed the scene may have a buffer scale its size does
  // not divide by.
  if (wl_surface_get_version(surface.surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) {
    wl_surface_set_buffer_scale(surface.surface, 1);
  }
  wl_surface_attach(surface.surface, surface.black, 0, 0);
  wl_surface_damage(surface.surface, 0, 0, surface.width, surface.height);
  wl_surface_commit(surface.surface);
}

void DestroyEglSurface(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  if (surface.eglSurface == EGL_NO_SURFACE) return;
  eglMakeCurrent(s.egl, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
  eglDestroySurface(s.egl, surface.eglSurface);
  surface.eglSurface = EGL_NO_SURFACE;
}

void CreateEglSurface(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  surface.eglSurface = eglCreateWindowSurface(s.egl, s.config, reinterpret_cast<EGLNativeWindowType>(surface.eglWindow),
                                              nullptr);
  if (surface.eglSurface == EGL_NO_SURFACE) WindowLogA("eglCreateWindowSurface error 0x%x", eglGetError());
}

void DropEgl(WaylandSurface& surface) {
  DestroyEglSurface(surface);
  if (surface.eglWindow != nullptr) wl_egl_window_destroy(surface.eglWindow);
  surface.eglWindow = nullptr;
  if (surface.frame != nullptr) wl_callback_destroy(surface.frame);
  surface.frame = nullptr;
  surface.presenter.reset();
}

// The scene's buffers at the surface's pixels, once EGL is there to make them.
void SizeEglWindow(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  if (s.egl == EGL_NO_DISPLAY || s.config == nullptr) return;
  if (surface.eglWindow == nullptr) {
    surface.eglWindow = wl_egl_window_create(surface.surface, surface.pixelWidth, surface.pixelHeight);
    CreateEglSurface(surface);
    surface.presenter = CreateScenePresenter(surface);
  } else {
    wl_egl_window_resize(surface.eglWindow, surface.pixelWidth, surface.pixelHeight, 0, 0);
  }
  SceneSurfaceConfigured(surface);
}

// The buffer's pixels for the surface's size and scale: a fractional scale
// through the viewport, a whole one as the buffer scale. Both take effect
// with the next buffer committed.
void Rescale(WaylandSurface& surface) {
  if (!surface.configured) return;
  int width = surface.width, height = surface.height, bufferScale = 1;
  if (surface.fractional != nullptr && surface.scale120 > 0) {
    width = FractionalPixels(surface.width, surface.scale120);
    height = FractionalPixels(surface.height, surface.scale120);
  } else if (wl_surface_get_version(surface.surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) {
    bufferScale = std::min(IntegerScale(surface), kMaxSide / std::max(surface.width, surface.height));
    bufferScale = std::max(bufferScale, 1);
    width *= bufferScale;
    height *= bufferScale;
  }
  const bool changed = width != surface.pixelWidth || height != surface.pixelHeight;
  surface.pixelWidth = width;
  surface.pixelHeight = height;
  if (!surface.showsScene) return;
  if (surface.viewport != nullptr) wp_viewport_set_destination(surface.viewport, surface.width, surface.height);
  if (wl_surface_get_version(surface.surface) >= WL_SURFACE_SET_BUFFER_SCALE_SINCE_VERSION) {
    wl_surface_set_buffer_scale(surface.surface, surface.viewport != nullptr ? 1 : bufferScale);
  }
  if (changed || surface.eglWindow == nullptr) SizeEglWindow(surface);
}

void SetOpaque(WaylandSurface& surface) {
  wl_region* region = wl_compositor_create_region(g_session.compositor);
  wl_region_add(region, 0, 0, surface.width, surface.height);
  wl_surface_set_opaque_region(surface.surface, region);
  wl_region_destroy(region);
}

// A size of 0 leaves the choice to us: the output's, or the window's last.
void ApplySize(WaylandSurface& surface, int width, int height) {
  if (width <= 0 || height <= 0) {
    const WaylandOutput* output = surface.output;
    if (surface.configured) {
      width = surface.width;
      height = surface.height;
    } else if (output != nullptr && output->modeWidth > 0 && output->modeHeight > 0) {
      width = std::min(output->modeWidth / output->scale, kMaxSide);
      height = std::min(output->modeHeight / output->scale, kMaxSide);
    } else {
      width = kWindowedWidth;
      height = kWindowedHeight;
    }
  }
  const bool changed = !surface.configured || width != surface.width || height != surface.height;
  surface.configured = true;
  surface.width = width;
  surface.height = height;
  if (!changed) return;
  SetOpaque(surface);
  if (surface.showsScene) {
    Rescale(surface);
  } else {
    if (surface.viewport != nullptr) wp_viewport_set_destination(surface.viewport, width, height);
    ShowBlack(surface);
  }
}

// --- making and ending ----------------------------------------------------

void GiveRole(WaylandSurface& surface) {
  WaylandSession& s = g_session;
  wl_output* on = surface.output != nullptr ? surface.output->output : nullptr;
  if (s.target == WaylandSession::Target::FullScreen && s.layerShell != nullptr) {
    surface.layer = zwlr_layer_shell_v1_get_layer_surface(s.layerShell, surface.surface, on,
                                                         ZWLR_LAYER_SHELL_V1_LAYER_OVERLAY, "lumisaver");
    zwlr_layer_surface_v1_add_listener(surface.layer, &kLayerListener, &surface);
    zwlr_layer_surface_v1_set_size(surface.layer, 0, 0);
    zwlr_layer_surface_v1_set_anchor(surface.layer,
                                     ZWLR_LAYER_SURFACE_V1_ANCHOR_TOP | ZWLR_LAYER_SURFACE_V1_ANCHOR_BOTTOM |
                                         ZWLR_LAYER_SURFACE_V1_ANCHOR_LEFT | ZWLR_LAYER_SURFACE_V1_ANCHOR_RIGHT);
    zwlr_layer_surface_v1_set_exclusive_zone(surface.layer, -1);
    zwlr_layer_surface_v1_set_keyboard_interactivity(surface.layer,
                                                     ZWLR_LAYER_SURFACE_V1_KEYBOARD_INTERACTIVITY_EXCLUSIVE);
    return;
  }
  surface.xdgSurface = xdg_wm_base_get_xdg_surface(s.wmBase, surface.surface);
  xdg_surface_add_listener(surface.xdgSurface, &kXdgSurfaceListener, &surface);
  surface.toplevel = xdg_surface_get_toplevel(surface.xdgSurface);
  xdg_toplevel_add_listener(surface.toplevel, &kToplevelListener, &surface);
  xdg_toplevel_set_title(surface.toplevel, "Lumiscript");
  xdg_toplevel_set_app_id(surface.toplevel, "lumisaver");
  if (s.target == WaylandSession::Target::FullScreen) {
    xdg_toplevel_set_fullscreen(surface.toplevel, on);
  } else {
    surface.pendingWidth = kWindowedWidth;
    surface.pendingHeight = kWindowedHeight;
  }
}

void ShowScene(WaylandSurface& surface, bool shows) {
  if (surface.showsScene == shows) return;
  surface.showsScene = shows;
  if (shows) {
    Rescale(surface);
    return;
  }
  DropEgl(surface);
  if (!surface.configured) return;
  if (surface.viewport != nullptr) wp_viewport_set_destination(surface.viewport, surface.width, surface.height);
  ShowBlack(surface);
}

// The scene goes on every output, or on the one named (the others black),
// else on the first that has a surface; where no output has one, on the
// loose surface.
void ChooseScenes() {
  WaylandSession& s = g_session;
  const std::vector<WaylandSurface*> surfaces = WaylandSurfaces();
  WaylandSurface* chosen = surfaces.empty() ? nullptr : surfaces.front();
  for (WaylandSurface* surface : surfaces) {
    if (!s.sceneOutputName.empty() && surface->output != nullptr && surface->output->name == s.sceneOutputName) {
      chosen = surface;
    }
  }
  const bool everywhere = s.sceneOutputName.empty();
  s.scene = chosen;
  for (WaylandSurface* surface : surfaces) ShowScene(*surface, everywhere || surface == chosen);
  if (chosen != nullptr && chosen->eglWindow != nullptr) SceneSurfaceConfigured(*chosen);
}

void CreateOutputSurface(WaylandOutput& output) {
  WaylandSession& s = g_session;
  if (!s.started || s.target != WaylandSession::Target::FullScreen || output.surface != nullptr) return;
  output.surface = CreateSurface(&output);
  // The surface of no output could lie under the new output's.
  DestroySurface(s.loose);
  ChooseScenes();
}

}  // namespace

std::unique_ptr<WaylandSurface> CreateSurface(WaylandOutput* output) {
  WaylandSession& s = g_session;
  auto surface = std::make_unique<WaylandSurface>();
  surface->output = output;
  surface->surface = wl_compositor_create_surface(s.compositor);
  wl_surface_add_listener(surface->surface, &kSurfaceListener, surface.get());
  if (s.viewporter != nullptr) surface->viewport = wp_viewporter_get_viewport(s.viewporter, surface->surface);
  if (s.fractionalScale != nullptr && surface->viewport != nullptr) {
    surface->fractional = wp_fractional_scale_manager_v1_get_fractional_scale(s.fractionalScale, surface->surface);
    wp_fractional_scale_v1_add_listener(surface->fractional, &kFractionalListener, surface.get());
  }
  GiveRole(*surface);
  wl_surface_commit(surface->surface);
  RequestActivation(*surface);
  return surface;
}

void DestroySurface(std::unique_ptr<WaylandSurface>& surface) {
  if (surface == nullptr) return;
  WaylandSession& s = g_session;
  const bool wasScene = surface->showsScene;
  DropEgl(*surface);
  if (s.pointerOn == surface.get()) s.pointerOn = nullptr;
  DropActivation(*surface);
  if (surface->fractional != nullptr) wp_fractional_scale_v1_destroy(surface->fractional);
  if (surface->viewport != nullptr) wp_viewport_destroy(surface->viewport);
  if (surface->layer != nullptr) zwlr_layer_surface_v1_destroy(surface->layer);
  if (surface->toplevel != nullptr) xdg_toplevel_destroy(surface->toplevel);
  if (surface->xdgSurface != nullptr) xdg_surface_destroy(surface->xdgSurface);
  wl_surface_destroy(surface->surface);
  if (surface->black != nullptr) wl_buffer_destroy(surface->black);
  surface.reset();
  if (wasScene) ChooseScenes();
}

void OutputDone(WaylandOutput& output) {
  CreateOutputSurface(output);
  // A new scale: the surfaces that take theirs from it follow.
  for (WaylandSurface* surface : WaylandSurfaces()) Rescale(*surface);
}

void ForgetOutput(WaylandOutput& output) {
  for (WaylandSurface* surface : WaylandSurfaces()) std::erase(surface->entered, &output);
  DestroySurface(output.surface);
}

std::vector<WaylandSurface*> WaylandSurfaces() {
  std::vector<WaylandSurface*> surfaces;
  for (auto& output : g_session.outputs) {
    if (output->surface != nullptr) surfaces.push_back(output->surface.get());
  }
  if (g_session.loose != nullptr) surfaces.push_back(g_session.loose.get());
  return surfaces;
}

WaylandSurface* OurSurface(wl_surface* surface) {
  for (WaylandSurface* ours : WaylandSurfaces()) {
    if (ours->surface == surface) return ours;
  }
  return nullptr;
}

void RemakeSceneEglSurface() {
  for (WaylandSurface* surface : WaylandSurfaces()) {
    if (surface->eglWindow == nullptr) continue;
    DestroyEglSurface(*surface);
    CreateEglSurface(*surface);
  }
}

void DropEglSurfaces() {
  for (WaylandSurface* surface : WaylandSurfaces()) DropEgl(*surface);
}

bool StartWaylandSurfaces() {
  WaylandSession& s = g_session;
  s.started = true;
  if (s.target == WaylandSession::Target::FullScreen) {
    for (auto& output : s.outputs) {
      if (output->done) CreateOutputSurface(*output);
    }
  }
  if (s.scene == nullptr) {
    s.loose = CreateSurface(nullptr);
    ChooseScenes();
  }
  for (int attempt = 0; attempt < 50 && s.scene != nullptr && !s.scene->configured; ++attempt) {
    if (wl_display_roundtrip(s.display) < 0) {
      s.lost = true;
      return false;
    }
  }
  return s.scene != nullptr && s.scene->configured;
}
