#include <gtest/gtest.h>

#include <string>

#include "settings/VersionInfo.h"

namespace {

struct Parsed {
  int32_t v[5] = {-7, -7, -7, -7, -7};  // v[4] guards against a fifth store
};

Parsed Parse(const char16_t* s) {
  Parsed p;
  ParseFileVersion(s, p.v);
  return p;
}

}  // namespace

TEST(VersionParse, CommaAndOneSpaceBetweenNumbers) {
  struct Case {
    const char16_t* text;
    int32_t want[4];
  };
  const Case cases[] = {
      {u"1, 0, 0, 10", {1, 0, 0, 10}},
      // Each later number is read from the second character after its comma.
      {u"1,2,3,45", {1, 0, 0, 5}},
      {u"2, 3, 4, 5, 6", {2, 3, 4, 5}},
      {u" 7, -3, x, 9", {7, -3, 0, 9}},
      {u"12", {12, -7, -7, -7}},
      {u"", {0, -7, -7, -7}},
      // A comma at the very end: the next number would start past the
      // terminator; it reads as 0 instead of reading beyond the text.
      {u"1,", {1, 0, -7, -7}},
      {u"1, 2,", {1, 2, 0, -7}},
  };
  for (const Case& c : cases) {
    const Parsed p = Parse(c.text);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(p.v[i], c.want[i]) << "element " << i;
    EXPECT_EQ(p.v[4], -7) << "only four numbers are stored";
  }
}

TEST(VersionInfoRecord, TitleFromTheOwnVersionResource) {
  VersionInfo info;
  char16_t title[256];
  EXPECT_EQ(BuildTitle(&info, title), 1);
  EXPECT_EQ(std::u16string(title), u"Lumiscript 1.0.0.10");
  EXPECT_EQ(std::u16string(info.productName), u"Lumiscript");
  EXPECT_EQ(std::u16string(info.fileVersion), u"1, 0, 0, 10");
  EXPECT_EQ(std::u16string(info.languageName), u"Language Neutral");
  EXPECT_EQ(info.version[3], 10);
  // Reading again replaces the copies instead of leaking or doubling them.
  EXPECT_EQ(ReadVersionInfo(&info), 1);
  EXPECT_EQ(std::u16string(info.fileVersion), u"1, 0, 0, 10");
  EXPECT_EQ(ReadVersionInfo(nullptr), 0);
}
