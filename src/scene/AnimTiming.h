#pragma once
// Timing, break rules and measurement of the animated text line. Free of GL
// so that a frame can be computed and checked without a context.
#include <climits>
#include <cmath>

#include "scene/GlyphMetrics.h"

namespace animtext {

inline constexpr int kWrapColumns = 82;   // characters per wrapped line, about
inline constexpr int kLineLimit = 319;    // lines 1..319 are laid out and drawn
inline constexpr int kBreakLimit = 63;    // break positions 1..63 per line
inline constexpr int kLineChars = 1024;   // characters of one line that are drawn

inline constexpr float kSlotDelay = 1.1f;
inline constexpr float kRevealRate = 2000.0f;  // characters per second
inline constexpr float kFadeLength = 2.5f;
inline constexpr float kMaxReadingTime = 90.0f;
inline constexpr float kFlareAt = 9.0f;    // seconds after the reading time T
inline constexpr float kFlightAt = 10.0f;
inline constexpr float kFadedAt = 12.5f;
inline constexpr float kEndAt = 15.5f;
inline constexpr float kFlightSpeed = 3.5f;  // units per second toward the viewer
inline constexpr float kSpinRate = 45.0f;    // degrees per second
inline constexpr float kLineHeightFactor = 2.4f;
inline constexpr float kVerticalOffset = -6.0f;
inline constexpr float kColour[3] = {1.0f, 0.752f, 0.255f};
// A line scaled to fit spans at most this much of the normalised device x
// range on either side of the centre: a margin of 3% of the width each side.
inline constexpr float kFitLimit = 0.94f;

// A reading time above 90 s is cut to 90 s once, spreading the same number
// of slots over it; afterwards T is exactly 90 and nothing changes.
inline void RescaleReadingTime(float& readingTime, float& slotDelay) {
  if (!(readingTime > kMaxReadingTime) || !(slotDelay > 0.0f)) return;
  const double slots = static_cast<double>(readingTime) / slotDelay;
  const int n = slots >= INT_MAX ? INT_MAX : (slots < 1.0 ? 1 : static_cast<int>(slots));
  readingTime = kMaxReadingTime;
  slotDelay = kMaxReadingTime / static_cast<float>(n);
}

inline bool IsFinished(float t, float readingTime) { return t > readingTime + kEndAt; }
inline bool IsFlying(float t, float readingTime) { return t > readingTime + kFlightAt; }

inline float FlightDepth(float t, float readingTime) {
  return IsFlying(t, readingTime) ? kFlightSpeed * (t - readingTime - kFlightAt) : 0.0f;
}

inline float SpinAngle(float t, float readingTime) {
  return IsFlying(t, readingTime) ? (t - readingTime - kFlightAt) * kSpinRate : 0.0f;
}

// Alpha of word slot `slot`: a one-second fade-in from slot × d, then, from
// T + 9, the common fade-out that starts at 1.4 (deliberately not clamped:
// the flare) and crosses 0 at T + 12.5.
inline float WordAlpha(float t, float readingTime, float slotDelay, int slot) {
  if (t >= readingTime + kFlareAt) return (readingTime + kFadedAt - t) / kFadeLength;
  const float alpha = t - static_cast<float>(slot) * slotDelay;
  return alpha < 0.0f ? 0.0f : (alpha > 1.0f ? 1.0f : alpha);
}

// Characters revealed so far: those whose running index is at most this.
inline int RevealedIndex(float t, float revealRate) {
  const double n = std::floor(static_cast<double>(t) * revealRate);
  if (!(n >= 0.0)) return 0;
  return n >= INT_MAX ? INT_MAX : static_cast<int>(n);
}

// Code units from kFontListCount up have neither metrics nor a reserved
// display list; they are skipped.
inline bool HasGlyph(char16_t ch) { return ch < kFontListCount; }

inline float GlyphWidth(const GlyphMetricsFloat* metrics, char16_t ch) {
  return (metrics != nullptr && HasGlyph(ch)) ? metrics[ch].gmfCellIncX : 0.0f;
}

inline float LineWidth(const GlyphMetricsFloat* metrics, const char16_t* chars, int n) {
  float width = 0.0f;
  for (int i = 0; i < n && i < kLineChars; ++i) width += GlyphWidth(metrics, chars[i]);
  return width;
}

// The scale (at most 1) at which a row spanning x = from .. to at height y
// and depth z of the current modelview frame, scaled about x = 0, stays
// within ±limit of the normalised device x range. modelview and projection
// are column-major, as GL returns them; the aspect comes with the
// projection, so the fit follows the window's shape. Where the view makes no
// sense of the row (it lies behind the eye), nothing is scaled.
inline float FitScale(const float* modelview, const float* projection, float from, float to, float y, float z,
                      float limit) {
  if (!(to > from) || !(limit > 0.0f)) return 1.0f;
  // Rows 0 (clip x) and 3 (clip w) of projection × modelview, as linear
  // functions of the line's x at the given y and z.
  double a[2] = {}, b[2] = {};
  const int rows[2] = {0, 3};
  for (int r = 0; r < 2; ++r) {
    double m[4] = {};
    for (int c = 0; c < 4; ++c)
      for (int k = 0; k < 4; ++k) m[c] += double(projection[k * 4 + rows[r]]) * modelview[c * 4 + k];
    a[r] = m[0];
    b[r] = m[1] * y + m[2] * z + m[3];
  }
  // x where clip x / clip w reaches +limit and -limit.
  const double rightDen = a[0] - limit * a[1];
  const double leftDen = a[0] + limit * a[1];
  if (!(rightDen > 0.0) || !(leftDen > 0.0)) return 1.0f;
  const double right = (limit * b[1] - b[0]) / rightDen;
  const double left = (-limit * b[1] - b[0]) / leftDen;
  if (!(right > 0.0) || !(left < 0.0)) return 1.0f;
  double scale = 1.0;
  if (to > right) scale = right / to;
  if (from < left && left / from < scale) scale = left / from;
  return static_cast<float>(scale);
}

// Appends a break position. Once the 63 positions are used, the last one
// follows the newest break, so surplus words merge into the line's final
// word (still drawn, in its slot) instead of being lost or overrunning.
inline void AddBreak(int* positions, int& count, int at) {
  if (count < kBreakLimit) ++count;
  positions[count] = at;
}

// Records the breaks of a line of n characters into positions[1..] (position
// 0 is 0) and returns their number. Only the first `scanned` characters are
// examined (the revealed ones); the end-of-line breaks are always added. A
// full stop yields two breaks when drawing and one when laying out.
inline int RecordBreaks(const char16_t* chars, int n, int scanned, bool fullStopTwice, int* positions) {
  const int stopBreaks = fullStopTwice ? 2 : 1;
  int count = 0;
  positions[0] = 0;
  if (chars == nullptr) n = 0;
  if (scanned > n) scanned = n;
  for (int i = 0; i < scanned; ++i) {
    if (chars[i] == u' ') AddBreak(positions, count, i);
    if (i >= 1 && chars[i - 1] == u',') AddBreak(positions, count, i);
    if (i >= 1 && chars[i - 1] == u'.')
      for (int r = 0; r < stopBreaks; ++r) AddBreak(positions, count, i);
  }
  if (n > 0 && chars[n - 1] == u',') AddBreak(positions, count, n);
  if (n > 0 && chars[n - 1] == u'.')
    for (int r = 0; r < stopBreaks; ++r) AddBreak(positions, count, n);
  AddBreak(positions, count, n);
  return count;
}

// The block's placement for one frame.
struct FrameBlock {
  int finished = 0;  // past T + 15.5: the object ends without drawing
  float t = 0.0f;
  float x = 0.0f, y = 0.0f, z = 0.0f;
  int spinning = 0;
  float spinAngle = 0.0f;  // degrees about each character's vertical axis
  int revealed = 0;        // highest revealed running character index
};

// One revealed line of one frame. Words 0 .. drawnWords-1 are drawn with
// alphas[j]; word j spans breaks[j] up to breaks[j + 1], within the kept
// characters.
struct FrameLine {
  int number = 0;  // from 1
  float y = 0.0f;  // offset of the line below the block's top
  const char16_t* chars = nullptr;
  int kept = 0;
  int breakCount = 0;
  const int* breaks = nullptr;
  const float* alphas = nullptr;
  int drawnWords = 0;
};

inline void WordRange(const FrameLine& line, int word, int* begin, int* end) {
  *begin = line.breaks[word];
  *end = word < line.breakCount ? line.breaks[word + 1] : *begin;
  if (*end > line.kept) *end = line.kept;
  if (*begin > *end) *begin = *end;
}

}  // namespace animtext
