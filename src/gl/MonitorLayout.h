#pragma once
// Which monitors of a multi-monitor screen show the scene. Plain data in,
// rectangles out, so the choice is the same whatever the backend asks.
#include <string>
#include <utility>
#include <vector>

#include "model/PixelRect.h"

// Screen coordinates: the origin top left, y down.
struct MonitorRect {
  MonitorRect() = default;
  MonitorRect(int left, int top, int w, int h, bool isPrimary = false, std::string monitorName = {})
      : x(left), y(top), width(w), height(h), primary(isPrimary), name(std::move(monitorName)) {}
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool primary = false;
  std::string name;  // as the display system names it; may be empty
};

// The primary monitor, else the one containing the screen's origin, else
// the first; clipped to the screen. The whole screen when there is no
// monitor or the chosen one lies outside it.
MonitorRect ChooseSceneMonitor(const std::vector<MonitorRect>& monitors, int screenWidth, int screenHeight);

// The monitors that show the scene, clipped to the screen: the chosen one
// first, then the others in order, each left out where it overlaps one
// taken before (a mirror shows that one's picture). With `only` the monitor
// of that name alone, or every one when none has that name.
std::vector<MonitorRect> SceneMonitors(const std::vector<MonitorRect>& monitors, int screenWidth, int screenHeight,
                                       const std::string& only);
// Their views in a window over the whole screen, in GL window coordinates.
std::vector<PixelRect> ScreenViews(const std::vector<MonitorRect>& monitors, int screenHeight);
