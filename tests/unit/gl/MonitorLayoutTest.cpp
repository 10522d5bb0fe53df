#include <gtest/gtest.h>

#include "gl/MonitorLayout.h"

namespace {

void ExpectRect(const MonitorRect& r, int x, int y, int width, int height) {
  EXPECT_EQ(r.x, x);
  EXPECT_EQ(r.y, y);
  EXPECT_EQ(r.width, width);
  EXPECT_EQ(r.height, height);
}

TEST(MonitorLayout, ThePrimaryWinsWhereverItIs) {
  ExpectRect(ChooseSceneMonitor({{0, 0, 1280, 720, false}, {1280, 0, 1920, 1080, true}}, 3200, 1080),
             1280, 0, 1920, 1080);
}

TEST(MonitorLayout, WithoutPrimaryTheOriginsMonitorThenTheFirst) {
  ExpectRect(ChooseSceneMonitor({{1280, 0, 1280, 720}, {0, 0, 1280, 720}}, 2560, 720), 0, 0, 1280, 720);
  ExpectRect(ChooseSceneMonitor({{1280, 0, 1280, 720}, {0, 720, 1280, 720}}, 2560, 1440), 1280, 0, 1280, 720);
  // From a negative offset: the one ending at the origin does not cover it.
  ExpectRect(ChooseSceneMonitor({{1280, 0, 1280, 720}, {-1280, 0, 1280, 720}, {-100, -50, 1380, 770}}, 2560, 720),
             0, 0, 1280, 720);
}

TEST(MonitorLayout, NoMonitorOrOneOffTheScreenGivesTheWholeScreen) {
  ExpectRect(ChooseSceneMonitor({}, 2560, 720), 0, 0, 2560, 720);
  ExpectRect(ChooseSceneMonitor({{4000, 0, 1280, 720, true}}, 2560, 720), 0, 0, 2560, 720);
  ExpectRect(ChooseSceneMonitor({{0, 0, 0, 720, true}}, 2560, 720), 0, 0, 2560, 720);
}

TEST(MonitorLayout, AMonitorOverTheEdgeIsClipped) {
  ExpectRect(ChooseSceneMonitor({{-100, -50, 1280, 720, true}}, 2560, 720), 0, 0, 1180, 670);
  ExpectRect(ChooseSceneMonitor({{2000, 0, 1280, 1000, true}}, 2560, 720), 2000, 0, 560, 720);
}

TEST(MonitorLayout, EveryMonitorShowsTheSceneOnceAndANameKeepsItToOne) {
  const std::vector<MonitorRect> desk = {{0, 0, 1280, 720, false, "left"},
                                         {1280, 0, 720, 1280, true, "portrait"},
                                         {0, 0, 1024, 768, false, "mirror"},
                                         {2000, 0, 1280, 720, false, "beyond"}};
  const std::vector<MonitorRect> all = SceneMonitors(desk, 2000, 1280, "");
  ASSERT_EQ(all.size(), 2u) << "the mirror overlaps the first, the last lies off the screen";
  ExpectRect(all[0], 1280, 0, 720, 1280);
  ExpectRect(all[1], 0, 0, 1280, 720);
  const std::vector<MonitorRect> one = SceneMonitors(desk, 2000, 1280, "mirror");
  ASSERT_EQ(one.size(), 1u);
  ExpectRect(one[0], 0, 0, 1024, 768);
  EXPECT_EQ(SceneMonitors(desk, 2000, 1280, "absent").size(), 2u);
  ASSERT_EQ(SceneMonitors({}, 800, 600, "left").size(), 1u);
  ExpectRect(SceneMonitors({}, 800, 600, "left")[0], 0, 0, 800, 600);
  // GL counts rows from the bottom of the window.
  const std::vector<PixelRect> views = ScreenViews(all, 1280);
  EXPECT_EQ(views[0], (PixelRect{1280, 0, 2000, 1280}));
  EXPECT_EQ(views[1], (PixelRect{0, 560, 1280, 1280}));
}

}  // namespace
