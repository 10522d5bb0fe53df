// Renders without a window the frame a run starting at entry N shows SECONDS
// after its first frame. The scene is the running program's; only time is
// stepped: every clock reads a counter advanced in 50 ms frames from 0, so
// entry switches, reveals and fades happen on the frames of a real run.
// The GL context comes from EGL on Mesa's surfaceless platform (no display
// needed) and renders into a framebuffer object, multisampled like the
// screen when FSAAmode asks for it. Nothing is written but the picture.
#include <png.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Application.h"
#include "app/Snapshot.h"
#include "app/egl/SnapshotSetup.h"
#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Timer.h"
#include "scene/Scene.h"

namespace {

constexpr int64_t kTicksPerSecond = 1000000;  // microseconds
constexpr int64_t kFrameTicks = 50000;        // the render loop's 50 ms pacing

int64_t g_snapshotNow = 0;
int64_t SnapshotCounter() { return g_snapshotNow; }
int64_t SnapshotFrequency() { return kTicksPerSecond; }
const ClockSource kSnapshotClock{SnapshotCounter, SnapshotFrequency};

// Kept apart so that nothing it changes lives across libpng's longjmp.
bool EncodePng(png_structp png, png_infop info, FILE* file, int width, int height, png_bytepp rows) {
  if (setjmp(png_jmpbuf(png)) != 0) return false;
  png_init_io(png, file);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, nullptr);
  return true;
}

bool WritePng(const char* path, int width, int height, std::vector<uint8_t>& bottomUpRgb) {
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) {
    std::fprintf(stderr, "lumisaver: snapshot: cannot write %s: %s\n", path, std::strerror(errno));
    return false;
  }
  std::vector<png_bytep> rows(static_cast<size_t>(height));
  const size_t stride = static_cast<size_t>(width) * 3;
  for (int y = 0; y < height; ++y) {
    rows[static_cast<size_t>(y)] = bottomUpRgb.data() + static_cast<size_t>(height - 1 - y) * stride;
  }
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  bool ok = info != nullptr && EncodePng(png, info, file, width, height, rows.data());
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) ok = false;
  if (!ok) std::fprintf(stderr, "lumisaver: snapshot: writing %s failed\n", path);
  return ok;
}

}  // namespace

int RunSnapshot(const SnapshotRequest& request) {
  const int64_t atTicks = std::llround(request.atSeconds * static_cast<double>(kTicksPerSecond));

  HeadlessContext context;
  if (!context.Create()) {
    std::fprintf(stderr, "lumisaver: snapshot: %s\n", context.error());
    return 1;
  }
  FramebufferCalls calls;
  if (!calls.LoadAll()) {
    std::fputs("lumisaver: snapshot: framebuffer objects are not available\n", stderr);
    return 1;
  }

  CApplication* app = CreateSnapshotApplication(request.entry);
  if (app == nullptr) return 1;
  app->screenWidth = request.width;
  app->screenHeight = request.height;
  app->screenBits = 32;

  std::vector<uint8_t> pixels;
  {
    OffscreenTarget target(calls);
    if (!target.Create(request.width, request.height, app->fsaaMode > 0 ? app->fsaaMode : 0)) {
      std::fputs("lumisaver: snapshot: cannot create the framebuffer\n", stderr);
      DestroySnapshotApplication(app);
      return 1;
    }

    g_snapshotNow = 0;
    SetClockSource(&kSnapshotClock);
    auto* scene = new CScene;
    scene->InitScene(app);
    // Frames before the requested one only advance the animation; a zero
    // scissor box spares their pixels without touching the scene's state.
    glScissor(0, 0, 0, 0);
    glEnable(GL_SCISSOR_TEST);
    for (int64_t t = 0; t < atTicks; t += kFrameTicks) {
      g_snapshotNow = t;
      scene->RenderScene();
    }
    glDisable(GL_SCISSOR_TEST);
    g_snapshotNow = atTicks;
    scene->RenderScene();
    glFinish();
    target.Read(&pixels);
    delete scene;
    SetClockSource(nullptr);
  }
  DestroySnapshotApplication(app);
  return WritePng(request.output, request.width, request.height, pixels) ? 0 : 1;
}
