#pragma once
// A FreeType glyph outline read into contours of line, conic and cubic
// segments, for the scene's glyphs and the forge to flatten each their way.
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <vector>

namespace outline {

struct Vec2 {
  double x, y;
};

// A line has only `end`, a conic one control point, a cubic two.
struct Segment {
  int order;  // 1 line, 2 conic, 3 cubic
  Vec2 c1, c2, end;
};

struct Contour {
  Vec2 start;
  std::vector<Segment> segments;
};

// The contours of `source` in font units, moved by `offset`. False, with
// `contours` untouched, when FreeType cannot walk the outline.
bool Decompose(FT_Outline* source, Vec2 offset, std::vector<Contour>* contours);

}  // namespace outline
