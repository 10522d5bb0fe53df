#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "gl/egl/Offscreen.h"
#include "platform/GLHeaders.h"
#include "model/Timer.h"
#include "scene/AnimString.h"

// Counts heap allocations while g_counting is set (a frame must make none).
// The pair forwards to malloc and free; inlined here, GCC cannot tell they match.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
namespace {
std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};
}  // namespace
void* operator new(std::size_t size) {
  if (g_counting) ++g_allocations;
  if (void* p = std::malloc(size != 0 ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using std::u16string;
using Strings = std::vector<u16string>;
using Ints = std::vector<int>;

struct LineShot {
  Ints breaks;    // b(1) .. b(k)
  Strings words;  // the drawn words
  std::vector<float> alphas;
  int kept = 0;
};
struct FrameShot {
  animtext::FrameBlock block;
  std::vector<LineShot> lines;
};

class AnimStringTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Every glyph one unit wide but 'W' (10); ')' is 0.75 tall.
    for (unsigned c = 0; c < kFontGlyphCount; ++c) metrics_[c].gmfCellIncX = 1.0f;
    metrics_[u'W'].gmfCellIncX = 10.0f;
    metrics_[u')'].gmfBlackBoxY = 0.75f;
  }
  void Lay(const u16string& text) {
    text_ = text;
    s_.Layout(nullptr, metrics_.data(), 1, text_.c_str());
  }
  FrameShot Shoot(float t) {
    FrameShot shot{s_.BeginFrame(t), {}};
    animtext::FrameLine line;
    while (s_.NextLine(&line)) {
      LineShot ls;
      ls.kept = line.kept;
      ls.breaks.assign(line.breaks + 1, line.breaks + line.breakCount + 1);
      for (int j = 0; j < line.drawnWords; ++j) {
        int begin = 0, end = 0;
        animtext::WordRange(line, j, &begin, &end);
        ls.words.emplace_back(line.chars + begin, line.chars + end);
        ls.alphas.push_back(line.alphas[j]);
      }
      shot.lines.push_back(ls);
    }
    return shot;
  }
  std::vector<GlyphMetricsFloat> metrics_ = std::vector<GlyphMetricsFloat>(kFontListCount);
  u16string text_;
  CAnimString s_;
};

u16string Words(int count) {  // six-letter words: "aaaaaa bbbbbb ..."
  u16string s;
  for (int i = 0; i < count; ++i) s += (i > 0 ? u" " : u"") + u16string(6, char16_t(u'a' + i));
  return s;
}

TEST_F(AnimStringTest, WordSlotsFollowSpacesCommasAndFullStops) {
  Lay(u"Allah | God");
  EXPECT_EQ(s_.readingTime, 0.0f);
  EXPECT_EQ(Shoot(4.0f).lines[0].words, (Strings{u"Allah", u" |", u" God", u""}));
  const float starts[] = {0.0f, 1.1f, 2.2f};
  for (int w = 0; w < 3; ++w) {
    EXPECT_EQ(Shoot(starts[w]).lines[0].words.size(), size_t(w)) << w;
    EXPECT_NEAR(Shoot(starts[w] + 0.05f).lines[0].alphas.at(w), 0.05f, 1e-4f) << w;
    EXPECT_LT(Shoot(starts[w] + 0.95f).lines[0].alphas[w], 0.99f) << w;
    EXPECT_NEAR(Shoot(starts[w] + 1.0f).lines[0].alphas[w], 1.0f, 1e-5f) << w;
  }
  Lay(u"Al-Matin | The Firm, The Steadfast");
  const LineShot matin = Shoot(8.5f).lines[0];
  EXPECT_EQ(matin.breaks, (Ints{8, 10, 14, 20, 20, 24, 34}));
  EXPECT_EQ(matin.words, (Strings{u"Al-Matin", u" |", u" The", u" Firm,", u"", u" The", u" Steadfast", u""}));

  Lay(u"God is One.");  // laying out counts the full stop once, drawing twice
  EXPECT_EQ(Ints(s_.breakPositions[1] + 1, s_.breakPositions[1] + 1 + s_.breakCounts[1]), (Ints{3, 6, 11, 11}));
  EXPECT_EQ(Shoot(5.0f).lines[0].breaks, (Ints{3, 6, 11, 11, 11}));
}

TEST_F(AnimStringTest, OneLineFlaresFliesSpinsAndEndsAndLongReadingIsRescaled) {
  Lay(u"Allah | God");
  EXPECT_EQ(Shoot(8.95f).lines[0].alphas[0], 1.0f);
  EXPECT_EQ(Shoot(9.0f).lines[0].alphas, std::vector<float>(4, (12.5f - 9.0f) / 2.5f));  // 1.4
  const FrameShot still = Shoot(10.0f), flying = Shoot(11.0f);
  EXPECT_EQ(still.block.z, 0.0f);
  EXPECT_FALSE(still.block.spinning);
  EXPECT_FLOAT_EQ(flying.block.z, 3.5f);
  EXPECT_FLOAT_EQ(flying.block.spinAngle, 45.0f);
  EXPECT_FALSE(Shoot(12.45f).lines[0].words.empty());
  EXPECT_TRUE(Shoot(12.5f).lines[0].words.empty());
  EXPECT_FALSE(Shoot(15.5f).block.finished);
  EXPECT_TRUE(Shoot(15.55f).block.finished);

  s_.readingTime = 100.0f;
  EXPECT_FALSE(Shoot(50.0f).block.finished);
  EXPECT_EQ(s_.readingTime, 90.0f);
  EXPECT_EQ(s_.slotDelay, 1.0f);
  Shoot(60.0f);
  EXPECT_EQ(s_.slotDelay, 1.0f);
}

TEST_F(AnimStringTest, WrapsBeforeTheWordPastColumn82AndKeepsLongWordsWhole) {
  // Eleven words end at 76; the twelfth would end at 85.
  const u16string text = Words(11) + u" " + u16string(8, u'L') + u" " + u16string(14, u'z');
  ASSERT_EQ(text.size(), 100u);
  Lay(text);
  ASSERT_EQ(s_.lines->count, 2);
  EXPECT_EQ(u16string(s_.lines->first->text), text.substr(0, 76));
  EXPECT_EQ(u16string(s_.lines->last->text), text.substr(77));

  Lay(u"ab " + u16string(200, u'x') + u" cd");
  ASSERT_EQ(s_.lines->count, 3);
  EXPECT_EQ(u16string(s_.lines->first->next->text).size(), 200u);

  Lay(u"\n\nab cd");  // empty segments: nothing is read in front of them
  ASSERT_EQ(s_.lines->count, 3);
  EXPECT_EQ(s_.lines->first->byteLength, 2);
  Lay(u"");
  ASSERT_EQ(s_.lines->count, 1);
  EXPECT_EQ(Shoot(1.0f).lines[0].breaks, Ints{0});
}

TEST_F(AnimStringTest, LastLineIsNeitherMeasuredNorTimedAndCentringMovesHalfway) {
  Lay(Words(11) + u" " + u16string(40, u'W') + u" " + u16string(40, u'W'));
  ASSERT_EQ(s_.lines->count, 2);
  EXPECT_EQ(s_.widestWidth, 76.0f);
  EXPECT_EQ(s_.centringWidth, 76.0f);
  EXPECT_FLOAT_EQ(s_.readingTime, 12 * 1.1f);  // 10 spaces and the line end, plus one

  Lay(u"aaaa bbbb\nWW WW\nx");
  EXPECT_EQ(s_.centringWidth, 9.0f);
  EXPECT_EQ(s_.widestWidth, 41.0f);
  EXPECT_FLOAT_EQ(s_.lineHeight, 1.8f);
  EXPECT_FLOAT_EQ(Shoot(0.1f).block.x, -25.0f / 2.0f);
  Shoot(0.2f);
  EXPECT_FLOAT_EQ(s_.centringWidth, 33.0f);
  const FrameShot shot = Shoot(3.2f);  // line 2 starts in slot 2, line 3 in slot 4
  EXPECT_EQ(shot.lines.at(1).words, Strings{u"WW"});
  EXPECT_TRUE(shot.lines.at(2).words.empty());
}

// Far beyond every table: 400 lines of 80 breaks, a 5000-unit word and
// code units outside the glyph table.
u16string Hostile() {
  u16string t = u"start " + u16string(5000, u'x') + u"\xFFFF\xFEFC ";
  while (t.size() < 400 * 82) t += u16string(40, u',') + u' ';
  return t;
}

TEST_F(AnimStringTest, TextBeyondEveryLimitIsClamped) {
  Lay(Hostile());
  ASSERT_GT(s_.lines->count, animtext::kLineLimit);
  for (float t : {20.0f, 101.0f}) {
    const FrameShot shot = Shoot(t);
    EXPECT_EQ(s_.readingTime, 90.0f);
    ASSERT_EQ(shot.lines.size(), size_t(animtext::kLineLimit));
    EXPECT_EQ(shot.lines[1].kept, animtext::kLineChars);
    // 63 breaks kept, the last at the line end: no character is dropped.
    for (size_t i = 2; i < shot.lines.size(); ++i) {
      ASSERT_EQ(shot.lines[i].breaks.size(), 63u) << i;
      ASSERT_EQ(shot.lines[i].breaks.back(), 81) << i;
    }
  }
  EXPECT_FALSE(animtext::HasGlyph(0xFEFC));
  EXPECT_EQ(animtext::GlyphWidth(metrics_.data(), 0xFFFF), 0.0f);
}

int64_t g_now = 0;  // milliseconds
const ClockSource kClock{[] { return g_now; }, [] { return int64_t{1000}; }};

// The GL part, in a real context: balanced stacks, white left for the
// model, lists called only in the reserved range, no allocation, the end
// at the first frame after T + 15.5.
TEST_F(AnimStringTest, DrawIsBalancedAllocatesNothingAndEnds) {
  OffscreenGl gl(32, 32);
  ASSERT_TRUE(gl.ready()) << "no surfaceless EGL context";
  const GLuint base = glGenLists(65536);
  glNewList(base + u'A', GL_COMPILE);
  glEnable(GL_LINE_STIPPLE);
  glEndList();
  glNewList(base + 0xFFFF, GL_COMPILE);
  glEnable(GL_FOG);
  glEndList();
  SetClockSource(&kClock);
  g_now = 0;
  auto* s = new CAnimString;
  const u16string text = u"A \xFFFF A, A. " + Hostile();
  s->Layout(nullptr, metrics_.data(), base, text.c_str());
  s->readingTime = 0.0f;  // one entry's timeline, with every line drawn
  int frames = 0;
  for (; s->active; g_now += 50, ++frames) {
    g_counting = true;
    const int drawn = s->Draw();
    g_counting = false;
    ASSERT_EQ(drawn, g_now <= 15500 ? 1 : 0) << g_now;
    GLint depth = 0, attribs = 0;
    GLfloat colour[4] = {};
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    glGetIntegerv(GL_ATTRIB_STACK_DEPTH, &attribs);
    glGetFloatv(GL_CURRENT_COLOR, colour);
    ASSERT_EQ(depth, 1) << g_now;
    ASSERT_EQ(attribs, 0) << g_now;
    ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR)) << g_now;
    ASSERT_EQ(colour[1], 1.0f) << g_now;
  }
  EXPECT_EQ(g_allocations.load(), 0);
  EXPECT_EQ(frames, 312);  // 0 .. 15.55 s
  EXPECT_TRUE(glIsEnabled(GL_LINE_STIPPLE));
  EXPECT_FALSE(glIsEnabled(GL_FOG));
  delete s;
  glDeleteLists(base, 65536);
  SetClockSource(nullptr);
}

}  // namespace
