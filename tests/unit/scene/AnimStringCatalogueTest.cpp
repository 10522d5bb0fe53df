#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "content/ContentList.h"
#include "platform/Text.h"
#include "scene/AnimString.h"
#include "scene/FontLists.h"

namespace {

// Every catalogue row, in the face the build finds for the default font,
// is one line (so T = 0) and every code unit of it has an outline.
TEST(AnimStringCatalogueTest, EveryRowOfBothTablesIsOneLineWithRealGlyphs) {
  std::vector<GlyphMetricsFloat> metrics(kFontListCount);
  char face[1024] = {};
  ASSERT_TRUE(ComputeGlyphMetrics(u"Georgia", metrics.data(), face, sizeof face));
  float widest = 0.0f;
  for (const char16_t* const* table : {kEnglishRows, kRussianRows}) {
    for (int row = 0; row < kCatalogueRows; ++row) {
      CAnimString s;
      s.Layout(nullptr, metrics.data(), 1, table[row]);
      const std::string utf8 = text::ToUtf8(table[row]);
      ASSERT_EQ(s.lines->count, 1) << utf8;
      EXPECT_EQ(s.readingTime, 0.0f) << utf8;
      EXPECT_EQ(s.centringWidth, s.widestWidth) << utf8;
      for (const char16_t* p = table[row]; *p != u'\0'; ++p) {
        ASSERT_GT(metrics[*p].gmfCellIncX, 0.0f) << utf8 << " lacks U+" << std::hex << int(*p);
      }
      if (s.widestWidth > widest) widest = s.widestWidth;
    }
  }
  std::printf("face %s: widest catalogue line %.2f em\n", face, widest);
}

}  // namespace
