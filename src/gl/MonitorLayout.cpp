#include "gl/MonitorLayout.h"

#include <algorithm>

namespace {

bool ContainsOrigin(const MonitorRect& m) { return m.x <= 0 && m.y <= 0 && m.x + m.width > 0 && m.y + m.height > 0; }

// The part on the screen; servers can report a monitor hanging over the
// screen's edge (a panned or stale layout). Empty when none is.
MonitorRect Clipped(const MonitorRect& m, int screenWidth, int screenHeight) {
  MonitorRect clipped = m;
  clipped.x = std::max(m.x, 0);
  clipped.y = std::max(m.y, 0);
  clipped.width = std::max(std::min(m.x + m.width, screenWidth) - clipped.x, 0);
  clipped.height = std::max(std::min(m.y + m.height, screenHeight) - clipped.y, 0);
  return clipped;
}

bool Overlap(const MonitorRect& a, const MonitorRect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

}  // namespace

MonitorRect ChooseSceneMonitor(const std::vector<MonitorRect>& monitors, int screenWidth, int screenHeight) {
  const MonitorRect whole{0, 0, screenWidth, screenHeight, true};
  const MonitorRect* chosen = nullptr;
  for (const MonitorRect& m : monitors) {
    if (m.primary) {
      chosen = &m;
      break;
    }
  }
  for (const MonitorRect& m : monitors) {
    if (chosen == nullptr && ContainsOrigin(m)) chosen = &m;
  }
  if (chosen == nullptr && !monitors.empty()) chosen = &monitors.front();
  if (chosen == nullptr) return whole;
  const MonitorRect clipped = Clipped(*chosen, screenWidth, screenHeight);
  return clipped.width > 0 && clipped.height > 0 ? clipped : whole;
}

std::vector<MonitorRect> SceneMonitors(const std::vector<MonitorRect>& monitors, int screenWidth, int screenHeight,
                                       const std::string& only) {
  std::vector<MonitorRect> named;
  for (const MonitorRect& m : monitors)
    if (!only.empty() && m.name == only) named.push_back(m);
  const std::vector<MonitorRect>& candidates = named.empty() ? monitors : named;
  std::vector<MonitorRect> taken{ChooseSceneMonitor(candidates, screenWidth, screenHeight)};
  for (const MonitorRect& m : candidates) {
    const MonitorRect clipped = Clipped(m, screenWidth, screenHeight);
    if (clipped.width <= 0 || clipped.height <= 0) continue;
    if (std::none_of(taken.begin(), taken.end(), [&](const MonitorRect& t) { return Overlap(t, clipped); }))
      taken.push_back(clipped);
  }
  return taken;
}

std::vector<PixelRect> ScreenViews(const std::vector<MonitorRect>& monitors, int screenHeight) {
  std::vector<PixelRect> views;
  for (const MonitorRect& m : monitors)
    views.push_back({m.x, screenHeight - m.y - m.height, m.x + m.width, screenHeight - m.y});
  return views;
}
