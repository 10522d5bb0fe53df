// libFuzzer target: the DIB decoder over arbitrary bytes.
#include "model/Dib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  DibColorCount(data, size);
  RgbImage* image = nullptr;
  const DibStatus status = DecodeDib(data, size, &image);
  if (status != DibStatus::Ok) {
    if (image != nullptr) __builtin_trap();
    return 0;
  }
  if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0) __builtin_trap();
  // Touch every output byte so a short allocation shows up under ASan.
  const size_t bytes = size_t(image->width) * size_t(image->height) * 3;
  volatile unsigned sum = 0;
  for (size_t i = 0; i < bytes; ++i) sum = sum + image->pixels[i];
  FreeRgbImage(image);
  return 0;
}
