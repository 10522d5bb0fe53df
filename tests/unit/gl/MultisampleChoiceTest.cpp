#include <gtest/gtest.h>

#include "gl/MultisampleChoice.h"

namespace {

// GL_RENDERER strings as drivers report them.
constexpr const char* kSoftware[] = {
    "llvmpipe (LLVM 15.0.6, 256 bits)",
    "softpipe",
    "Gallium 0.4 on llvmpipe (LLVM 3.4, 128 bits)",
    "Mesa DRI swrast",
    "Software Rasterizer",
};
constexpr const char* kHardware[] = {
    "AMD Radeon RX 580 Series (polaris10, LLVM 15.0.6, DRM 3.49, 6.1.0-13-amd64)",
    "Mesa Intel(R) UHD Graphics 620 (KBL GT2)",
    "NVIDIA GeForce GTX 1060 6GB/PCIe/SSE2",
    "SVGA3D; build: RELEASE;  LLVM;",
    "virgl (AMD Radeon RX 580 Series)",
    "",
};

// What a run does with a renderer, as CompleteGLWindow decides it.
MultisampleStep StepFor(const char* renderer, int sampleCount, bool askedForRun) {
  return ChooseMultisampleStep(sampleCount, IsSoftwareRendererName(renderer), askedForRun);
}

TEST(MultisampleChoice, SoftwareRenderersLeaveTheSettingsCountOff) {
  for (const char* renderer : kSoftware) {
    SCOPED_TRACE(renderer);
    EXPECT_TRUE(IsSoftwareRendererName(renderer));
    EXPECT_EQ(StepFor(renderer, 3, false), MultisampleStep::OffInSoftware);
    EXPECT_EQ(StepFor(renderer, 4, false), MultisampleStep::OffInSoftware);
    // Asked for this run, it is used anyway; none asked is none.
    EXPECT_EQ(StepFor(renderer, 4, true), MultisampleStep::Ask);
    EXPECT_EQ(StepFor(renderer, 0, false), MultisampleStep::NoSamples);
    EXPECT_EQ(StepFor(renderer, 0, true), MultisampleStep::NoSamples);
  }
}

TEST(MultisampleChoice, HardwareRenderersAskAsBefore) {
  for (const char* renderer : kHardware) {
    SCOPED_TRACE(renderer);
    EXPECT_FALSE(IsSoftwareRendererName(renderer));
    EXPECT_EQ(StepFor(renderer, 3, false), MultisampleStep::Ask);
    EXPECT_EQ(StepFor(renderer, 3, true), MultisampleStep::Ask);
    EXPECT_EQ(StepFor(renderer, 0, false), MultisampleStep::NoSamples);
  }
  // A driver that answers no name at all is not taken for software.
  EXPECT_FALSE(IsSoftwareRendererName(nullptr));
  EXPECT_EQ(ChooseMultisampleStep(3, false, false), MultisampleStep::Ask);
}

}  // namespace
