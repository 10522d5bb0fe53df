#include <gtest/gtest.h>

#include <vector>

#include "app/PreviewDpi.h"

namespace {

// A thread whose awareness the scope sets, and what each window has.
struct FakeDpi final : IDpiAwarenessPort {
  bool available = true;
  DpiContext thread = &own;
  DpiContext parents = &other;
  std::vector<DpiContext> set;
  bool Available() override { return available; }
  DpiContext OfWindow(NativeHandle window) override { return window == 7 ? parents : nullptr; }
  DpiContext SetThread(DpiContext awareness) override {
    set.push_back(awareness);
    DpiContext previous = thread;
    thread = awareness;
    return previous;
  }
  static inline int own = 0, other = 0;
};

TEST(PreviewDpi, TheChildIsMadeInItsParentsAwarenessAndTheThreadGetsItsOwnBack) {
  FakeDpi dpi;
  {
    const ParentDpiScope scope(dpi, 7, true);
    EXPECT_EQ(dpi.thread, &FakeDpi::other);
  }
  EXPECT_EQ(dpi.thread, &FakeDpi::own);
  EXPECT_EQ(dpi.set.size(), 2u);

  const struct {
    const char* why;
    bool available, child;
    NativeHandle parent;
  } untouched[] = {{"before Windows 10 1607", false, true, 7},
                   {"an owned overlay has a tree of its own", true, false, 7},
                   {"the parent's awareness cannot be read", true, true, 8}};
  for (const auto& c : untouched) {
    FakeDpi quiet;
    quiet.available = c.available;
    { const ParentDpiScope scope(quiet, c.parent, c.child); }
    EXPECT_TRUE(quiet.set.empty()) << c.why;
  }
}

}  // namespace
