// A long run on a virtual clock, off-screen: the scene of a real run, driven
// in 50 ms frames through 3,360 entry switches (24 hours of showing), with
// the heap in use and the GL objects (textures, display lists) counted at
// the start, at each pass through the whole catalogue and at the end.
// Anything that grows from pass to pass leaks.
//
//   lumisoak [SWITCHES]      (default 3360; the content comes from
//                             LUMISAVER_PROGRAM_DIR, as for a run)
//
// Exit 0 when nothing grew, 1 when something did, 2 when it could not run.
#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "hub/Application.h"
#include "app/egl/SnapshotSetup.h"
#include "content/ContentList.h"
#include "gl/egl/Offscreen.h"
#include "model/Timer.h"
#include "platform/Platform.h"
#include "scene/Scene.h"

namespace {

constexpr int64_t kFrameMicros = 50000;
// The heap in use differs by a few megabytes from pass to pass (the
// driver's pools); a leak shows as the largest figure of the later half of
// the passes above the largest of the earlier half.
constexpr long long kHeapSlackBytes = 1 << 20;

int64_t g_now = 0;
int64_t Counter() { return g_now; }
int64_t Frequency() { return 1000000; }
const ClockSource kVirtualClock{Counter, Frequency};

struct Figures {
  long long heapBytes = 0;
  int textures = 0;
  int lists = 0;
};

// Live GL names up to a little beyond the next free one.
Figures Measure() {
  Figures f;
  glFinish();  // the driver frees deleted objects once the GPU work that used them is done
  const struct mallinfo2 m = mallinfo2();
  f.heapBytes = static_cast<long long>(m.uordblks + m.hblkhd);  // large blocks are mapped apart
  GLuint probe = 0;
  glGenTextures(1, &probe);
  glDeleteTextures(1, &probe);
  for (GLuint n = 1; n < probe + 4096; ++n) f.textures += glIsTexture(n) ? 1 : 0;
  const GLuint listProbe = glGenLists(1);
  glDeleteLists(listProbe, 1);
  for (GLuint n = 1; n < listProbe + 4096; ++n) f.lists += glIsList(n) ? 1 : 0;
  return f;
}

void Print(const char* when, long long switches, const Figures& f) {
  std::printf("%-22s switches %5lld  heap %10lld bytes  textures %3d  display lists %4d\n", when, switches,
              f.heapBytes, f.textures, f.lists);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const long long wanted = argc > 1 ? std::atoll(argv[1]) : 3360;
  if (wanted <= 0) {
    std::fputs("usage: lumisoak [SWITCHES]\n", stderr);
    return 2;
  }
  plat::RetainFreedMemory();  // as the program does at its start
  HeadlessContext context;
  FramebufferCalls calls;
  if (!context.Create() || !calls.LoadAll()) return 2;
  CApplication* app = CreateSnapshotApplication(0);
  if (app == nullptr || app->contentList == nullptr) return 2;
  app->screenWidth = 1280;
  app->screenHeight = 720;
  app->screenBits = 32;
  const int entries = app->contentList->count;

  const Figures empty = Measure();
  Print("before the scene", 0, empty);
  const auto started = std::chrono::steady_clock::now();
  int status = 0;
  {
    OffscreenTarget target(calls);
    if (!target.Create(app->screenWidth, app->screenHeight, 0)) return 2;
    SetClockSource(&kVirtualClock);
    auto* scene = new CScene;
    scene->InitScene(app);
    // Pixels are not looked at: a zero scissor box spares them, as the
    // snapshot does for the frames before its own.
    glScissor(0, 0, 0, 0);
    glEnable(GL_SCISSOR_TEST);
    scene->RenderScene();
    const Figures start = Measure();
    Print("start (first entry)", 0, start);

    std::vector<Figures> passes;
    long long switches = 0, frames = 1;
    int shown = app->contentList->current;
    while (switches < wanted) {
      g_now += kFrameMicros;
      scene->RenderScene();
      ++frames;
      if (app->contentList->current != shown) {
        shown = app->contentList->current;
        ++switches;
        if (switches % entries == 0) {
          const Figures pass = Measure();
          Print("whole catalogue shown", switches, pass);
          passes.push_back(pass);
        }
      }
    }
    const Figures end = Measure();
    const double hours = double(g_now) / 3.6e9;
    Print("end", switches, end);

    delete scene;
    SetClockSource(nullptr);
    const Figures after = Measure();
    Print("scene deleted", switches, after);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%lld frames, %.2f hours of showing on the virtual clock, %.0f s of real time\n", frames, hours,
                seconds);

    if (passes.size() >= 2) {
      if (passes.back().textures > passes.front().textures || passes.back().lists > passes.front().lists) {
        std::puts("LEAK: GL objects grew from one pass through the catalogue to the last");
        status = 1;
      }
      const size_t half = passes.size() / 2;
      long long earlier = 0, later = 0;
      for (size_t i = 0; i < passes.size(); ++i)
        (i < half ? earlier : later) = std::max(i < half ? earlier : later, passes[i].heapBytes);
      std::printf("heap, largest of a pass: %lld bytes in the earlier half, %lld in the later half\n", earlier,
                  later);
      if (later - earlier > kHeapSlackBytes) {
        std::printf("LEAK: the heap grew by %lld bytes\n", later - earlier);
        status = 1;
      }
    }
    if (after.textures > empty.textures || after.lists > empty.lists) {
      std::puts("LEAK: GL objects outlive the scene");
      status = 1;
    }
  }
  DestroySnapshotApplication(app);
  return status;
}
