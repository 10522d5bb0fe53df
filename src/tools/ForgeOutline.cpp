#include "tools/ForgeOutline.h"

#include FT_BBOX_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cmath>

std::string FindFontFile(const char* family) {
  std::string found;
  if (!FcInit()) return found;
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  if (!pattern) return found;
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  if (match) {
    FcChar8* file = nullptr;
    FcChar8* matchedFamily = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch &&
        FcPatternGetString(match, FC_FAMILY, 0, &matchedFamily) == FcResultMatch &&
        std::string(reinterpret_cast<const char*>(matchedFamily)) == family) {
      found = reinterpret_cast<const char*>(file);
    }
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return found;
}

namespace forge {

double Dist(Vec2 a, Vec2 b) { return std::hypot(a.x - b.x, a.y - b.y); }

double SignedArea(const std::vector<Vec2>& loop) {
  double a = 0;
  for (size_t i = 0, n = loop.size(); i < n; ++i) {
    const Vec2& p = loop[i];
    const Vec2& q = loop[(i + 1) % n];
    a += p.x * q.y - q.x * p.y;
  }
  return a * 0.5;
}

CShapingFont::~CShapingFont() {
  if (font_) hb_font_destroy(font_);
  if (hbFace_) hb_face_destroy(hbFace_);
  if (blob_) hb_blob_destroy(blob_);
  if (face_) FT_Done_Face(face_);
  if (library_) FT_Done_FreeType(library_);
}

bool CShapingFont::Open(const std::string& fontPath, std::string* error) {
  if (FT_Init_FreeType(&library_) != 0) {
    *error = "cannot initialise FreeType";
    return false;
  }
  if (FT_New_Face(library_, fontPath.c_str(), 0, &face_) != 0 || !FT_IS_SCALABLE(face_)) {
    *error = "cannot open the outline font " + fontPath;
    return false;
  }
  blob_ = hb_blob_create_from_file_or_fail(fontPath.c_str());
  if (!blob_) {
    *error = "cannot read " + fontPath;
    return false;
  }
  hbFace_ = hb_face_create(blob_, 0);
  font_ = hb_font_create(hbFace_);
  int upem = static_cast<int>(hb_face_get_upem(hbFace_));
  hb_font_set_scale(font_, upem, upem);
  return true;
}

ShapedLine CShapingFont::Shape(const std::string& utf8) const {
  ShapedLine line;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, utf8.c_str(), static_cast<int>(utf8.size()), 0, static_cast<int>(utf8.size()));
  hb_buffer_set_direction(buffer, HB_DIRECTION_RTL);
  hb_buffer_set_script(buffer, HB_SCRIPT_ARABIC);
  hb_buffer_set_language(buffer, hb_language_from_string("ar", -1));
  hb_shape(font_, buffer, nullptr, 0);
  unsigned count = 0;
  hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buffer, &count);
  hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(buffer, &count);

  // Glyphs come in visual order, left to right, with advances in font units.
  double penX = 0, penY = 0;
  for (unsigned i = 0; i < count; ++i) {
    if (info[i].codepoint == 0) line.missingGlyph = true;
    double ox = penX + pos[i].x_offset, oy = penY + pos[i].y_offset;
    penX += pos[i].x_advance;
    penY += pos[i].y_advance;
    if (FT_Load_Glyph(face_, info[i].codepoint, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
      continue;
    FT_GlyphSlot slot = face_->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_contours <= 0) continue;
    FT_BBox box;
    FT_Outline_Get_BBox(&slot->outline, &box);
    line.ink.x0 = std::min(line.ink.x0, static_cast<double>(box.xMin) + ox);
    line.ink.y0 = std::min(line.ink.y0, static_cast<double>(box.yMin) + oy);
    line.ink.x1 = std::max(line.ink.x1, static_cast<double>(box.xMax) + ox);
    line.ink.y1 = std::max(line.ink.y1, static_cast<double>(box.yMax) + oy);
    GlyphOutline g;
    if (outline::Decompose(&slot->outline, {ox, oy}, &g)) line.glyphs.push_back(std::move(g));
  }
  hb_buffer_destroy(buffer);
  return line;
}

namespace {

// Appends points of a curve, dropping those that would make a needlessly
// short edge (they only cost triangles and make slivers).
class CFlattener {
 public:
  CFlattener(double tolerance, std::vector<Vec2>* out) : tol(tolerance), points(out) {}

  // A point closer than half the tolerance to the last one moves the outline
  // by less than the tolerance; dropping it is what lets a coarser tolerance
  // thin out the outline's own dense corners too.
  void Add(Vec2 p) {
    if (!points->empty() && Dist(points->back(), p) < tol * 0.5) return;
    points->push_back(p);
  }

  // A conic's deviation from its chord shrinks with the square of the number
  // of equal parameter steps, which gives the step count directly.
  void Conic(Vec2 p0, Vec2 c, Vec2 p1) {
    double dx = p0.x - 2 * c.x + p1.x, dy = p0.y - 2 * c.y + p1.y;
    double dev = std::hypot(dx, dy) * 0.25;
    int n = std::clamp(static_cast<int>(std::ceil(std::sqrt(dev / tol))), 1, 256);
    for (int i = 1; i <= n; ++i) {
      double t = static_cast<double>(i) / n, s = 1 - t;
      Add({s * s * p0.x + 2 * s * t * c.x + t * t * p1.x, s * s * p0.y + 2 * s * t * c.y + t * t * p1.y});
    }
  }

  void Cubic(Vec2 p0, Vec2 c1, Vec2 c2, Vec2 p1, int depth = 0) {
    double chord = Dist(p0, p1);
    double d1, d2;
    if (chord < 1e-12) {
      d1 = Dist(p0, c1);
      d2 = Dist(p0, c2);
    } else {
      d1 = std::fabs(Cross(p0, p1, c1)) / chord;
      d2 = std::fabs(Cross(p0, p1, c2)) / chord;
    }
    // Control points within the tolerance bound the curve within it too
    // (convex hull), so the chord is close enough.
    if (std::max(d1, d2) <= tol || depth >= 12) {
      Add(p1);
      return;
    }
    Vec2 a{(p0.x + c1.x) / 2, (p0.y + c1.y) / 2}, b{(c1.x + c2.x) / 2, (c1.y + c2.y) / 2},
        c{(c2.x + p1.x) / 2, (c2.y + p1.y) / 2};
    Vec2 ab{(a.x + b.x) / 2, (a.y + b.y) / 2}, bc{(b.x + c.x) / 2, (b.y + c.y) / 2};
    Vec2 m{(ab.x + bc.x) / 2, (ab.y + bc.y) / 2};
    Cubic(p0, a, ab, m, depth + 1);
    Cubic(m, bc, c, p1, depth + 1);
  }

 private:
  double tol;
  std::vector<Vec2>* points;
};

}  // namespace

// Fonts differ in their contour direction; the nonzero rule then adds
// overlapping glyphs (joins, marks touching letters) instead of cancelling them.
std::vector<std::vector<Vec2>> FlattenGlyphs(const std::vector<GlyphOutline>& glyphs, double scale, Vec2 shift,
                                             double tol) {
  std::vector<std::vector<Vec2>> all;
  auto map = [&](Vec2 p) { return Vec2{p.x * scale + shift.x, p.y * scale + shift.y}; };
  for (const auto& g : glyphs) {
    size_t first = all.size();
    double area = 0;
    for (const auto& c : g) {
      std::vector<Vec2> pts;
      CFlattener f(tol, &pts);
      Vec2 cur = map(c.start);
      f.Add(cur);
      for (const auto& s : c.segments) {
        Vec2 end = map(s.end);
        if (s.order == 1)
          f.Add(end);
        else if (s.order == 2)
          f.Conic(cur, map(s.c1), end);
        else
          f.Cubic(cur, map(s.c1), map(s.c2), end);
        cur = end;
      }
      while (pts.size() > 1 && Dist(pts.front(), pts.back()) < tol * 0.5) pts.pop_back();
      if (pts.size() < 3) continue;
      area += SignedArea(pts);
      all.push_back(std::move(pts));
    }
    if (area < 0)
      for (size_t i = first; i < all.size(); ++i) std::reverse(all[i].begin(), all[i].end());
  }
  return all;
}

}  // namespace forge
