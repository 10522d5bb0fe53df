#pragma once
// How a Wayland scene surface's frame reaches the compositor, apart from
// EGL and the protocol (behind IWaylandSwapPort) so that tests can fail a
// swap.
#include <memory>
#include <vector>

#include "gl/FramePresenter.h"

class IWaylandSwapPort {
 public:
  virtual ~IWaylandSwapPort() = default;
  // How many frames old the back buffer is; 0 unknown.
  virtual int BufferAge() = 0;
  virtual bool SwapsWithDamage() = 0;
  // The frame callback that paces the next frame, committed by the swap.
  virtual void AskForFrame() = 0;
  // The swap failed: nothing committed the request, its callback never comes.
  virtual void DropFrameRequest() = 0;
  // Sets the whole back buffer's alpha to opaque.
  virtual void MakeAlphaOpaque() = 0;
  // x, y, width, height from the bottom left; empty: a whole swap.
  virtual bool Swap(const std::vector<int>& damage) = 0;
  virtual void LogSwapFailure() = 0;
};

// The scene clears to alpha 0 and blends its text, and a compositor would
// show the desktop through that: colour writes leave alpha alone
// (KeepAlphaOnWrites), and a buffer drawn whole, which a new buffer always
// is, gets opaque alpha once. Partial frames then cost no alpha pass.
class WaylandPresenter final : public IFramePresenter {
 public:
  explicit WaylandPresenter(std::unique_ptr<IWaylandSwapPort> port) : port_(*port), owned_(std::move(port)) {}
  int BackBufferAge() override;
  bool FrameLost() override { return lost_; }
  void Present(const std::vector<PixelRect>& changed) override;
  void SwapWhole() override;

 private:
  void Swap(const std::vector<int>& damage);
  IWaylandSwapPort& port_;
  std::unique_ptr<IWaylandSwapPort> owned_;
  int age_ = 0;
  bool lost_ = false;
  bool failureLogged_ = false;
};

// Colour writes that keep the buffer's alpha; set with each new context.
void KeepAlphaOnWrites();
