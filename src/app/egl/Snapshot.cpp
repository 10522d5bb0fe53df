// lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]
//                             [--language L] [--font F] [--fsaa N]
//
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
#include "app/egl/Offscreen.h"
#include "app/egl/SnapshotSetup.h"
#include "platform/GLHeaders.h"
#include "model/Timer.h"
#include "scene/Scene.h"
#include "settings/Overrides.h"

namespace {

constexpr int64_t kTicksPerSecond = 1000000;  // microseconds
constexpr int64_t kFrameTicks = 50000;        // the render loop's 50 ms pacing
constexpr int kMaxSide = 8192;

int64_t g_snapshotNow = 0;
int64_t SnapshotCounter() { return g_snapshotNow; }
int64_t SnapshotFrequency() { return kTicksPerSecond; }
const ClockSource kSnapshotClock{SnapshotCounter, SnapshotFrequency};

void Usage() {
  std::fputs("usage: lumisaver --snapshot OUT.png [--entry N] [--at SECONDS] [--size WxH]\n"
             "                          [--language english|russian] [--font FACE] [--fsaa SAMPLES]\n",
             stderr);
}

bool ParseInt(const char* text, long low, long high, int* out) {
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

bool ParseSize(const char* text, int* width, int* height) {
  const char* x = std::strpbrk(text, "xX");
  if (x == nullptr) return false;
  char widthText[16] = {};
  const size_t n = static_cast<size_t>(x - text);
  if (n == 0 || n >= sizeof widthText) return false;
  std::memcpy(widthText, text, n);
  return ParseInt(widthText, 1, kMaxSide, width) && ParseInt(x + 1, 1, kMaxSide, height);
}

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

struct SnapshotRequest {
  const char* output = nullptr;
  int entry = -1;  // -1: where the settings' LastNum starts a run
  int64_t atTicks = 0;
  int width = 1280;
  int height = 720;
};

bool ParseRequest(int argc, char** argv, SnapshotRequest* request) {
  if (argc < 3 || argv[2][0] == '\0' || argv[2][0] == '-') return false;
  request->output = argv[2];
  for (int i = 3; i < argc; i += 2) {
    if (i + 1 >= argc) return false;
    const char* option = argv[i];
    const char* value = argv[i + 1];
    if (std::strcmp(option, "--entry") == 0) {
      if (!ParseInt(value, 0, 1 << 20, &request->entry)) return false;
    } else if (std::strcmp(option, "--at") == 0) {
      char* end = nullptr;
      const double seconds = std::strtod(value, &end);
      // At most a day of stepped frames.
      if (end == value || *end != '\0' || !(seconds >= 0.0) || seconds > 86400.0) return false;
      request->atTicks = std::llround(seconds * static_cast<double>(kTicksPerSecond));
    } else if (std::strcmp(option, "--size") == 0) {
      if (!ParseSize(value, &request->width, &request->height)) return false;
    } else if (TakeSettingOption(DashedOptionName(option), value, &RunOverrides(), nullptr) !=
               SettingOption::Taken) {
      return false;
    }
  }
  return true;
}

}  // namespace

int RunSnapshot(int argc, char** argv) {
  SnapshotRequest request;
  if (!ParseRequest(argc, argv, &request)) {
    Usage();
    return 2;
  }

  HeadlessContext context;
  if (!context.Create()) return 1;
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
    for (int64_t t = 0; t < request.atTicks; t += kFrameTicks) {
      g_snapshotNow = t;
      scene->RenderScene();
    }
    glDisable(GL_SCISSOR_TEST);
    g_snapshotNow = request.atTicks;
    scene->RenderScene();
    glFinish();
    target.Read(&pixels);
    delete scene;
    SetClockSource(nullptr);
  }
  DestroySnapshotApplication(app);
  return WritePng(request.output, request.width, request.height, pixels) ? 0 : 1;
}
