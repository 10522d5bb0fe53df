#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Timer.h"
#include "scene/AnimString.h"
#include "scene/AnimTiming.h"

namespace {

using animtext::FitScale;
using animtext::kFitLimit;

// The scene's projection and camera for a window of this aspect.
struct View {
  GLdouble modelview[16], projection[16];
  GLfloat modelviewF[16], projectionF[16];
  GLint viewport[4] = {0, 0, 1000, 1000};
};

View SceneView(double aspect) {
  View v;
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(45.0, aspect, static_cast<double>(0.1f), 50.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  gluLookAt(0.0356, 0.0, 23.0, 0.0, -1.8, -17.0, 0.0, 1.0, 0.0);
  glGetDoublev(GL_MODELVIEW_MATRIX, v.modelview);
  glGetDoublev(GL_PROJECTION_MATRIX, v.projection);
  glGetFloatv(GL_MODELVIEW_MATRIX, v.modelviewF);
  glGetFloatv(GL_PROJECTION_MATRIX, v.projectionF);
  return v;
}

// Normalised device x of a point of the text's frame.
double DeviceX(const View& v, double x, double y) {
  GLdouble wx = 0, wy = 0, wz = 0;
  gluProject(x, y, 0.0, v.modelview, v.projection, v.viewport, &wx, &wy, &wz);
  return wx / 500.0 - 1.0;
}

constexpr float kLineY = -6.0f - 1.8f;

// The fit of a row of this width centred on x = 0.
float Centred(const float* modelview, const float* projection, float width, float y, float limit) {
  return FitScale(modelview, projection, -width / 2, width / 2, y, 0.0f, limit);
}

TEST(TextFit, WideLinesShrinkToTheMarginAndNarrowOnesStayWhole) {
  OffscreenGl gl(8, 8);
  ASSERT_TRUE(gl.ready()) << "no surfaceless EGL context";
  for (double aspect : {4.0 / 3.0, 16.0 / 9.0, 2560.0 / 1080.0}) {
    SCOPED_TRACE(aspect);
    const View v = SceneView(aspect);
    // Exactly 1 for a line well inside the view: drawn as it always was.
    EXPECT_EQ(Centred(v.modelviewF, v.projectionF, 10.0f, kLineY, kFitLimit), 1.0f);
    for (float width : {60.0f, 200.0f}) {
      const float s = Centred(v.modelviewF, v.projectionF, width, kLineY, kFitLimit);
      ASSERT_LT(s, 1.0f);
      // The nearer end (the camera sits a little right of the centre) just
      // touches the margin; the other stays inside it.
      const double left = DeviceX(v, -width * s / 2, kLineY);
      const double right = DeviceX(v, width * s / 2, kLineY);
      EXPECT_NEAR(std::max(-left, right), kFitLimit, 1e-4);
      EXPECT_GE(left, -kFitLimit - 1e-4);
      EXPECT_LE(right, kFitLimit + 1e-4);
    }
  }
}

TEST(TextFit, FollowsTheWindowsAspect) {
  OffscreenGl gl(8, 8);
  ASSERT_TRUE(gl.ready()) << "no surfaceless EGL context";
  const View square = SceneView(1.0);
  const View wide = SceneView(2.0);
  const float narrowScale = Centred(square.modelviewF, square.projectionF, 80.0f, kLineY, kFitLimit);
  const float wideScale = Centred(wide.modelviewF, wide.projectionF, 80.0f, kLineY, kFitLimit);
  EXPECT_NEAR(wideScale / narrowScale, 2.0, 0.01);
  // A line that fits the wide view is not touched there, but is in the square one.
  const float width = 80.0f * wideScale;
  EXPECT_EQ(Centred(wide.modelviewF, wide.projectionF, width * 0.99f, kLineY, kFitLimit), 1.0f);
  EXPECT_LT(Centred(square.modelviewF, square.projectionF, width * 0.99f, kLineY, kFitLimit), 0.6f);
}

TEST(TextFit, NothingToFitOrNoSensibleViewLeavesTheScaleAlone) {
  const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  // Orthographic identity: the view spans -1 .. 1.
  EXPECT_NEAR(Centred(identity, identity, 4.0f, 0.0f, 0.5f), 0.25f, 1e-6);
  // Off centre, the end farther out decides.
  EXPECT_NEAR(FitScale(identity, identity, -1.0f, 4.0f, 0.0f, 0.0f, 0.5f), 0.125f, 1e-6);
  EXPECT_NEAR(FitScale(identity, identity, -4.0f, 0.2f, 0.0f, 0.0f, 0.5f), 0.125f, 1e-6);
  EXPECT_EQ(Centred(identity, identity, 0.0f, 0.0f, 0.5f), 1.0f);
  EXPECT_EQ(Centred(identity, identity, -3.0f, 0.0f, 0.5f), 1.0f);
  // A line behind the eye (clip w negative everywhere) is not scaled.
  float behind[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, -1};
  EXPECT_EQ(Centred(identity, behind, 100.0f, 0.0f, 0.5f), 1.0f);
}

int64_t g_now = 0;  // milliseconds
const ClockSource kClock{[] { return g_now; }, [] { return int64_t{1000}; }};

// Columns of the viewport's rows that hold any lit pixel: first and last.
std::pair<int, int> LitColumns(const std::vector<uint8_t>& rgb, int width, int x0, int x1) {
  int first = -1, last = -1;
  for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
    const int x = static_cast<int>((i / 3) % static_cast<size_t>(width));
    if (x < x0 || x >= x1 || rgb[i] + rgb[i + 1] + rgb[i + 2] == 0) continue;
    if (first < 0 || x < first) first = x;
    if (x > last) last = x;
  }
  return {first, last};
}

// Glyph 'a': a unit square, then the advance; 'i' draws nothing and
// advances a tenth.
struct SquareFont {
  SquareFont() : metrics(kFontListCount), base(glGenLists(kFontListCount)) {
    metrics[u'a'].gmfCellIncX = 1.0f;
    metrics[u'i'].gmfCellIncX = 0.1f;
    metrics[u')'].gmfBlackBoxY = 0.75f;
    glNewList(base + u'a', GL_COMPILE);
    glBegin(GL_QUADS);
    glVertex2f(0.0f, 0.0f);
    glVertex2f(1.0f, 0.0f);
    glVertex2f(1.0f, 1.0f);
    glVertex2f(0.0f, 1.0f);
    glEnd();
    glTranslatef(1.0f, 0.0f, 0.0f);
    glEndList();
    SetClockSource(&kClock);
    g_now = 0;
  }
  ~SquareFont() {
    SetClockSource(nullptr);
    glDeleteLists(base, kFontListCount);
  }
  std::vector<GlyphMetricsFloat> metrics;
  const GLuint base;
};

// Draws the row's next frame into the left `width` columns of a 300x100
// buffer (the window's shape then) and checks that it reaches about the
// margin, not beyond it: at both ends when it is centred, else at the end
// farther out.
void ExpectFittedFrame(OffscreenGl& gl, CAnimString& row, int width, int64_t advance, bool centred) {
  SCOPED_TRACE(width);
  glViewport(0, 0, width, 100);
  const View v = SceneView(width / 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadMatrixd(v.modelview);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  g_now += advance;
  ASSERT_EQ(row.Draw(), 1);
  const auto [first, last] = LitColumns(gl.ReadRgb(), 300, 0, width);
  ASSERT_GE(first, 0) << "nothing drawn";
  EXPECT_GE(first, width / 100);
  EXPECT_LE(last, width - 1 - width / 100);
  const bool leftReached = first <= width * 6 / 100;
  const bool rightReached = last >= width - 1 - width * 6 / 100;
  EXPECT_TRUE(centred ? leftReached && rightReached : leftReached || rightReached) << first << ".." << last;
}

// Each frame fits the row to the projection it is drawn with: the window's
// shape when the frame is drawn, not when the row was laid out.
TEST(TextFit, EachFrameFitsTheRowToTheCurrentProjection) {
  OffscreenGl gl(300, 100);
  ASSERT_TRUE(gl.ready()) << "no surfaceless EGL context";
  SquareFont font;
  // 60 squares are one word and one line, wider than the view at either shape.
  const std::u16string text(60, u'a');
  CAnimString row;
  row.Layout(nullptr, font.metrics.data(), font.base, text.c_str());
  row.Draw();  // starts the row's clock
  ExpectFittedFrame(gl, row, 300, 600, true);  // 3:1, the word at more than half strength
  ExpectFittedFrame(gl, row, 100, 600, true);  // resized to 1:1
}

// A wrapped text whose last line is the widest, as a long face's is.
TEST(TextFit, TheLastLineOfAWrappedTextIsFittedToo) {
  OffscreenGl gl(300, 100);
  ASSERT_TRUE(gl.ready()) << "no surfaceless EGL context";
  SquareFont font;
  const std::u16string text = std::u16string(80, u'i') + u' ' + std::u16string(60, u'a');
  CAnimString row;
  row.Layout(nullptr, font.metrics.data(), font.base, text.c_str());
  ASSERT_EQ(row.lines->count, 2);
  row.Draw();
  ExpectFittedFrame(gl, row, 300, 1700, false);  // the second line's word shown too
}

}  // namespace
