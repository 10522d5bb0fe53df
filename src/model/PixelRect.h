#pragma once
// The window pixels a frame changes. Free of GL so that the bounds can be
// checked without a context.
#include <cstddef>
#include <cstdint>
#include <vector>

// Pixels x0..x1-1 by y0..y1-1 in GL window coordinates (origin bottom left).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  int Width() const { return Empty() ? 0 : x1 - x0; }
  int Height() const { return Empty() ? 0 : y1 - y0; }
  bool operator==(const PixelRect&) const = default;
};

// What a drawable needs to bound itself on screen: the projection (column
// major, as GL returns it) and the viewport: its size and where it lies in
// the window (one window may hold several views).
struct FrameView {
  float projection[16] = {};
  int width = 0;
  int height = 0;
  int x = 0;
  int y = 0;
  PixelRect Whole() const { return {x, y, x + (width > 0 ? width : 0), y + (height > 0 ? height : 0)}; }
};

// The smallest rectangle holding both; an empty one adds nothing.
PixelRect RectUnion(const PixelRect& a, const PixelRect& b);
// The pixels in both (empty when none).
PixelRect RectIntersection(const PixelRect& a, const PixelRect& b);

// Extra pixels on every side of a projected box: rasterisation rules, sample
// positions and rounding never reach this far past the exact outline.
inline constexpr int kPixelRectMargin = 2;

// The window rectangle holding everything drawn inside the box lo..hi of the
// modelview frame, widened by kPixelRectMargin and clipped to the view. The
// whole view when a corner lies at or behind the eye: there the projection
// of the box is unbounded.
PixelRect ProjectedBoxRect(const float* modelview, const FrameView& view, const float lo[3], const float hi[3]);

// One part of a frame's picture: the window pixels its geometry may touch
// and a digest of everything that decides those pixels. Equal pieces in
// successive frames draw the same pixels.
struct FramePiece {
  PixelRect rect;
  uint64_t state = 0;
  bool operator==(const FramePiece&) const = default;
};
using FramePieces = std::vector<FramePiece>;

// FNV-1a over the values that decide a piece's pixels.
class StateDigest {
 public:
  StateDigest& Add(const void* bytes, size_t size);
  template <typename T>
  StateDigest& Add(const T& value) { return Add(&value, sizeof value); }
  uint64_t Value() const { return hash_; }

 private:
  uint64_t hash_ = 14695981039346656037ull;
};

// The rectangles outside which the frame of `now` shows what the frame of
// `last` showed: those of every piece that is not in the other frame too.
// Rectangles that overlap well are merged, and at most kMaxChangedRects remain.
inline constexpr size_t kMaxChangedRects = 8;
std::vector<PixelRect> ChangedRects(const FramePieces& last, const FramePieces& now);
