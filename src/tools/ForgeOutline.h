#pragma once
// The forge's first stage: the font (fontconfig match, FreeType face,
// HarfBuzz shaping) and a line of text as flat polygons.
#include <hb.h>

#include <limits>
#include <string>
#include <vector>

#include "scene/freetype/OutlineDecompose.h"

namespace forge {

using outline::Vec2;

inline double Cross(Vec2 o, Vec2 a, Vec2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }
double Dist(Vec2 a, Vec2 b);
double SignedArea(const std::vector<Vec2>& loop);

struct InkBox {
  double x0 = std::numeric_limits<double>::max(), y0 = x0, x1 = -x0, y1 = -x0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  double Width() const { return x1 - x0; }
  double Height() const { return y1 - y0; }
};

using GlyphOutline = std::vector<outline::Contour>;

// One shaped line of text: the outlines of its glyphs in font units, placed
// by HarfBuzz, and the box of their ink.
struct ShapedLine {
  std::vector<GlyphOutline> glyphs;
  InkBox ink;
  bool missingGlyph = false;
};

// One instance per thread: FreeType faces and HarfBuzz fonts are not shared.
class CShapingFont {
 public:
  CShapingFont() = default;
  ~CShapingFont();
  CShapingFont(const CShapingFont&) = delete;
  CShapingFont& operator=(const CShapingFont&) = delete;

  bool Open(const std::string& fontPath, std::string* error);
  bool IsOpen() const { return font_ != nullptr; }
  // Right to left, as Arabic.
  ShapedLine Shape(const std::string& utf8) const;

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  hb_blob_t* blob_ = nullptr;
  hb_face_t* hbFace_ = nullptr;
  hb_font_t* font_ = nullptr;
};

// Polygons of every glyph, mapped by `scale` and `shift` and flattened to
// `tolerance`, each glyph's contours turned so that its filled parts run
// counter-clockwise.
std::vector<std::vector<Vec2>> FlattenGlyphs(const std::vector<GlyphOutline>& glyphs, double scale, Vec2 shift,
                                             double tolerance);

}  // namespace forge

// The fontconfig match for the family name, only if the family really is it
// (fontconfig would otherwise hand back a substitute).
std::string FindFontFile(const char* family);
