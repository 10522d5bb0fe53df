// Outline-font display lists without WGL: fontconfig picks the face the way
// Windows' font mapper would (a missing face is substituted), FreeType reads
// the outlines in font units, and the GLU tessellator turns them into flat
// polygons. Coordinates are divided by the em size, so a glyph is about one
// unit tall, as wglUseFontOutlines gives them.
//
// Code points the face has no glyph for take the face's default glyph
// (glyph 0), as Windows draws its default character for them.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BBOX_H
#include FT_OUTLINE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "platform/GLHeaders.h"
#include "platform/Text.h"
#include "scene/FontLists.h"
#include "scene/freetype/OutlineDecompose.h"
#include "scene/freetype/OutlineTessellator.h"

namespace {

// Largest distance, in em, between a flattened curve and its chords.
constexpr double kFlatness = 0.002;
constexpr int kMaxCurveSteps = 32;

class OutlineFace {
 public:
  OutlineFace() = default;
  OutlineFace(const OutlineFace&) = delete;
  OutlineFace& operator=(const OutlineFace&) = delete;
  ~OutlineFace() {
    if (face_ != nullptr) FT_Done_Face(face_);
    if (library_ != nullptr) FT_Done_FreeType(library_);
  }

  // Resolves `faceName` through fontconfig's substitution and opens the
  // first scalable face with outlines it offers.
  bool Open(const char16_t* faceName) {
    if (FT_Init_FreeType(&library_) != 0) {
      library_ = nullptr;
      return false;
    }
    if (!FcInit()) return false;
    const std::string family = text::ToUtf8(faceName != nullptr ? faceName : u"");
    FcPattern* pattern = FcPatternCreate();
    if (pattern == nullptr) return false;
    if (!family.empty()) {
      FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    }
    FcPatternAddBool(pattern, FC_OUTLINE, FcTrue);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcTrue, nullptr, &result);
    FcPatternDestroy(pattern);
    if (fonts == nullptr) return false;
    for (int i = 0; i < fonts->nfont && face_ == nullptr; ++i) {
      FcChar8* file = nullptr;
      int index = 0;
      if (FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file) != FcResultMatch || file == nullptr) continue;
      if (FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index) != FcResultMatch) index = 0;
      FT_Face candidate = nullptr;
      if (FT_New_Face(library_, reinterpret_cast<const char*>(file), index, &candidate) != 0) continue;
      if (!FT_IS_SCALABLE(candidate) || candidate->units_per_EM == 0 || candidate->num_charmaps == 0) {
        FT_Done_Face(candidate);
        continue;
      }
      // A face without a Unicode map (a symbol font) is read through its first map.
      if (FT_Select_Charmap(candidate, FT_ENCODING_UNICODE) != 0) FT_Set_Charmap(candidate, candidate->charmaps[0]);
      face_ = candidate;
      path_ = reinterpret_cast<const char*>(file);
    }
    FcFontSetDestroy(fonts);
    return face_ != nullptr;
  }

  FT_Face face() const { return face_; }
  const std::string& path() const { return path_; }
  double scale() const { return 1.0 / static_cast<double>(face_->units_per_EM); }

 private:
  FT_Library library_ = nullptr;
  FT_Face face_ = nullptr;
  std::string path_;
};

using Point = outline::TessPoint;

struct FlatOutline {
  std::vector<Point> points;          // every contour, one after another
  std::vector<size_t> contourEnds;    // one past each contour's last point
  Point pen{};

  void Close() {
    const size_t begin = contourEnds.empty() ? 0 : contourEnds.back();
    // The outline closes a contour implicitly; a repeated first point only
    // adds a zero-length edge.
    if (points.size() > begin + 1 && points.back() == points[begin]) points.pop_back();
    if (points.size() > begin) contourEnds.push_back(points.size());
  }
  void Add(double x, double y) {
    pen = {x, y, 0.0};
    points.push_back(pen);
  }
};

int Steps(double secondDifference) {
  const int n = static_cast<int>(std::ceil(std::sqrt(secondDifference / (4.0 * kFlatness))));
  return std::clamp(n, 1, kMaxCurveSteps);
}

void Conic(FlatOutline* o, const Point& p1, const Point& p2) {
  const Point p0 = o->pen;
  const int n = Steps(std::hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]));
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1.0 - t;
    o->Add(u * u * p0[0] + 2 * u * t * p1[0] + t * t * p2[0], u * u * p0[1] + 2 * u * t * p1[1] + t * t * p2[1]);
  }
}

void Cubic(FlatOutline* o, const Point& p1, const Point& p2, const Point& p3) {
  const Point p0 = o->pen;
  const double d1 = std::hypot(p0[0] - 2 * p1[0] + p2[0], p0[1] - 2 * p1[1] + p2[1]);
  const double d2 = std::hypot(p1[0] - 2 * p2[0] + p3[0], p1[1] - 2 * p2[1] + p3[1]);
  const int n = Steps(1.5 * std::max(d1, d2));
  for (int i = 1; i <= n; ++i) {
    const double t = static_cast<double>(i) / n, u = 1.0 - t;
    const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    o->Add(a * p0[0] + b * p1[0] + c * p2[0] + d * p3[0], a * p0[1] + b * p1[1] + c * p2[1] + d * p3[1]);
  }
}

// Contours in font units to em-sized polygons, in even parameter steps with
// no point dropped: a glyph is drawn at one size and has no vertex budget.
// The forge flattens to a tolerance it coarsens and thins close points,
// because a whole line of text must fit the model reader's limits.
void Flatten(const std::vector<outline::Contour>& contours, double scale, FlatOutline* o) {
  const auto em = [scale](outline::Vec2 v) { return Point{v.x * scale, v.y * scale, 0.0}; };
  for (const outline::Contour& contour : contours) {
    const Point start = em(contour.start);
    o->Add(start[0], start[1]);
    for (const outline::Segment& s : contour.segments) {
      const Point end = em(s.end);
      if (s.order == 1)
        o->Add(end[0], end[1]);
      else if (s.order == 2)
        Conic(o, em(s.c1), end);
      else
        Cubic(o, em(s.c1), em(s.c2), end);
    }
    o->Close();
  }
}

// Loads the glyph of `code` in font units and fills its metrics (em units).
// With `outline`, also flattens its contours. False for a glyph that could
// not be loaded: its metrics are zero.
bool LoadGlyph(const OutlineFace& font, unsigned code, GlyphMetricsFloat* metrics, FlatOutline* outline) {
  *metrics = GlyphMetricsFloat{};
  FT_Face face = font.face();
  const FT_UInt index = FT_Get_Char_Index(face, code);
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) return false;
  const FT_GlyphSlot slot = face->glyph;
  if (slot->format != FT_GLYPH_FORMAT_OUTLINE) return false;
  const double scale = font.scale();
  metrics->gmfCellIncX = static_cast<float>(static_cast<double>(slot->metrics.horiAdvance) * scale);
  metrics->gmfCellIncY = 0.0f;
  if (slot->outline.n_points > 0) {
    FT_BBox box{};
    FT_Outline_Get_BBox(&slot->outline, &box);
    metrics->gmfBlackBoxX = static_cast<float>(static_cast<double>(box.xMax - box.xMin) * scale);
    metrics->gmfBlackBoxY = static_cast<float>(static_cast<double>(box.yMax - box.yMin) * scale);
    metrics->gmfptGlyphOrigin.x = static_cast<float>(static_cast<double>(box.xMin) * scale);
    metrics->gmfptGlyphOrigin.y = static_cast<float>(static_cast<double>(box.yMax) * scale);
  }
  std::vector<outline::Contour> contours;
  if (outline != nullptr && slot->outline.n_points > 0 && outline::Decompose(&slot->outline, {0, 0}, &contours)) {
    Flatten(contours, scale, outline);
  }
  return true;
}

// ---- tessellation into display lists --------------------------------------

class CListSink : public outline::TessSink {
 public:
  void Begin(GLenum type) override { glBegin(type); }
  void Vertex(outline::TessPoint* point) override { glVertex3dv(point->data()); }
  void End() override { glEnd(); }
};

void CompileGlyph(outline::CTessellator* tess, const FlatOutline& outline, bool evenOdd, float advance) {
  glNormal3f(0.0f, 0.0f, 1.0f);
  if (!outline.contourEnds.empty()) {
    // Points handed to the tessellator must stay put until the polygon ends;
    // `points` is complete here and intersections go to `combined`.
    std::vector<Point> points = outline.points;
    std::vector<std::vector<Point*>> contours;
    size_t begin = 0;
    for (const size_t end : outline.contourEnds) {
      if (end - begin >= 3) {
        contours.emplace_back();
        for (size_t i = begin; i < end; ++i) contours.back().push_back(&points[i]);
      }
      begin = end;
    }
    std::deque<Point> combined;
    CListSink sink;
    tess->Run(contours, evenOdd ? GLU_TESS_WINDING_ODD : GLU_TESS_WINDING_NONZERO, false, &combined, &sink);
  }
  glTranslatef(advance, 0.0f, 0.0f);
}

}  // namespace

bool ComputeGlyphMetrics(const char16_t* faceName, GlyphMetricsFloat* metrics, char* resolvedPath,
                         unsigned resolvedCapacity) {
  if (resolvedPath != nullptr && resolvedCapacity > 0) resolvedPath[0] = '\0';
  for (unsigned code = 0; code < kFontGlyphCount; ++code) metrics[code] = GlyphMetricsFloat{};
  OutlineFace font;
  if (!font.Open(faceName)) return false;
  if (resolvedPath != nullptr && resolvedCapacity > 0) {
    std::snprintf(resolvedPath, resolvedCapacity, "%s", font.path().c_str());
  }
  for (unsigned code = 0; code < kFontGlyphCount; ++code) LoadGlyph(font, kFontFirstGlyph + code, &metrics[code], nullptr);
  return true;
}

bool BuildOutlineFontLists(CApplication* app, unsigned listBase, GlyphMetricsFloat* metrics) {
  for (unsigned code = 0; code < kFontGlyphCount; ++code) metrics[code] = GlyphMetricsFloat{};
  const char16_t* faceName = app != nullptr ? app->font : u"";
  OutlineFace font;
  if (!font.Open(faceName)) {
    std::fprintf(stderr, "lumisaver: no outline font found for \"%s\"\n", text::ToUtf8(faceName).c_str());
    return false;
  }
  std::unique_ptr<outline::CTessellator> made;
  if (listBase != 0) made = std::make_unique<outline::CTessellator>();
  outline::CTessellator* tess = made != nullptr && made->Ok() ? made.get() : nullptr;
  FlatOutline outline;
  for (unsigned code = 0; code < kFontGlyphCount; ++code) {
    outline.points.clear();
    outline.contourEnds.clear();
    outline.pen = Point{};
    const bool loaded = LoadGlyph(font, kFontFirstGlyph + code, &metrics[code], tess != nullptr ? &outline : nullptr);
    if (tess == nullptr) continue;
    const bool evenOdd = loaded && (font.face()->glyph->outline.flags & FT_OUTLINE_EVEN_ODD_FILL) != 0;
    glNewList(listBase + code, GL_COMPILE);
    CompileGlyph(tess, outline, evenOdd, metrics[code].gmfCellIncX);
    glEndList();
  }
  return true;
}
