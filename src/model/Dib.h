#pragma once
// Windows bitmap (DIB) decoding into RGB pixels, every length checked.
#include <cstddef>
#include <cstdint>
#include <string>

struct RgbImage {
  int width = 0;
  int height = 0;
  uint8_t* pixels = nullptr;  // width*height*3, RGB, bottom row first (GL row order)
};
void FreeRgbImage(RgbImage* image);

// Number of colour-table entries of the DIB header at `header`; 0 when
// `available` bytes do not hold the fields it needs.
uint16_t DibColorCount(const uint8_t* header, size_t available);

// Outcome of a decode, and the message the user is shown for it.
enum class DibStatus { Ok, OpenFailed, UnknownFormat, OutOfMemory, ConversionError };

// Decodes a DIB held in memory. Every length is checked before it is read.
// Core (12-byte) and info (40-byte) headers, with or without the file header;
// 1/4/8 bits through the colour table, 16 bits 5-5-5 or BI_BITFIELDS, 24 bits,
// 32 bits plain or BI_BITFIELDS; top-down files are turned bottom row first.
// Run-length compression is refused (ConversionError), as is a file shorter
// than its colour table, masks or pixel data; one shorter than its headers is
// UnknownFormat; an empty one OpenFailed, as the file layer would report it.
DibStatus DecodeDib(const uint8_t* data, size_t size, RgbImage** out);
// The text shown for a failed decode; `path` fills the open-failure message.
std::u16string DibErrorText(DibStatus status, const char16_t* path);
// Reads and decodes a file; shows the documented message on failure.
RgbImage* LoadDibImage(const char16_t* path);

// Decoder limits: a side above kDibMaxSide is refused as a conversion error,
// an image of more than kDibMaxPixels pixels as out of memory.
inline constexpr int64_t kDibMaxSide = 65535;
inline constexpr int64_t kDibMaxPixels = int64_t{1} << 26;
