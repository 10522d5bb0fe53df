#pragma once
// The Wayland connection shared by the EGL backend (the scene's context) and
// the Wayland window layer (events, input). One per process, main thread
// only. Its parts, a file each: the globals and the connection
// (WaylandSession.cpp), the outputs (WaylandOutputs.cpp), the seat
// (WaylandSeat.cpp) and our surfaces, each from its making to its end, EGL
// window included (WaylandSurfaces.cpp).
#include <EGL/egl.h>
#include <wayland-client.h>
#include <wayland-egl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gl/FramePresenter.h"
#include "scene/Scene.h"

struct zwlr_layer_shell_v1;
struct zwlr_layer_surface_v1;
struct xdg_wm_base;
struct xdg_surface;
struct xdg_toplevel;
struct wp_viewporter;
struct wp_viewport;
struct wp_fractional_scale_manager_v1;
struct wp_fractional_scale_v1;
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
  // The pointer at (x, y) in the compositor's (logical) space; entered: it
  // has just come onto one of our surfaces.
  virtual void OnPointer(int x, int y, bool entered) = 0;
  virtual void OnClose() = 0;  // the compositor asked a toplevel to close
};

// One surface of ours: a layer-shell overlay or an xdg toplevel. Sizes are
// logical (the compositor's space) unless they say pixels.
struct WaylandSurface {
  WaylandOutput* output = nullptr;  // null: -window, or the compositor's choice
  wl_surface* surface = nullptr;
  zwlr_layer_surface_v1* layer = nullptr;
  xdg_surface* xdgSurface = nullptr;
  xdg_toplevel* toplevel = nullptr;
  wp_viewport* viewport = nullptr;  // where the compositor scales buffers
  wp_fractional_scale_v1* fractional = nullptr;
  int pendingWidth = 0;  // a toplevel's size, applied at its xdg_surface configure
  int pendingHeight = 0;
  bool configured = false;
  int width = 0;
  int height = 0;
  int scale120 = 0;        // the fractional scale in 120ths, once named
  int preferredScale = 0;  // the integer one wl_surface names (version 6)
  std::vector<WaylandOutput*> entered;
  int pixelWidth = 0;  // the buffer's
  int pixelHeight = 0;
  wl_buffer* black = nullptr;  // what a surface without the scene shows
  bool showsScene = false;
  xdg_activation_token_v1* activationToken = nullptr;  // asked for, not yet come
  // A scene surface's only:
  wl_egl_window* eglWindow = nullptr;
  EGLSurface eglSurface = EGL_NO_SURFACE;
  wl_callback* frame = nullptr;  // asked for at the last swap, not yet done
  std::unique_ptr<IFramePresenter> presenter;  // with the EGL surface
  CSceneTarget target;  // one view over the whole surface
};

struct WaylandOutput {
  uint32_t global = 0;
  wl_output* output = nullptr;
  std::string name;
  int x = 0;  // its place in the compositor's space
  int y = 0;
  int modeWidth = 0;  // pixels
  int modeHeight = 0;
  int scale = 1;
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
  wp_fractional_scale_manager_v1* fractionalScale = nullptr;  // optional
  xdg_activation_v1* activation = nullptr;  // optional
  std::vector<std::unique_ptr<WaylandOutput>> outputs;  // in the order announced

  Target target = Target::FullScreen;
  std::string sceneOutputName;  // empty: every output
  IWaylandInput* input = nullptr;
  bool started = false;  // surfaces are made for outputs as they come
  bool lost = false;     // the connection broke: the compositor is gone
  // -window's toplevel, or the one full-screen surface where the compositor
  // announced no output.
  std::unique_ptr<WaylandSurface> loose;
  WaylandSurface* scene = nullptr;  // the first that shows the scene: the context's at its making
  WaylandSurface* pointerOn = nullptr;

  EGLDisplay egl = EGL_NO_DISPLAY;
  EGLConfig config = nullptr;
  EGLContext context = EGL_NO_CONTEXT;
  int swapInterval = -1;  // the run's, once chosen

  bool TakesInput() const { return target == Target::FullScreen; }
};

WaylandSession& TheWaylandSession();
// Our surfaces: the outputs' in their order, then the loose one.
std::vector<WaylandSurface*> WaylandSurfaces();

// Connects to WAYLAND_DISPLAY and binds the globals; true at once when
// connected already. report: a failure writes one line to standard error.
bool OpenWaylandSession(bool report);
void CloseWaylandSession();

// Makes the surfaces of the run: an overlay layer surface on every output
// (a full-screen xdg toplevel where there is no layer shell) or the -window
// toplevel, the scene on each (or on the one output named); waits for the
// first scene surface's size.
bool StartWaylandSurfaces();

// Reads and dispatches what the compositor sends within timeoutMs, waking
// early when wakeFd (if not -1) becomes readable; false once the
// connection is lost.
bool DispatchWaylandEvents(int timeoutMs, int wakeFd);

// The EGL backend's side (gl/wayland/GLWindowWayland.cpp): a scene
// surface has its EGL surface and (a new) size in pixels.
void SceneSurfaceConfigured(WaylandSurface& surface);
// The scene's EGL surfaces remade for a new configuration, or all dropped
// before the EGL display goes (WaylandSurfaces.cpp).
void RemakeSceneEglSurface();
void DropEglSurfaces();
// The context, the EGL surfaces and the EGL display, before the connection.
void CloseWaylandGL();

// The scene surfaces a frame may be drawn into now: each has its EGL
// surface and the compositor has shown its last frame (it holds back frame
// callbacks of an output it hides or powers off). Drawing into one: its EGL
// surface made current, then its presenter's swap, asking for the next.
std::vector<WaylandSurface*> WaylandScenesDue();
bool MakeSceneCurrent(WaylandSurface& surface);
// Made with a scene surface's EGL surface (GLWindowWayland.cpp).
std::unique_ptr<IFramePresenter> CreateScenePresenter(WaylandSurface& surface);
