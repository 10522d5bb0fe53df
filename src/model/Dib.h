#pragma once
#include <cstddef>
#include <cstdint>

struct RgbImage {
  int width = 0;
  int height = 0;
  uint8_t* pixels = nullptr;  // width*height*3, RGB, file row order
};
void FreeRgbImage(RgbImage* image);

// Number of colour-table entries of the DIB header at `header`.
uint16_t DibColorCount(const uint8_t* header, size_t available);

// Outcome of a decode, and the message the user is shown for it.
enum class DibStatus { Ok, OpenFailed, UnknownFormat, OutOfMemory, ConversionError };

// Decodes a DIB held in memory. Every length is checked before it is read.
DibStatus DecodeDib(const uint8_t* data, size_t size, RgbImage** out);
// Reads and decodes a file; shows the documented message on failure.
RgbImage* LoadDibImage(const char16_t* path);
