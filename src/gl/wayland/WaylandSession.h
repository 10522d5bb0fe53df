#pragma once
// The Wayland connection shared by the EGL backend (the scene's surface and
// context) and the Wayland window layer (events, input). One per process,
// main thread only.
#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class IFramePresenter;
struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct wp_viewporter;
struct wp_viewport;
struct xdg_activation_v1;
struct xdg_activation_token_v1;
struct WaylandOutput;

// What the window layer hears of input and of the compositor.
class IWaylandInput {
 public:
  virtual ~IWaylandInput() = default;
  // A key pressed, or released after a press that went elsewhere (the
  // focus came between the two).
  virtual void OnKey() = 0;
  virtual void OnButton() = 0;  // left, right or middle
  // The pointer at (x, y) in the compositor's space; entered: it has just
  // come onto one of our surfaces.
  virtual void OnPointer(int x, int y, bool entered) = 0;
  virtual void OnClose() = 0;  // the compositor asked a toplevel to close
};

// One surface of ours: a layer-shell overlay or an xdg toplevel.
struct WaylandSurface {
  WaylandOutput* output = nullptr;  // null: -window, or the compositor's choice
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  int pendingWidth = 0;  // a toplevel's size, applied at its xdg_surface configure
  int pendingHeight = 0;
  bool configured = false;
  int width = 0;
  int height = 0;
  wl_buffer* black = nullptr;  // what a surface without the scene shows
  wp_viewport* viewport = nullptr;  // stretching it over the surface
  xdg_activation_token_v1* activationToken = nullptr;  // asked for, not yet come
  // The scene's surface only:
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  wl_callback* frame = nullptr;  // asked for at the last swap, not yet done
};

struct WaylandOutput {
  uint32_t global = 0;
  wl_output* output = nullptr;
  std::string name;
  int x = 0;  // its place in the compositor's space
  int y = 0;
  int modeWidth = 0;
  int modeHeight = 0;
  bool done = false;
  std::unique_ptr<WaylandSurface> surface;
};

struct WaylandSession {
  enum class Target { FullScreen, Window };

  wl_display* display = nullptr;
  wl_registry* registry = nullptr;
  wl_compositor* compositor = nullptr;
  wl_shm* shm = nullptr;
  wl_seat* seat = nullptr;
  wl_pointer* pointer = nullptr;
  wl_keyboard* keyboard = nullptr;
  zwlr_layer_shell_v1* layerShell = nullptr;
  xdg_wm_base* wmBase = nullptr;
  wp_viewporter* viewporter = nullptr;  // optional
  xdg_activation_v1* activation = nullptr;  // optional
  std::vector<std::unique_ptr<WaylandOutput>> outputs;  // in the order announced

  Target target = Target::FullScreen;
  std::string sceneOutputName;  // empty: the first output
  IWaylandInput* input = nullptr;
  bool started = false;  // surfaces are made for outputs as they come
  bool lost = false;     // the connection broke: the compositor is gone
  // -window's toplevel, or the one full-screen surface where the compositor
  // announced no output.
  std::unique_ptr<WaylandSurface> loose;
  WaylandSurface* scene = nullptr;
  WaylandSurface* pointerOn = nullptr;

  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;

  bool TakesInput() const { return target == Target::FullScreen; }
};

WaylandSession& TheWaylandSession();

// Connects to WAYLAND_DISPLAY and binds the globals; true at once when
// connected already. report: a failure writes one line to standard error.
bool OpenWaylandSession(bool report);
void CloseWaylandSession();

// Makes the surfaces of the run: an overlay layer surface on every output
// (a full-screen xdg toplevel where there is no layer shell) or the -window
// toplevel, the scene on one; waits for the scene surface's size.
bool StartWaylandSurfaces();

// Reads and dispatches what the compositor sends within timeoutMs, waking
// early when wakeFd (if not -1) becomes readable; false once the
// connection is lost.
bool DispatchWaylandEvents(int timeoutMs, int wakeFd);

// The EGL backend's side (gl/wayland/GLWindowWayland.cpp): the scene's
// surface has (a new) size, or is about to go.
void SceneSurfaceConfigured(WaylandSurface& surface);
void SceneSurfaceGone(WaylandSurface& surface);
// The context, the EGL surfaces and the EGL display, before the connection.
void CloseWaylandGL();

// Whether a frame may be drawn now: the scene has its EGL surface and the
// compositor has shown the last frame (it holds back frame callbacks of an
// output it hides or powers off). Then the presenter's swap, asking for
// the next.
bool WaylandSceneWantsFrame();
IFramePresenter& WaylandScenePresenter();
