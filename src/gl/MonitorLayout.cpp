#include "gl/MonitorLayout.h"

#include <algorithm>

namespace {

bool ContainsOrigin(const MonitorRect& m) { return m.x <= 0 && m.y <= 0 && m.x + m.width > 0 && m.y + m.height > 0; }

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
  // Servers can report a monitor hanging over the screen's edge (a panned
  // or stale layout); only the part on the screen can be drawn.
  const int left = std::max(chosen->x, 0);
  const int top = std::max(chosen->y, 0);
  const int right = std::min(chosen->x + chosen->width, screenWidth);
  const int bottom = std::min(chosen->y + chosen->height, screenHeight);
  if (right <= left || bottom <= top) return whole;
  return MonitorRect{left, top, right - left, bottom - top, chosen->primary};
}
