#include "gl/MultisampleChoice.h"

#include <cstring>
#include <initializer_list>

bool IsSoftwareRendererName(const char* renderer) {
  if (renderer == nullptr) return false;
  for (const char* name : {"llvmpipe", "softpipe", "swrast", "Software Rasterizer"}) {
    if (std::strstr(renderer, name) != nullptr) return true;
  }
  return false;
}

MultisampleStep ChooseMultisampleStep(int sampleCount, bool software, bool askedForRun) {
  if (sampleCount == 0) return MultisampleStep::NoSamples;
  if (software && !askedForRun) return MultisampleStep::OffInSoftware;
  return MultisampleStep::Ask;
}
