#pragma once
// The forge's second stage: the union of the glyph polygons as loops, the
// loops grouped into pieces of ink, and the cap triangles of a piece.
#include <array>
#include <deque>
#include <limits>
#include <vector>

#include "scene/freetype/OutlineTessellator.h"
#include "tools/ForgeOutline.h"

namespace forge {

using outline::TessPoint;
using Loop = std::vector<TessPoint*>;
using Triangle = std::array<TessPoint*, 3>;

inline Vec2 At(const TessPoint* v) { return {(*v)[0], (*v)[1]}; }

struct Box {
  double x0 = std::numeric_limits<double>::max(), y0 = x0, x1 = -x0, y1 = -x0;
  void Add(Vec2 p) {
    x0 = std::min(x0, p.x);
    y0 = std::min(y0, p.y);
    x1 = std::max(x1, p.x);
    y1 = std::max(y1, p.y);
  }
  bool Contains(const Box& b) const { return b.x0 >= x0 && b.x1 <= x1 && b.y0 >= y0 && b.y1 <= y1; }
};

// One connected piece of ink: an exterior loop and the holes inside it.
struct Piece {
  std::vector<Loop> loops;  // [0] exterior
  double area = 0;
  Box box;
};

// The boundary of the filled region of `polygons` (nonzero rule). Every
// point, given or made at a crossing, lives in `pool`.
bool UnionLoops(outline::CTessellator* tess, const std::vector<std::vector<Vec2>>& polygons,
                std::deque<TessPoint>* pool, std::vector<Loop>* loops);

// Pieces in reading order (right to left), each with the holes it holds.
std::vector<Piece> GroupPieces(const std::vector<Loop>& loops);

bool CapTriangles(outline::CTessellator* tess, const Piece& piece, std::deque<TessPoint>* pool,
                  std::vector<Triangle>* triangles);

}  // namespace forge
