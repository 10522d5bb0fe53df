#include "model/PixelRect.h"

#include <algorithm>
#include <cmath>

PixelRect RectUnion(const PixelRect& a, const PixelRect& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

PixelRect RectIntersection(const PixelRect& a, const PixelRect& b) {
  const PixelRect r{std::max(a.x0, b.x0), std::max(a.y0, b.y0), std::min(a.x1, b.x1), std::min(a.y1, b.y1)};
  return r.Empty() ? PixelRect{} : r;
}

PixelRect ProjectedBoxRect(const float* modelview, const FrameView& view, const float lo[3], const float hi[3]) {
  const PixelRect whole = view.Whole();
  if (whole.Empty()) return whole;
  double clip[4][4] = {};  // projection × modelview, [column][row]
  for (int c = 0; c < 4; ++c)
    for (int r = 0; r < 4; ++r)
      for (int k = 0; k < 4; ++k) clip[c][r] += double(view.projection[k * 4 + r]) * modelview[c * 4 + k];
  double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
  for (int corner = 0; corner < 8; ++corner) {
    const double p[3] = {(corner & 1) ? hi[0] : lo[0], (corner & 2) ? hi[1] : lo[1], (corner & 4) ? hi[2] : lo[2]};
    double v[4];
    for (int r = 0; r < 4; ++r) v[r] = clip[0][r] * p[0] + clip[1][r] * p[1] + clip[2][r] * p[2] + clip[3][r];
    // A box wholly in front of the eye projects into the hull of its corners.
    if (!(v[3] > 1e-6)) return whole;
    const double x = view.x + (v[0] / v[3] + 1.0) * 0.5 * view.width;
    const double y = view.y + (v[1] / v[3] + 1.0) * 0.5 * view.height;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  }
  if (!std::isfinite(minX) || !std::isfinite(maxX) || !std::isfinite(minY) || !std::isfinite(maxY)) return whole;
  auto clamp = [](double value, int low, int high) {
    return static_cast<int>(std::clamp(value, double(low), double(high)));
  };
  const PixelRect rect{clamp(std::floor(minX) - kPixelRectMargin, whole.x0, whole.x1),
                       clamp(std::floor(minY) - kPixelRectMargin, whole.y0, whole.y1),
                       clamp(std::ceil(maxX) + kPixelRectMargin, whole.x0, whole.x1),
                       clamp(std::ceil(maxY) + kPixelRectMargin, whole.y0, whole.y1)};
  return rect.Empty() ? PixelRect{} : rect;
}

StateDigest& StateDigest::Add(const void* bytes, size_t size) {
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < size; ++i) hash_ = (hash_ ^ p[i]) * 1099511628211ull;
  return *this;
}

namespace {

long long Area(const PixelRect& r) { return static_cast<long long>(r.Width()) * r.Height(); }

// What merging a and b adds to the pixels the two cover on their own.
long long MergeCost(const PixelRect& a, const PixelRect& b) { return Area(RectUnion(a, b)) - Area(a) - Area(b); }

bool Contains(const FramePieces& pieces, const FramePiece& piece) {
  for (const FramePiece& p : pieces)
    if (p == piece) return true;
  return false;
}

}  // namespace

std::vector<PixelRect> ChangedRects(const FramePieces& last, const FramePieces& now) {
  std::vector<PixelRect> rects;
  // A rectangle joins one it overlaps so well that the union adds nothing
  // (a piece in two successive places mostly), in one pass.
  auto add = [&rects](const PixelRect& rect) {
    for (PixelRect& r : rects) {
      if (MergeCost(r, rect) <= 0) {
        r = RectUnion(r, rect);
        return;
      }
    }
    rects.push_back(rect);
  };
  for (const FramePieces* side : {&now, &last}) {
    const FramePieces& other = side == &now ? last : now;
    for (const FramePiece& piece : *side)
      if (!piece.rect.Empty() && !Contains(other, piece)) add(piece.rect);
  }
  // Then the cheapest pair is merged while merging is free or too many remain.
  while (rects.size() > 1) {
    size_t bestI = 0, bestJ = 1;
    long long best = MergeCost(rects[0], rects[1]);
    for (size_t i = 0; i < rects.size(); ++i)
      for (size_t j = i + 1; j < rects.size(); ++j) {
        const long long cost = MergeCost(rects[i], rects[j]);
        if (cost < best) best = cost, bestI = i, bestJ = j;
      }
    if (best > 0 && rects.size() <= kMaxChangedRects) break;
    rects[bestI] = RectUnion(rects[bestI], rects[bestJ]);
    rects.erase(rects.begin() + static_cast<long>(bestJ));
  }
  return rects;
}
