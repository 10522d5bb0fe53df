#include "app/DisplayPower.h"

#include "scene/Scene.h"

DisplayPower FromDpms(bool capable, bool enabled, unsigned level) {
  if (!capable || !enabled) return DisplayPower::On;
  return level == 0 ? DisplayPower::On : DisplayPower::Asleep;  // standby, suspend, off
}

DisplayPower FromConsoleDisplayState(uint32_t state) {
  switch (state) {
    case 0: return DisplayPower::Asleep;
    case 2: return DisplayPower::Dimmed;  // still shows the picture
    default: return DisplayPower::On;
  }
}

CDisplayGate::Frame CDisplayGate::BeforeFrame(IDisplayPowerPort& port, uint32_t nowMs) {
  const bool due = !asked_ || asleep_ || nowMs - lastAskMs_ >= pollMs_;
  if (!due) return Frame::Draw;
  const bool wasAsleep = asleep_;
  asleep_ = port.Query() == DisplayPower::Asleep;
  asked_ = true;
  lastAskMs_ = nowMs;
  if (asleep_) return Frame::Skip;
  return wasAsleep ? Frame::DrawWhole : Frame::Draw;
}

bool AdmitFrame(CDisplayGate& gate, IDisplayPowerPort& port, uint32_t nowMs, CScene& scene) {
  const CDisplayGate::Frame frame = gate.BeforeFrame(port, nowMs);
  if (frame == CDisplayGate::Frame::DrawWhole) scene.RequestFullFrame();
  return frame != CDisplayGate::Frame::Skip;
}
