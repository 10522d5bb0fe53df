// Frames that redraw only what changed, against whole frames: two scenes on
// one virtual clock must show the same picture at every frame. The partial
// side draws into a ring of framebuffers cycled as a swap chain of that many
// buffers would be, each keeping its content for the frame that comes back
// to it: a ring of one is a preserved back buffer. With two views (two
// monitors side by side in one window, a gap between) both show one moment.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <tuple>
#include <vector>

#include "app/egl/SnapshotSetup.h"
#include "content/ContentList.h"
#include "gl/egl/Offscreen.h"
#include "hub/Application.h"
#include "model/Timer.h"
#include "scene/Scene.h"
#include "unit/FakeClock.h"

namespace {

using fake_clock::g_now;
using fake_clock::kFrame;

struct Side {
  CApplication* app = nullptr;
  CScene* scene = nullptr;
  bool partial = false;
  std::vector<std::unique_ptr<OffscreenTarget>> targets;
  int frames = 0;  // drawn since the targets were made
};

// Two views of equal size, a black gap between.
std::vector<PixelRect> Views(int width, int height, int count) {
  if (count == 1) return {{0, 0, width, height}};
  const int each = (width - 16) / 2;
  return {{0, 0, each, height}, {width - each, 0, width, height}};
}

// Samples, how many framebuffers the partial side cycles, and views.
class PartialFrameTest : public ::testing::TestWithParam<std::tuple<int, int, int>> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context_.Create()) << context_.error();
    ASSERT_TRUE(calls_.LoadAll()) << "framebuffer objects are not available";
    g_now = 0;
    SetClockSource(&fake_clock::kSource);
  }
  void TearDown() override {
    for (Side* side : {&whole_, &partial_}) {
      delete side->scene;
      side->targets.clear();
      if (side->app != nullptr) DestroySnapshotApplication(side->app);
    }
    SetClockSource(nullptr);
  }

  void Start(Side* side, int entry, bool partial) {
    side->app = CreateSnapshotApplication(entry);
    ASSERT_NE(side->app, nullptr);
    side->app->screenWidth = width_;
    side->app->screenHeight = height_;
    MakeTarget(side);
    side->scene = new CScene;
    side->scene->InitScene(side->app);
    side->scene->MainTarget().Lay(width_, height_, Views(width_, height_, std::get<2>(GetParam())));
    side->partial = partial;
  }
  void MakeTarget(Side* side) {
    side->targets.clear();
    side->frames = 0;
    const int count = side == &partial_ ? std::get<1>(GetParam()) : 1;
    for (int i = 0; i < count; ++i) {
      side->targets.push_back(std::make_unique<OffscreenTarget>(calls_));
      ASSERT_TRUE(side->targets.back()->Create(width_, height_, std::get<0>(GetParam())));
    }
  }
  // Draws the side's next frame into the next framebuffer of its ring, told
  // how old that framebuffer's picture is, and reads it back.
  const std::vector<PixelRect>& Draw(Side* side, std::vector<uint8_t>* picture) {
    const int count = static_cast<int>(side->targets.size());
    OffscreenTarget& target = *side->targets[static_cast<size_t>(side->frames % count)];
    side->scene->backBufferAge = side->partial && side->frames >= count ? count : 0;
    ++side->frames;
    target.Bind();
    const std::vector<PixelRect>& changed = side->scene->RenderScene();
    target.Read(picture);
    return changed;
  }
  void Resize(int width, int height) {
    width_ = width;
    height_ = height;
    for (Side* side : {&whole_, &partial_}) {
      MakeTarget(side);
      side->scene->MainTarget().Lay(width, height, Views(width, height, std::get<2>(GetParam())));
    }
  }
  // Draws the frame at g_now on both sides; returns the partial side's
  // changed pixels (overlaps counted twice), and counts in *undamaged* the
  // pixels that differ from the last frame but lie outside them.
  long long Frame(std::vector<uint8_t>* wholePicture, std::vector<uint8_t>* partialPicture, int* undamaged) {
    const std::vector<uint8_t> last = *wholePicture;
    Draw(&whole_, wholePicture);
    const std::vector<PixelRect>& rects = Draw(&partial_, partialPicture);
    long long changed = 0;
    for (const PixelRect& rect : rects) changed += 1LL * rect.Width() * rect.Height();
    for (size_t i = 0; last.size() == wholePicture->size() && i < last.size(); i += 3) {
      if (std::equal(&last[i], &last[i] + 3, &(*wholePicture)[i])) continue;
      const int x = static_cast<int>(i / 3) % width_, y = static_cast<int>(i / 3) / width_;
      bool inside = false;
      for (const PixelRect& rect : rects) inside = inside || (x >= rect.x0 && x < rect.x1 && y >= rect.y0 && y < rect.y1);
      if (!inside) ++*undamaged;
    }
    return changed;
  }

  // Pixels where the two views' pictures differ, and lit ones in the gap.
  // The views' edges are placed at other offsets, so a pixel on an edge may
  // fall either way; a moment apart they differ by thousands.
  int ViewsUnlike(const std::vector<uint8_t>& picture) const {
    const std::vector<PixelRect> views = Views(width_, height_, 2);
    const size_t row = static_cast<size_t>(width_) * 3, gap = static_cast<size_t>(views[1].x0) * 3;
    int unlike = 0;
    for (size_t y = 0; y < static_cast<size_t>(height_); ++y) {
      const uint8_t* left = &picture[y * row];
      for (size_t x = 0; x < gap; x += 3) {
        const bool inView = x < static_cast<size_t>(views[0].Width()) * 3;
        if (inView ? !std::equal(left + x, left + x + 3, left + gap + x) : (left[x] | left[x + 1] | left[x + 2]) != 0)
          ++unlike;
      }
    }
    return unlike;
  }

  HeadlessContext context_;
  FramebufferCalls calls_;
  int width_ = 320;
  int height_ = 180;
  Side whole_;
  Side partial_;
};

TEST_P(PartialFrameTest, MatchesWholeFramesOverAnEntryASwitchAndAResize) {
  const int entry = 86;
  Start(&whole_, entry, false);
  Start(&partial_, entry, true);
  std::vector<uint8_t> a, b;
  long long changed = 0, shown = 0;
  int mismatches = 0, firstMismatch = -1, undamaged = 0, unlikeViews = 0;
  const int first = whole_.app->contentList->current;
  // The first entry's half turn takes 25.7 s; the run goes on into the next.
  // Every other frame of the real pace: each still redraws against buffers
  // of earlier frames, in half the time.
  for (int frame = 0; frame < 600; frame += 2) {
    g_now = frame * kFrame;
    if (frame == 200) Resize(256, 240);
    changed += Frame(&a, &b, &undamaged);
    shown += 1LL * width_ * height_;
    if (a != b) {
      ++mismatches;
      if (firstMismatch < 0) firstMismatch = frame;
    }
    if (std::get<2>(GetParam()) == 2) unlikeViews = std::max(unlikeViews, ViewsUnlike(a));
  }
  EXPECT_EQ(mismatches, 0) << "first differing frame " << firstMismatch;
  EXPECT_LE(unlikeViews, 40) << "the two views showed different pictures";
  EXPECT_EQ(undamaged, 0) << "changed pixels the presenter would not be told of";
  EXPECT_NE(whole_.app->contentList->current, first) << "the run never reached the next entry";
  EXPECT_EQ(whole_.app->contentList->current, partial_.app->contentList->current);
  if (std::get<1>(GetParam()) > CScene::kFrameHistory) {
    // The buffers are older than the frames the scene remembers.
    EXPECT_EQ(changed, shown);
  } else {
    // Not a whole frame each time under another name.
    EXPECT_LT(changed, shown / 2) << "partial frames changed " << changed << " of " << shown << " pixels";
  }
}

INSTANTIATE_TEST_SUITE_P(SamplesAndBuffers, PartialFrameTest,
                         ::testing::Values(std::make_tuple(0, 1, 1), std::make_tuple(4, 1, 1), std::make_tuple(0, 2, 1),
                                           std::make_tuple(4, 3, 1), std::make_tuple(0, CScene::kFrameHistory + 1, 1),
                                           std::make_tuple(0, 1, 2), std::make_tuple(4, 3, 2)));

// One scene in two drawables (as on two Wayland outputs, one context made
// current on each in turn), each with its own ring of buffers and history;
// the second one now and then misses a frame, as an output whose compositor
// has not shown the last one yet.
TEST(SeveralTargets, EachKeepsItsOwnHistoryAndShowsTheMomentOfTheWholeFrames) {
  HeadlessContext context;
  ASSERT_TRUE(context.Create()) << context.error();
  FramebufferCalls calls;
  ASSERT_TRUE(calls.LoadAll());
  SetClockSource(&fake_clock::kSource);
  struct Shown {
    CSceneTarget target;
    std::vector<std::unique_ptr<OffscreenTarget>> ring;
    int frames = 0;
  };
  const int sizes[2][2] = {{192, 108}, {90, 160}};
  CApplication* apps[2] = {CreateSnapshotApplication(45), CreateSnapshotApplication(45)};
  std::unique_ptr<CScene> scenes[2] = {std::make_unique<CScene>(), std::make_unique<CScene>()};  // partial, whole
  Shown shown[2][2];
  for (int s = 0; s < 2; ++s) {
    ASSERT_NE(apps[s], nullptr);
    scenes[s]->InitScene(apps[s]);
    for (int t = 0; t < 2; ++t) {
      const int w = sizes[t][0], h = sizes[t][1];
      shown[s][t].target.Lay(w, h, {{0, 0, w, h}});
      for (int i = 0; i < (s == 0 ? t + 1 : 1); ++i) {
        shown[s][t].ring.push_back(std::make_unique<OffscreenTarget>(calls));
        ASSERT_TRUE(shown[s][t].ring.back()->Create(w, h, 0));
      }
    }
  }
  int mismatches = 0, partialFrames = 0;
  std::vector<uint8_t> pictures[2];
  for (int frame = 0; frame < 560; ++frame) {
    g_now = frame * kFrame;
    for (int t = 0; t < 2; ++t) {
      const bool skipped = t == 1 && frame % 7 == 3;
      for (int s = 0; s < 2; ++s) {
        if (t == 0) scenes[s]->BeginFrame();
        if (skipped) continue;
        Shown& one = shown[s][t];
        const int count = static_cast<int>(one.ring.size());
        OffscreenTarget& buffer = *one.ring[static_cast<size_t>(one.frames % count)];
        one.target.backBufferAge = s == 0 && one.frames >= count ? count : 0;
        ++one.frames;
        buffer.Bind();
        const std::vector<PixelRect>& changed = scenes[s]->DrawFrame(one.target);
        if (s == 0 && !(changed.size() == 1 && changed[0] == PixelRect{0, 0, sizes[t][0], sizes[t][1]}))
          ++partialFrames;
        buffer.Read(&pictures[s]);
      }
      if (!skipped && pictures[0] != pictures[1]) ++mismatches;
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(partialFrames, 800) << "the drawables were drawn whole";
  EXPECT_NE(apps[0]->contentList->current, 45) << "the run never reached the next entry";
  EXPECT_EQ(apps[0]->contentList->current, apps[1]->contentList->current);
  for (int s = 0; s < 2; ++s) {
    for (Shown& one : shown[s]) one.ring.clear();
    scenes[s].reset();
    DestroySnapshotApplication(apps[s]);
  }
  SetClockSource(nullptr);
}

}  // namespace
