// Portable DIB decoder: the one pixel converter of both builds.
#include <new>

#include "model/Dib.h"

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

// One channel of a bit-field pixel, scaled to 0..255.
struct Channel {
  uint32_t mask = 0;
  int shift = 0;
  uint64_t max = 0;  // 0: the channel is absent and reads as 0

  bool Set(uint32_t m) {
    mask = m;
    if (m == 0) return true;
    while (((m >> shift) & 1u) == 0) ++shift;
    max = m >> shift;
    return (max & (max + 1)) == 0;  // contiguous bits only
  }
  uint8_t Get(uint32_t pixel) const {
    if (max == 0) return 0;
    const uint64_t v = (pixel & mask) >> shift;
    return static_cast<uint8_t>((v * 255 + max / 2) / max);
  }
};

struct Layout {
  int64_t width = 0;
  int64_t height = 0;  // rows, always positive
  bool topDown = false;
  unsigned bits = 0;
  size_t rowBytes = 0;  // bytes of pixels in a row
  size_t stride = 0;    // rowBytes padded to four bytes
  const uint8_t* pixels = nullptr;
  uint8_t palette[256][3] = {};  // RGB; indices past the table stay black
  Channel channels[3];           // red, green, blue for 16 and 32 bits
  bool bitfields = false;
};

void ConvertRow(const Layout& l, const uint8_t* src, uint8_t* dst) {
  const int64_t w = l.width;
  switch (l.bits) {
    case 1:
    case 4:
    case 8: {
      const unsigned perByte = 8 / l.bits;
      const unsigned mask = (1u << l.bits) - 1;
      for (int64_t x = 0; x < w; ++x) {
        const unsigned shift = 8 - l.bits * (1 + static_cast<unsigned>(x % perByte));
        const uint8_t* c = l.palette[(src[x / perByte] >> shift) & mask];
        dst[0] = c[0];
        dst[1] = c[1];
        dst[2] = c[2];
        dst += 3;
      }
      break;
    }
    case 16:
    case 32: {
      const size_t step = l.bits / 8;
      for (int64_t x = 0; x < w; ++x, src += step, dst += 3) {
        if (l.bits == 32 && !l.bitfields) {
          dst[0] = src[2];
          dst[1] = src[1];
          dst[2] = src[0];
          continue;
        }
        const uint32_t v = l.bits == 16 ? U16(src) : U32(src);
        dst[0] = l.channels[0].Get(v);
        dst[1] = l.channels[1].Get(v);
        dst[2] = l.channels[2].Get(v);
      }
      break;
    }
    case 24:
      for (int64_t x = 0; x < w; ++x, src += 3, dst += 3) {
        dst[0] = src[2];
        dst[1] = src[1];
        dst[2] = src[0];
      }
      break;
  }
}

}  // namespace

uint16_t DibColorCount(const uint8_t* header, size_t available) {
  if (header == nullptr || available < 4) return 0;
  unsigned bits;
  if (U32(header) == 12) {
    if (available < 12) return 0;
    bits = U16(header + 10);
  } else {
    if (available < 36) return 0;
    const uint32_t used = U32(header + 32);
    if (used != 0) return static_cast<uint16_t>(used);
    bits = U16(header + 14);
  }
  switch (bits) {
    case 1: return 2;
    case 4: return 16;
    case 8: return 256;
    default: return 0;
  }
}

DibStatus DecodeDib(const uint8_t* data, size_t size, RgbImage** out) {
  if (out == nullptr) return DibStatus::ConversionError;
  *out = nullptr;
  if (data == nullptr || size == 0) return DibStatus::OpenFailed;

  size_t header = 0;
  bool havePixelOffset = false;
  size_t pixelOffset = 0;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') {
    if (size < 14) return DibStatus::UnknownFormat;
    header = 14;
    pixelOffset = U32(data + 10);
    havePixelOffset = true;
  }
  if (size - header < 4) return DibStatus::UnknownFormat;
  const uint32_t headerSize = U32(data + header);
  if (headerSize != 12 && headerSize != 40) return DibStatus::UnknownFormat;
  if (size - header < headerSize) return DibStatus::UnknownFormat;
  const uint8_t* h = data + header;

  Layout l;
  uint32_t compression = kBiRgb;
  size_t entryBytes;
  if (headerSize == 12) {
    l.width = U16(h + 4);
    l.height = U16(h + 6);
    l.bits = U16(h + 10);
    entryBytes = 3;
  } else {
    l.width = static_cast<int32_t>(U32(h + 4));
    l.height = static_cast<int32_t>(U32(h + 8));
    l.bits = U16(h + 14);
    compression = U32(h + 16);
    entryBytes = 4;
  }
  if (l.bits != 1 && l.bits != 4 && l.bits != 8 && l.bits != 16 && l.bits != 24 && l.bits != 32)
    return DibStatus::ConversionError;
  l.bitfields = compression == kBiBitfields && (l.bits == 16 || l.bits == 32);
  if (compression != kBiRgb && !l.bitfields) return DibStatus::ConversionError;
  if (l.height < 0) {
    l.topDown = true;
    l.height = -l.height;
  }
  if (l.width <= 0 || l.height == 0 || l.width > kDibMaxSide || l.height > kDibMaxSide)
    return DibStatus::ConversionError;

  size_t table = header + headerSize;
  if (l.bitfields) {
    if (size - table < 12) return DibStatus::ConversionError;
    for (int i = 0; i < 3; ++i)
      if (!l.channels[i].Set(U32(data + table + 4 * i))) return DibStatus::ConversionError;
    table += 12;
  } else if (l.bits == 16) {
    l.channels[0].Set(0x7C00);
    l.channels[1].Set(0x03E0);
    l.channels[2].Set(0x001F);
  }
  const size_t colours = DibColorCount(h, headerSize);
  if ((size - table) / entryBytes < colours) return DibStatus::ConversionError;
  if (l.bits <= 8) {
    for (size_t i = 0; i < colours && i < 256; ++i) {
      const uint8_t* e = data + table + i * entryBytes;
      l.palette[i][0] = e[2];
      l.palette[i][1] = e[1];
      l.palette[i][2] = e[0];
    }
  }
  if (!havePixelOffset) pixelOffset = table + colours * entryBytes;
  if (pixelOffset > size) return DibStatus::ConversionError;

  // Sides are at most 65535 and bits at most 32, so none of this overflows.
  const uint64_t rowBits = static_cast<uint64_t>(l.width) * l.bits;
  l.rowBytes = static_cast<size_t>((rowBits + 7) / 8);
  l.stride = static_cast<size_t>((rowBits + 31) / 32 * 4);
  const uint64_t needed = uint64_t{l.stride} * static_cast<uint64_t>(l.height - 1) + l.rowBytes;
  if (needed > size - pixelOffset) return DibStatus::ConversionError;
  if (l.width * l.height > kDibMaxPixels) return DibStatus::OutOfMemory;
  l.pixels = data + pixelOffset;

  const size_t outRow = static_cast<size_t>(l.width) * 3;
  uint8_t* pixels = new (std::nothrow) uint8_t[outRow * static_cast<size_t>(l.height)];
  if (pixels == nullptr) return DibStatus::OutOfMemory;
  for (int64_t r = 0; r < l.height; ++r) {
    const int64_t srcRow = l.topDown ? l.height - 1 - r : r;
    ConvertRow(l, l.pixels + static_cast<size_t>(srcRow) * l.stride, pixels + static_cast<size_t>(r) * outRow);
  }
  RgbImage* image = new (std::nothrow) RgbImage;
  if (image == nullptr) {
    delete[] pixels;
    return DibStatus::OutOfMemory;
  }
  image->width = static_cast<int>(l.width);
  image->height = static_cast<int>(l.height);
  image->pixels = pixels;
  *out = image;
  return DibStatus::Ok;
}

void FreeRgbImage(RgbImage* image) {
  if (image == nullptr) return;
  delete[] image->pixels;
  delete image;
}

std::u16string DibErrorText(DibStatus status, const char16_t* path) {
  switch (status) {
    case DibStatus::OpenFailed:
      return u"Failed to open DIB file " + std::u16string(path != nullptr ? path : u"") + u".\n";
    case DibStatus::UnknownFormat: return u"Unknown DIB file format.";
    case DibStatus::OutOfMemory: return u"Out of memory.";
    case DibStatus::ConversionError: return u"Image file conversion error.";
    case DibStatus::Ok: break;
  }
  return std::u16string();
}
