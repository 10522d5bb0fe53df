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

}  // namespace
