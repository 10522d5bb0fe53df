// The context step of the window set-up against a scripted backend: which
// formats get a window, and which of them a current context.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "gl/GLWindowSequence.h"
#include "hub/RenderHost.h"

namespace {

constexpr int kMultisampled = 7;
std::set<int> g_failing;       // formats whose context the driver refuses
std::vector<int> g_recreated;  // formats asked for, in order
bool g_current = false;

bool Recreate(int format) {
  g_recreated.push_back(format);
  g_current = g_failing.count(format) == 0;
  return true;
}
bool Current() { return g_current; }
int Format(int) { return kMultisampled; }
void LogKind() {}

class ContextStep : public testing::Test {
 protected:
  void SetUp() override {
    app_.fsaaMode = 4;
    app_.mainWindow = 0x51;
    host_.application = &app_;
    host_.sampleCount = 4;
    g_renderHost = &host_;
    g_recreated.clear();
  }
  void TearDown() override { g_renderHost = nullptr; }
  GLContextResult Run(bool firstContext, std::set<int> failing) {
    g_current = firstContext;
    g_failing = std::move(failing);
    return SetUpGLContext({Recreate, LogKind, nullptr, Current, Format});
  }
  CApplication app_;  // the bare record: no log, no start-up
  CRenderHost host_;
};

TEST_F(ContextStep, AMultisampledContextTheDriverRefusesFallsBackToOneSample) {
  EXPECT_EQ(Run(true, {kMultisampled}), GLContextResult::Ready);
  EXPECT_EQ(g_recreated, (std::vector<int>{kMultisampled, 0}));
  EXPECT_EQ(host_.sampleCount, 0) << "the scene must not turn multisampling on";
  EXPECT_EQ(app_.fsaaMode, 4) << "the user's setting is kept";
  EXPECT_EQ(app_.windowReady, 1);
}

TEST_F(ContextStep, NoContextAtAllEndsInTheRunWithoutGl) {
  EXPECT_EQ(Run(true, {kMultisampled, 0}), GLContextResult::NoContext);
  EXPECT_EQ(g_recreated, (std::vector<int>{kMultisampled, 0}));
  EXPECT_EQ(app_.windowReady, 1);
  // Without a first context nothing more is tried.
  g_recreated.clear();
  EXPECT_EQ(Run(false, {}), GLContextResult::NoContext);
  EXPECT_TRUE(g_recreated.empty());
}

TEST_F(ContextStep, AWorkingMultisampledContextIsKept) {
  EXPECT_EQ(Run(true, {}), GLContextResult::Ready);
  EXPECT_EQ(g_recreated, (std::vector<int>{kMultisampled}));
  EXPECT_EQ(host_.sampleCount, 4);
}

}  // namespace
