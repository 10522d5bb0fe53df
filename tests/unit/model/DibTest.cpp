#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "Builders.h"
#include "model/Dib.h"
#include "model/Texture.h"
#include "platform/Text.h"

namespace {

struct Decoded {
  DibStatus status;
  Bytes rgb;
  int width = 0, height = 0;
};

Decoded Decode(const Bytes& file) {
  // An exactly sized heap copy, so a read past the end is a real overrun.
  std::unique_ptr<uint8_t[]> copy(new uint8_t[file.size() + 1]);
  if (!file.empty()) std::memcpy(copy.get(), file.data(), file.size());
  RgbImage* image = nullptr;
  Decoded d{DecodeDib(copy.get(), file.size(), &image), {}};
  if (image != nullptr) {
    d.width = image->width;
    d.height = image->height;
    d.rgb.assign(image->pixels, image->pixels + size_t(image->width) * image->height * 3);
    FreeRgbImage(image);
  }
  EXPECT_EQ(d.status == DibStatus::Ok, !d.rgb.empty());
  return d;
}

// 3x3, 24 bits, bottom-up: each row 9 bytes of blue-green-red and 3 of padding.
Bytes ThreeByThree() {
  Bytes pixels;
  for (int r = 0; r < 3; ++r) {
    for (int x = 0; x < 3; ++x) {
      const uint8_t red = uint8_t(10 * r + x + 1);
      pixels.insert(pixels.end(), {uint8_t(200 + red), uint8_t(100 + red), red});
    }
    pixels.insert(pixels.end(), {0xAA, 0xAA, 0xAA});
  }
  return BmpFile(InfoHeader(3, 3, 24), {}, pixels);
}

std::string WriteTemp(const std::string& name, const Bytes& data) {
  const std::string path = TestFileDir() + name;
  FILE* f = std::fopen(path.c_str(), "wb");
  if (f != nullptr) {
    if (!data.empty()) std::fwrite(data.data(), 1, data.size(), f);
    std::fclose(f);
  }
  return path;
}

}  // namespace

TEST(DibReader, TwentyFourBitsRedFirstFileRowOrder) {
  Decoded d = Decode(ThreeByThree());
  ASSERT_EQ(DibStatus::Ok, d.status);
  EXPECT_EQ(3, d.width);
  EXPECT_EQ(3, d.height);
  const Bytes expected{1,  101, 201, 2,  102, 202, 3,  103, 203,
                       11, 111, 211, 12, 112, 212, 13, 113, 213,
                       21, 121, 221, 22, 122, 222, 23, 123, 223};
  EXPECT_EQ(expected, d.rgb);
}

TEST(DibReader, EightBitTableSizeFollowsColoursUsed) {
  // No file header: the pixels follow the table, whose size decides where.
  Bytes table256, table20;
  for (int i = 0; i < 256; ++i) {
    Bytes& t = table256;
    t.insert(t.end(), {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i), 0});
    if (i < 20) table20.insert(table20.end(), {uint8_t(i), uint8_t(i / 2), uint8_t(255 - i), 0});
  }
  const Bytes info256 = InfoHeader(2, 1, 8, 0, 0);
  EXPECT_EQ(256, DibColorCount(info256.data(), info256.size()));
  Decoded a = Decode(Cat({info256, table256, Bytes{255, 1, 0, 0}}));
  ASSERT_EQ(DibStatus::Ok, a.status);
  EXPECT_EQ((Bytes{0, 127, 255, 254, 0, 1}), a.rgb);

  const Bytes info20 = InfoHeader(2, 1, 8, 0, 20);
  EXPECT_EQ(20, DibColorCount(info20.data(), info20.size()));
  Decoded b = Decode(Cat({info20, table20, Bytes{19, 3, 0, 0}}));
  ASSERT_EQ(DibStatus::Ok, b.status);
  EXPECT_EQ((Bytes{236, 9, 19, 252, 1, 3}), b.rgb);

  // An index past a 20-entry table reads as black.
  Decoded c = Decode(Cat({info20, table20, Bytes{200, 0, 0, 0}}));
  EXPECT_EQ((Bytes{0, 0, 0, 255, 0, 0}), c.rgb);
}

TEST(DibReader, OneBitCoreHeaderWithoutFileHeader) {
  Bytes file;
  Put32(file, 12);
  Put16(file, 8);
  Put16(file, 2);
  Put16(file, 1);
  Put16(file, 1);
  file.insert(file.end(), {1, 2, 3, 4, 5, 6});  // two RGBTRIPLEs, blue first
  ASSERT_EQ(18u, file.size());
  EXPECT_EQ(2, DibColorCount(file.data(), file.size()));
  file.insert(file.end(), {0xA0, 0, 0, 0, 0xFF});  // row 0 padded, row 1 not
  Decoded d = Decode(file);
  ASSERT_EQ(DibStatus::Ok, d.status);
  const Bytes one{6, 5, 4}, zero{3, 2, 1};
  EXPECT_EQ(Cat({one, zero, one, zero, zero, zero, zero, zero, one, one, one, one, one, one, one, one}), d.rgb);
}

TEST(DibReader, OtherDepthsAndTopDown) {
  Bytes table16;
  for (int i = 0; i < 16; ++i) table16.insert(table16.end(), {0, 0, uint8_t(i * 10), 0});
  EXPECT_EQ((Bytes{10, 0, 0, 20, 0, 0, 30, 0, 0}),
            Decode(BmpFile(InfoHeader(3, 1, 4), table16, {0x12, 0x30, 0, 0})).rgb);

  // 5-5-5 by default; 5-6-5 through BI_BITFIELDS masks.
  EXPECT_EQ((Bytes{255, 0, 0, 0, 255, 0, 0, 0, 132}),
            Decode(BmpFile(InfoHeader(3, 1, 16), {}, {0x00, 0x7C, 0xE0, 0x03, 0x10, 0x00, 0, 0})).rgb);
  Bytes masks;
  for (uint32_t m : {0xF800u, 0x07E0u, 0x001Fu}) Put32(masks, m);
  EXPECT_EQ((Bytes{0, 255, 0, 0, 130, 0}),
            Decode(BmpFile(InfoHeader(2, 1, 16, 3), masks, {0xE0, 0x07, 0x00, 0x04})).rgb);

  EXPECT_EQ((Bytes{30, 20, 10}), Decode(BmpFile(InfoHeader(1, 1, 32), {}, {10, 20, 30, 99})).rgb);

  // Top-down (negative height): turned so the bottom row comes first.
  Decoded t = Decode(BmpFile(InfoHeader(1, -2, 24), {}, {0, 0, 255, 0, 255, 0, 0, 0}));
  EXPECT_EQ(2, t.height);
  EXPECT_EQ((Bytes{0, 0, 255, 255, 0, 0}), t.rgb);
}

TEST(DibReader, RefusedFiles) {
  for (uint32_t size : {108u, 124u, 64u}) {
    SCOPED_TRACE(size);
    const Bytes info = InfoHeader(1, 1, 24, 0, 0, size);
    EXPECT_EQ(DibStatus::UnknownFormat, Decode(BmpFile(info, {}, {1, 2, 3, 0})).status);
    EXPECT_EQ(DibStatus::UnknownFormat, Decode(Cat({info, Bytes{1, 2, 3, 0}})).status);
  }
  EXPECT_EQ(DibStatus::OpenFailed, Decode({}).status);
  // Run-length compression, a bit count without a meaning, absurd sizes.
  Bytes table(1024, 0);
  EXPECT_EQ(DibStatus::ConversionError, Decode(BmpFile(InfoHeader(1, 1, 8, 1), table, {0, 1, 5, 0})).status);
  EXPECT_EQ(DibStatus::ConversionError, Decode(BmpFile(InfoHeader(1, 1, 7), {}, {0, 0, 0, 0})).status);
  EXPECT_EQ(DibStatus::ConversionError, Decode(BmpFile(InfoHeader(0, 1, 24), {}, {0, 0, 0, 0})).status);
  EXPECT_EQ(DibStatus::ConversionError, Decode(BmpFile(InfoHeader(1, 0, 24), {}, {0, 0, 0, 0})).status);
  EXPECT_EQ(DibStatus::ConversionError,
            Decode(BmpFile(InfoHeader(0x7FFFFFFF, 0x7FFFFFFF, 32), {}, {0, 0, 0, 0})).status);
  EXPECT_EQ(DibStatus::ConversionError,
            Decode(BmpFile(InfoHeader(1, int32_t(0x80000000), 32), {}, {0, 0, 0, 0})).status);
  Bytes farOffset = ThreeByThree();
  farOffset[10] = 0xFF;
  EXPECT_EQ(DibStatus::ConversionError, Decode(farOffset).status);
}

TEST(DibReader, TruncatedFilesAreRefusedWithoutOverrun) {
  const Bytes full = ThreeByThree();
  const size_t lastRowUnpadded = full.size() - 3;  // the final padding may be absent
  for (size_t cut = 1; cut < lastRowUnpadded; ++cut) {
    SCOPED_TRACE(cut);
    const DibStatus s = Decode(Bytes(full.begin(), full.begin() + cut)).status;
    EXPECT_EQ(cut < 54 ? DibStatus::UnknownFormat : DibStatus::ConversionError, s);
  }
  EXPECT_EQ(DibStatus::Ok, Decode(Bytes(full.begin(), full.begin() + lastRowUnpadded)).status);
  // A colour table cut short, without a file header.
  EXPECT_EQ(DibStatus::ConversionError, Decode(Cat({InfoHeader(1, 1, 8, 0, 20), Bytes(70, 0)})).status);
}

TEST(DibReader, BitfieldMasksMustLieInsideTheFile) {
  // 1x1, 32 bits: the masks would start at the pixel and run 8 bytes past
  // the file's length, into bytes the caller holds but the file does not.
  Bytes held = BmpFile(InfoHeader(1, 1, 32, 3), {}, {0x00, 0x00, 0xFF, 0x00});
  const size_t fileSize = held.size();
  for (uint32_t m : {0xFF00u, 0xFFu}) Put32(held, m);
  RgbImage* image = nullptr;
  EXPECT_EQ(DibStatus::ConversionError, DecodeDib(held.data(), fileSize, &image));
  FreeRgbImage(image);
}

TEST(DibReader, MessagesGoToTheUserExceptForAMissingFile) {
  EXPECT_EQ(u"Failed to open DIB file C:\\data\\01.bmp.\n", DibErrorText(DibStatus::OpenFailed, u"C:\\data\\01.bmp"));
  EXPECT_EQ(u"Unknown DIB file format.", DibErrorText(DibStatus::UnknownFormat, nullptr));
  EXPECT_EQ(u"Out of memory.", DibErrorText(DibStatus::OutOfMemory, nullptr));
  EXPECT_EQ(u"Image file conversion error.", DibErrorText(DibStatus::ConversionError, nullptr));

  const std::string empty = WriteTemp("dib_empty.bmp", {});
  const std::u16string empty16 = text::FromUtf8(empty);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, LoadDibImage(empty16.c_str()));
  TextureInfo info;
  LoadTexture(empty16.c_str(), &info);  // passes the probe, then fails
  const std::string shown = ::testing::internal::GetCapturedStderr();
  const std::string message = "Failed to open DIB file " + empty + ".";
  const size_t first = shown.find(message);
  ASSERT_NE(std::string::npos, first) << shown;
  EXPECT_NE(std::string::npos, shown.find(message, first + 1)) << shown;
  EXPECT_EQ(0u, info.textureName);
  EXPECT_EQ(0, info.width);
  std::remove(empty.c_str());

  const std::string header108 = WriteTemp("dib_108.bmp", BmpFile(InfoHeader(1, 1, 24, 0, 0, 108), {}, {0, 0, 0, 0}));
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(nullptr, LoadDibImage(text::FromUtf8(header108).c_str()));
  EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("Unknown DIB file format."));
  std::remove(header108.c_str());

  ::testing::internal::CaptureStderr();
  LoadTexture(text::FromUtf8(TestFileDir() + "no_such_bitmap.bmp").c_str(), &info);
  LoadTexture(nullptr, &info);
  EXPECT_EQ("", ::testing::internal::GetCapturedStderr());
  EXPECT_EQ(0u, info.textureName);
}
