#pragma once
// The part of CreateGLWindow that is the same on every platform, run once the
// first window has a current context: what the driver reports, the
// multisample decision, the swap interval, the scene and the rendering kind.
class CApplication;
class CRenderHost;

// What the tail needs of its platform; each GL backend implements it.
class IGLWindowPort {
 public:
  virtual ~IGLWindowPort() = default;
  // Replaces window and context by a pair with this multisample format (0:
  // the single-sample one) while windowReady is 0; false when the new window
  // could not be created. Whether its context came, HasCurrentContext says.
  virtual bool RecreateWithFormat(int format) = 0;
  // "Mixed-mode", "Software" or "Hardware rendering", as the platform tells.
  virtual void LogRenderingKind() = 0;
  // Whether the current context renders in software, where multisampling
  // is left off unless asked for this run; false where the platform's own
  // formats already decide (Windows' generic formats offer none).
  virtual bool RendersInSoftware() = 0;
  // Whether the thread has a current GL context: false when the driver is
  // missing or refused every step of EnableOpenGL.
  virtual bool HasCurrentContext() = 0;
  // The multisampled format for a sample count, or -1 (InitMultisample).
  virtual int MultisampleFormat(int sampleCount) = 0;
};

enum class GLContextResult { NoWindow, NoContext, Ready };
// The context step of CompleteGLWindow: the first context checked, the
// multisampled pair asked for and checked in turn, with the single-sample
// pair, then no GL at all, to fall back on.
GLContextResult SetUpGLContext(IGLWindowPort& port);

bool CompleteGLWindow(IGLWindowPort& port);

// With the screen size and depth read: a screen of fewer than 32 bits per
// pixel is switched to 32, or multisampling is given up for the run.
void SwitchToThirtyTwoBits(CRenderHost* host);
// False, with the setting turned off for good and saved, when the driver
// has no multisample extension.
bool MultisampleExtensionOrOff(int sampleCount);

// The application the window layer works for, and its narrow log entry.
CApplication* WindowApp();
void WindowLogA(const char* format, ...);
