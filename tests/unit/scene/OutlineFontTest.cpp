#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "gl/egl/Offscreen.h"
#include "hub/Application.h"
#include "platform/GLHeaders.h"
#include "platform/Text.h"
#include "scene/FontLists.h"

namespace {

std::vector<GlyphMetricsFloat> Metrics(const char16_t* face, std::string* path = nullptr) {
  std::vector<GlyphMetricsFloat> m(kFontListCount);
  char resolved[1024];
  EXPECT_TRUE(ComputeGlyphMetrics(face, m.data(), resolved, sizeof resolved)) << text::ToUtf8(face);
  if (path != nullptr) *path = resolved;
  return m;
}

TEST(GlyphMetricsTest, OutlinesAreInEmUnitsWithAdvancesAndInkBoxes) {
  std::string path;
  const auto m = Metrics(u"Georgia", &path);
  EXPECT_FALSE(path.empty());
  const GlyphMetricsFloat& space = m[u' '];
  EXPECT_GT(space.gmfCellIncX, 0.1f);
  EXPECT_LT(space.gmfCellIncX, 0.6f);
  EXPECT_FLOAT_EQ(space.gmfCellIncY, 0.0f);

  const GlyphMetricsFloat& a = m[u'A'];
  EXPECT_GT(a.gmfBlackBoxX, 0.3f);
  // Capitals are most of an em tall and stand on the base line.
  EXPECT_GT(a.gmfBlackBoxY, 0.5f);
  EXPECT_LT(a.gmfBlackBoxY, 1.0f);
  EXPECT_NEAR(a.gmfptGlyphOrigin.y, a.gmfBlackBoxY, 0.02f);
  EXPECT_GE(a.gmfCellIncX, a.gmfBlackBoxX * 0.9f);

  EXPECT_GT(m[u')'].gmfBlackBoxY, m[u'A'].gmfBlackBoxY) << "brackets reach below the base line";
  EXPECT_GT(m[u'W'].gmfCellIncX, m[u'i'].gmfCellIncX);
  // The Russian rows need Cyrillic outlines.
  EXPECT_GT(m[u'Ж'].gmfBlackBoxX, 0.0f);
  EXPECT_GT(m[u'я'].gmfCellIncX, 0.0f);

  for (unsigned code = 0; code < kFontGlyphCount; ++code) {
    const GlyphMetricsFloat& g = m[code];
    ASSERT_TRUE(std::isfinite(g.gmfCellIncX) && std::isfinite(g.gmfBlackBoxX) && std::isfinite(g.gmfBlackBoxY))
        << code;
    ASSERT_GE(g.gmfBlackBoxX, 0.0f) << code;
    ASSERT_LT(g.gmfCellIncX, 4.0f) << code;
  }
  // 1182 is the last code point filled; nothing after it.
  for (unsigned code = kFontGlyphCount; code < kFontListCount; code += 97) {
    EXPECT_EQ(m[code].gmfCellIncX, 0.0f) << code;
  }
}

TEST(GlyphMetricsTest, AnUnknownFaceIsSubstituted) {
  const auto m = Metrics(u"No Such Face Lumiscript");
  EXPECT_GT(m[u'A'].gmfBlackBoxX, 0.0f);
  const auto null = Metrics(u"NULL");  // a settings file without Font
  EXPECT_GT(null[u'A'].gmfCellIncX, 0.0f);
}

class OutlineListsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(gl_.ready()) << "no surfaceless EGL context";
    text::Copy(app_.font, 85, u"Georgia");
    base_ = glGenLists(static_cast<GLsizei>(kFontListCount));
    ASSERT_NE(base_, 0u);
    ASSERT_TRUE(BuildOutlineFontLists(&app_, base_, metrics_.data()));
  }

  // Lit pixels after drawing `code`'s list with back faces culled, the em
  // square filling the target.
  int DrawAndCount(char16_t code) {
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-0.1, 1.1, -0.3, 0.9, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glColor3f(1, 1, 1);
    glCallList(base_ + code);
    const auto rgb = gl_.ReadRgb();
    int lit = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) lit += rgb[i] > 128;
    return lit;
  }

  OffscreenGl gl_{128, 128};
  CApplication app_;
  std::vector<GlyphMetricsFloat> metrics_ = std::vector<GlyphMetricsFloat>(kFontListCount);
  GLuint base_ = 0;
};

TEST_F(OutlineListsTest, ListsDrawFrontFacingGlyphsAndAdvanceByTheirWidth) {
  const auto pure = Metrics(u"Georgia");
  EXPECT_EQ(std::memcmp(&pure[u'A'], &metrics_[u'A'], sizeof(GlyphMetricsFloat)), 0);

  const int a = DrawAndCount(u'A');
  EXPECT_GT(a, 500) << "the glyph faces away from the viewer or is empty";
  EXPECT_LT(a, 128 * 128 / 2) << "counters (holes) must stay open";
  EXPECT_GT(DrawAndCount(u'Ж'), 500);
  EXPECT_EQ(DrawAndCount(u' '), 0);

  // Each list leaves the matrix moved by the glyph's advance.
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glCallList(base_ + u'W');
  glCallList(base_ + u'i');
  GLfloat m[16] = {};
  glGetFloatv(GL_MODELVIEW_MATRIX, m);
  EXPECT_NEAR(m[12], metrics_[u'W'].gmfCellIncX + metrics_[u'i'].gmfCellIncX, 1e-5);
  EXPECT_FLOAT_EQ(m[13], 0.0f);

  GLfloat normal[4] = {};
  glNormal3f(1, 0, 0);
  glCallList(base_ + u'A');
  glGetFloatv(GL_CURRENT_NORMAL, normal);
  EXPECT_FLOAT_EQ(normal[2], 1.0f);

  EXPECT_EQ(DrawAndCount(static_cast<char16_t>(1183)), 0) << "nothing past 1182";
  EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(OutlineListsTest, HolesOfTheGlyphStayEmpty) {
  // 'O' drawn large: its centre is the counter, its sides are ink.
  glClearColor(0, 0, 0, 0);
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  const GlyphMetricsFloat& o = metrics_[u'O'];
  glOrtho(o.gmfptGlyphOrigin.x, o.gmfptGlyphOrigin.x + o.gmfBlackBoxX, o.gmfptGlyphOrigin.y - o.gmfBlackBoxY,
          o.gmfptGlyphOrigin.y, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glDisable(GL_CULL_FACE);
  glColor3f(1, 1, 1);
  glCallList(base_ + u'O');
  const auto rgb = gl_.ReadRgb();
  auto at = [&rgb](int x, int y) { return rgb[(static_cast<size_t>(y) * 128 + static_cast<size_t>(x)) * 3]; };
  EXPECT_LT(at(64, 64), 64) << "counter filled";
  EXPECT_GT(at(2, 64), 128) << "left stroke missing";
  EXPECT_GT(at(125, 64), 128) << "right stroke missing";
}

}  // namespace
