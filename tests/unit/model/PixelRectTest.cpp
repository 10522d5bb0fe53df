#include <gtest/gtest.h>

#include "model/PixelRect.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

FrameView PerspectiveView(int width, int height) {
  // gluPerspective(90°, width/height, 1, 10): f = 1.
  FrameView view;
  const float aspect = static_cast<float>(width) / static_cast<float>(height);
  const float n = 1.0f, f = 10.0f;
  const float p[16] = {1.0f / aspect, 0, 0, 0, 0, 1, 0, 0, 0, 0, (f + n) / (n - f), -1, 0, 0, 2 * f * n / (n - f), 0};
  for (int i = 0; i < 16; ++i) view.projection[i] = p[i];
  view.width = width;
  view.height = height;
  return view;
}

TEST(PixelRectTest, ProjectedBoxHoldsTheBoxWithAMarginOrTheWholeViewBehindTheEye) {
  const FrameView view = PerspectiveView(200, 100);
  // x -1..1, y -1..1 at depth 2: NDC x ±0.25, y ±0.5 -> pixels 75..125, 25..75.
  const float lo[3] = {-1, -1, -2}, hi[3] = {1, 1, -2};
  const int m = kPixelRectMargin;
  EXPECT_EQ(ProjectedBoxRect(kIdentity, view, lo, hi), (PixelRect{75 - m, 25 - m, 125 + m, 75 + m}));
  // Partly off screen: clipped to the view.
  const float lo2[3] = {1, -1, -2}, hi2[3] = {9, 1, -2};
  EXPECT_EQ(ProjectedBoxRect(kIdentity, view, lo2, hi2), (PixelRect{125 - m, 25 - m, 200, 75 + m}));
  // Wholly off screen: empty.
  const float lo3[3] = {20, -1, -2}, hi3[3] = {30, 1, -2};
  EXPECT_TRUE(ProjectedBoxRect(kIdentity, view, lo3, hi3).Empty());
  // A corner at or behind the eye: anything may show.
  const float lo4[3] = {-1, -1, -2}, hi4[3] = {1, 1, 0.5f};
  EXPECT_EQ(ProjectedBoxRect(kIdentity, view, lo4, hi4), view.Whole());
}

TEST(PixelRectTest, ChangedRectsKeepUnchangedPiecesOutAndMergeWhatOverlaps) {
  const PixelRect a{0, 0, 10, 10}, b{100, 100, 120, 110}, a2{1, 0, 11, 10};
  const FramePieces last = {{a, 1}, {b, 2}};
  // b unchanged; a moved by a pixel: one rectangle over both places.
  const FramePieces now = {{a2, 3}, {b, 2}};
  EXPECT_EQ(ChangedRects(last, now), (std::vector<PixelRect>{{0, 0, 11, 10}}));
  // Same place, new state: still changed.
  EXPECT_EQ(ChangedRects(last, FramePieces{{a, 4}, {b, 2}}), (std::vector<PixelRect>{a}));
  // A piece gone is changed too, and apart pieces stay apart.
  EXPECT_EQ(ChangedRects(last, FramePieces{}), (std::vector<PixelRect>{a, b}));
  EXPECT_TRUE(ChangedRects(last, last).empty());
  // Many apart pieces end in at most kMaxChangedRects, all pixels kept.
  FramePieces many;
  for (int i = 0; i < 40; ++i) many.push_back({{i * 20, 0, i * 20 + 5, 5}, static_cast<uint64_t>(i)});
  const std::vector<PixelRect> merged = ChangedRects({}, many);
  EXPECT_LE(merged.size(), kMaxChangedRects);
  for (const FramePiece& piece : many) {
    bool held = false;
    for (const PixelRect& r : merged) held = held || RectUnion(r, piece.rect) == r;
    EXPECT_TRUE(held) << piece.rect.x0;
  }
}

}  // namespace
