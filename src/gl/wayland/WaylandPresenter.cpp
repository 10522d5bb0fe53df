#include "gl/wayland/WaylandPresenter.h"

#include "platform/GLHeaders.h"

int WaylandPresenter::BackBufferAge() {
  // After a lost frame the buffers no longer follow the scene's history.
  age_ = lost_ ? 0 : port_.BufferAge();
  return age_ > 0 ? age_ : 0;
}

void WaylandPresenter::Present(const std::vector<PixelRect>& changed) {
  if (!port_.SwapsWithDamage()) {
    SwapWhole();
    return;
  }
  // No rectangle would mean the whole surface: an unchanged frame names an
  // empty one.
  std::vector<int> damage;
  for (const PixelRect& rect : changed) {
    if (!rect.Empty()) damage.insert(damage.end(), {rect.x0, rect.y0, rect.Width(), rect.Height()});
  }
  if (damage.empty()) damage.assign(4, 0);
  Swap(damage);
}

void WaylandPresenter::SwapWhole() { Swap({}); }

void WaylandPresenter::Swap(const std::vector<int>& damage) {
  port_.AskForFrame();
  if (age_ <= 0) port_.MakeAlphaOpaque();
  lost_ = !port_.Swap(damage);
  if (!lost_) return;
  port_.DropFrameRequest();
  if (!failureLogged_) port_.LogSwapFailure();
  failureLogged_ = true;
}

void KeepAlphaOnWrites() { glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_FALSE); }
