#pragma once
// The monitor's DPMS state from the X server of the session.
#include "app/DisplayPower.h"

class X11DisplayPower final : public IDisplayPowerPort {
 public:
  X11DisplayPower();  // after the session is open
  DisplayPower Query() override;

 private:
  bool capable_ = false;
};
