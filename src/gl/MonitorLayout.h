#pragma once
// Which monitor of a multi-monitor screen shows the scene. Plain data in,
// a rectangle out, so the choice is the same whatever the backend asks.
#include <vector>

struct MonitorRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool primary = false;
};

// The primary monitor, else the one containing the screen's origin, else
// the first; clipped to the screen. The whole screen when there is no
// monitor or the chosen one lies outside it.
MonitorRect ChooseSceneMonitor(const std::vector<MonitorRect>& monitors, int screenWidth, int screenHeight);
