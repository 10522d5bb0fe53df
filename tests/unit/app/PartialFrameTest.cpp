// Frames that redraw only what changed, against whole frames: two scenes on
// one virtual clock, each in a framebuffer of its own that keeps its content
// as a preserved back buffer does, must show the same picture at every frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "app/egl/SnapshotSetup.h"
#include "content/ContentList.h"
#include "gl/egl/Offscreen.h"
#include "hub/Application.h"
#include "model/Timer.h"
#include "scene/Scene.h"

namespace {

int64_t g_now = 0;
int64_t Counter() { return g_now; }
int64_t Frequency() { return 1000000; }
const ClockSource kClock{Counter, Frequency};
constexpr int64_t kFrame = 50000;

struct Side {
  CApplication* app = nullptr;
  CScene* scene = nullptr;
  std::unique_ptr<OffscreenTarget> target;
};

class PartialFrameTest : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    ASSERT_TRUE(context_.Create()) << context_.error();
    ASSERT_TRUE(calls_.LoadAll()) << "framebuffer objects are not available";
    g_now = 0;
    SetClockSource(&kClock);
  }
  void TearDown() override {
    for (Side* side : {&whole_, &partial_}) {
      delete side->scene;
      side->target.reset();
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
    side->scene->partialFrames = partial;
  }
  void MakeTarget(Side* side) {
    side->target = std::make_unique<OffscreenTarget>(calls_);
    ASSERT_TRUE(side->target->Create(width_, height_, GetParam()));
  }
  void Resize(int width, int height) {
    width_ = width;
    height_ = height;
    for (Side* side : {&whole_, &partial_}) {
      MakeTarget(side);
      side->scene->SetProjection(width, height);
    }
  }
  // Draws the frame at g_now on both sides; returns the partial side's
  // changed pixels (overlaps counted twice).
  long long Frame(std::vector<uint8_t>* wholePicture, std::vector<uint8_t>* partialPicture) {
    whole_.target->Bind();
    whole_.scene->RenderScene();
    whole_.target->Read(wholePicture);
    partial_.target->Bind();
    long long changed = 0;
    for (const PixelRect& rect : partial_.scene->RenderScene()) changed += 1LL * rect.Width() * rect.Height();
    partial_.target->Read(partialPicture);
    return changed;
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
  int mismatches = 0, firstMismatch = -1;
  const int first = whole_.app->contentList->current;
  // The first entry's half turn takes 25.7 s; the run goes on into the next.
  for (int frame = 0; frame < 600; ++frame) {
    g_now = frame * kFrame;
    if (frame == 200) Resize(256, 240);
    changed += Frame(&a, &b);
    shown += 1LL * width_ * height_;
    if (a != b) {
      ++mismatches;
      if (firstMismatch < 0) firstMismatch = frame;
    }
  }
  EXPECT_EQ(mismatches, 0) << "first differing frame " << firstMismatch;
  EXPECT_NE(whole_.app->contentList->current, first) << "the run never reached the next entry";
  EXPECT_EQ(whole_.app->contentList->current, partial_.app->contentList->current);
  // Not a whole frame each time under another name.
  EXPECT_LT(changed, shown / 2) << "partial frames changed " << changed << " of " << shown << " pixels";
}

INSTANTIATE_TEST_SUITE_P(Samples, PartialFrameTest, ::testing::Values(0, 4));

}  // namespace
