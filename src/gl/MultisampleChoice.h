#pragma once
// Whether a run asks the driver for a multisampled window. Free of GL and
// of any window system so that the decision can be checked on its own.

// Mesa's software rasterisers, by the renderer string they report.
bool IsSoftwareRendererName(const char* renderer);

enum class MultisampleStep {
  NoSamples,       // sample count 0: one window, "No multisampling"
  OffInSoftware,   // configured, but the first context renders in software
  Ask,             // look up a multisampled format and re-create the window
};

// A software renderer computes every sample on the CPU, which costs several
// times the whole frame; there the configured count is used only when the
// user asked for it for this very run.
MultisampleStep ChooseMultisampleStep(int sampleCount, bool software, bool askedForRun);
