#include "app/RenderLoop.h"

int RunMessageLoop(IRenderLoopPort& port, uint32_t periodMs) {
  for (;;) {
    int exitCode = 0;
    switch (port.PumpOneMessage(&exitCode)) {
      case IRenderLoopPort::Pump::Quit:
        return exitCode;
      case IRenderLoopPort::Pump::Dispatched:
        // Input and posted requests go first: no frame while any is pending.
        continue;
      case IRenderLoopPort::Pump::Empty:
        break;
    }
    const uint32_t t0 = port.TickCount();
    port.DrawFrame();
    const uint32_t delay = FramePacingDelay(t0, port.TickCount(), periodMs);
    if (delay > 0) port.Sleep(delay);
  }
}
