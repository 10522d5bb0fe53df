// The Wayland presenter through its port: a failed swap, and what the
// opaque-alpha pass costs.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "gl/wayland/WaylandPresenter.h"

namespace {

struct FakeSwapPort final : IWaylandSwapPort {
  int age = 0;
  bool fail = false;
  bool framePending = false;
  int alphaPasses = 0;
  int failuresLogged = 0;
  int BufferAge() override { return age; }
  bool SwapsWithDamage() override { return true; }
  void AskForFrame() override { framePending = true; }
  void DropFrameRequest() override { framePending = false; }
  void MakeAlphaOpaque() override { ++alphaPasses; }
  bool Swap(const std::vector<int>&) override { return !fail; }
  void LogSwapFailure() override { ++failuresLogged; }
};

const std::vector<PixelRect> kChanged = {PixelRect{10, 10, 20, 20}};

int PresentFrame(WaylandPresenter& presenter) {
  const int age = presenter.BackBufferAge();
  presenter.Present(kChanged);
  return age;
}

TEST(WaylandPresenterTest, FailedSwapsDropTheFrameRequestLogOnceAndTheNextFrameIsWhole) {
  auto owned = std::make_unique<FakeSwapPort>();
  FakeSwapPort& port = *owned;
  WaylandPresenter presenter(std::move(owned));
  port.age = 2;
  PresentFrame(presenter);
  EXPECT_TRUE(port.framePending);
  EXPECT_FALSE(presenter.FrameLost());
  port.fail = true;
  for (int i = 0; i < 3; ++i) {
    PresentFrame(presenter);
    EXPECT_FALSE(port.framePending) << "a frame callback nothing committed would stop the frames";
    EXPECT_TRUE(presenter.FrameLost());
  }
  EXPECT_EQ(port.failuresLogged, 1);
  port.fail = false;
  EXPECT_EQ(PresentFrame(presenter), 0) << "the frame after a failed swap is not whole";
  EXPECT_FALSE(presenter.FrameLost());
  EXPECT_EQ(PresentFrame(presenter), 2);
}

TEST(WaylandPresenterTest, OnlyWholeFramesPayTheOpaqueAlphaPass) {
  auto owned = std::make_unique<FakeSwapPort>();
  FakeSwapPort& port = *owned;
  WaylandPresenter presenter(std::move(owned));
  PresentFrame(presenter);  // a new buffer
  EXPECT_EQ(port.alphaPasses, 1);
  port.age = 1;
  for (int i = 0; i < 5; ++i) PresentFrame(presenter);
  EXPECT_EQ(port.alphaPasses, 1);
  port.age = 0;  // a buffer of a new size
  PresentFrame(presenter);
  EXPECT_EQ(port.alphaPasses, 2);
}

}  // namespace
