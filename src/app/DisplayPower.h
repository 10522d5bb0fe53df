#pragma once
// Whether the monitor is lit. No frame is drawn while it sleeps, and the
// first one after it wakes is drawn whole.
#include <cstdint>
class CScene;

enum class DisplayPower { On, Dimmed, Asleep };

// X11 DPMS: whether the server has the extension and the monitor can be
// powered down (DPMSQueryExtension, DPMSCapable), whether DPMS is enabled
// and the power level DPMSInfo reports (DPMSModeOn 0, Standby 1, Suspend 2,
// Off 3). Without DPMS, or with it disabled, the monitor is taken as on.
DisplayPower FromDpms(bool capable, bool enabled, unsigned level);
// Windows: the DWORD of a GUID_CONSOLE_DISPLAY_STATE notification (0 off,
// 1 on, 2 dimmed).
DisplayPower FromConsoleDisplayState(uint32_t state);

class IDisplayPowerPort {
 public:
  virtual ~IDisplayPowerPort() = default;
  virtual DisplayPower Query() = 0;
};

// Asks the port at most every pollMs while the monitor is lit and at every
// pass while it sleeps, so a wake is drawn at the next pass.
class CDisplayGate {
 public:
  enum class Frame { Draw, DrawWhole, Skip };
  explicit CDisplayGate(uint32_t pollMs) : pollMs_(pollMs) {}
  Frame BeforeFrame(IDisplayPowerPort& port, uint32_t nowMs);

 private:
  uint32_t pollMs_;
  bool asked_ = false;
  bool asleep_ = false;
  uint32_t lastAskMs_ = 0;
};

// The gate's answer for the coming pass: false when no frame is due; a
// wake makes the scene draw its next frame whole.
bool AdmitFrame(CDisplayGate& gate, IDisplayPowerPort& port, uint32_t nowMs, CScene& scene);
