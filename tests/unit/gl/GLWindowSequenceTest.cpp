// The context step of the window set-up against a scripted backend: which
// formats get a window, and which of them a current context.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "gl/GLWindowSequence.h"
#include "hub/RenderHost.h"

namespace {

constexpr int kMultisampled = 7;

// A driver that refuses the contexts of some formats.
struct ScriptedPort final : IGLWindowPort {
  bool RecreateWithFormat(int format) override {
    recreated.push_back(format);
    current = failing.count(format) == 0;
    return true;
  }
  void LogRenderingKind() override {}
  bool RendersInSoftware() override { return false; }
  bool HasCurrentContext() override { return current; }
  int MultisampleFormat(int) override { return kMultisampled; }

  std::set<int> failing;       // formats whose context the driver refuses
  std::vector<int> recreated;  // formats asked for, in order
  bool current = false;
};

class ContextStep : public testing::Test {
 protected:
  void SetUp() override {
    app_.fsaaMode = 4;
    app_.mainWindow = 0x51;
    host_.application = &app_;
    host_.sampleCount = 4;
    g_renderHost = &host_;
  }
  void TearDown() override { g_renderHost = nullptr; }
  GLContextResult Run(bool firstContext, std::set<int> failing) {
    port_.recreated.clear();
    port_.current = firstContext;
    port_.failing = std::move(failing);
    return SetUpGLContext(port_);
  }
  CApplication app_;  // the bare record: no log, no start-up
  CRenderHost host_;
  ScriptedPort port_;
};

TEST_F(ContextStep, AMultisampledContextTheDriverRefusesFallsBackToOneSample) {
  EXPECT_EQ(Run(true, {kMultisampled}), GLContextResult::Ready);
  EXPECT_EQ(port_.recreated, (std::vector<int>{kMultisampled, 0}));
  EXPECT_EQ(host_.sampleCount, 0) << "the scene must not turn multisampling on";
  EXPECT_EQ(app_.fsaaMode, 4) << "the user's setting is kept";
  EXPECT_EQ(app_.windowReady, 1);
}

TEST_F(ContextStep, NoContextAtAllEndsInTheRunWithoutGl) {
  EXPECT_EQ(Run(true, {kMultisampled, 0}), GLContextResult::NoContext);
  EXPECT_EQ(port_.recreated, (std::vector<int>{kMultisampled, 0}));
  EXPECT_EQ(app_.windowReady, 1);
  // Without a first context nothing more is tried.
    EXPECT_EQ(Run(false, {}), GLContextResult::NoContext);
  EXPECT_TRUE(port_.recreated.empty());
}

TEST_F(ContextStep, AWorkingMultisampledContextIsKept) {
  EXPECT_EQ(Run(true, {}), GLContextResult::Ready);
  EXPECT_EQ(port_.recreated, (std::vector<int>{kMultisampled}));
  EXPECT_EQ(host_.sampleCount, 4);
}

}  // namespace
