#include "tools/ForgeGeometry.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_BBOX_H
#include <fontconfig/fontconfig.h>
#include <hb.h>

#include "platform/GLHeaders.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <deque>
#include <limits>
#include <unordered_map>

#ifndef GLAPIENTRY
#define GLAPIENTRY
#endif

size_t ForgeModel::VertexCount() const {
  size_t n = 0;
  for (const auto& o : objects) n += o.vertices.size();
  return n;
}

size_t ForgeModel::FaceCount() const {
  size_t n = 0;
  for (const auto& o : objects) n += o.faces.size();
  return n;
}

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

namespace {

struct Vec2 {
  double x, y;
};

// One outline segment in model-space glyph coordinates: a line has only `end`,
// a conic one control point, a cubic two.
struct Segment {
  int order;  // 1 line, 2 conic, 3 cubic
  Vec2 c1, c2, end;
};

struct Contour {
  Vec2 start;
  std::vector<Segment> segments;
};

struct GlyphOutline {
  std::vector<Contour> contours;
};

double Cross(Vec2 o, Vec2 a, Vec2 b) { return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x); }
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

// --- GLU tessellation -------------------------------------------------------

struct TessVertex {
  GLdouble p[3];
};

struct TessContext {
  std::deque<TessVertex>* pool = nullptr;
  GLenum mode = 0;
  std::vector<TessVertex*> current;
  std::vector<std::vector<TessVertex*>> loops;
  std::vector<std::array<TessVertex*, 3>> triangles;
  GLenum error = 0;
};

void GLAPIENTRY TessBegin(GLenum type, void* data) {
  auto* ctx = static_cast<TessContext*>(data);
  ctx->mode = type;
  ctx->current.clear();
}

void GLAPIENTRY TessVertexData(void* vertex, void* data) {
  static_cast<TessContext*>(data)->current.push_back(static_cast<TessVertex*>(vertex));
}

void GLAPIENTRY TessEnd(void* data) {
  auto* ctx = static_cast<TessContext*>(data);
  auto& v = ctx->current;
  switch (ctx->mode) {
    case GL_LINE_LOOP:
      ctx->loops.push_back(v);
      break;
    case GL_TRIANGLES:
      for (size_t i = 0; i + 2 < v.size(); i += 3) ctx->triangles.push_back({v[i], v[i + 1], v[i + 2]});
      break;
    case GL_TRIANGLE_FAN:
      for (size_t i = 1; i + 1 < v.size(); ++i) ctx->triangles.push_back({v[0], v[i], v[i + 1]});
      break;
    case GL_TRIANGLE_STRIP:
      for (size_t i = 0; i + 2 < v.size(); ++i) {
        if (i % 2 == 0)
          ctx->triangles.push_back({v[i], v[i + 1], v[i + 2]});
        else
          ctx->triangles.push_back({v[i + 1], v[i], v[i + 2]});
      }
      break;
    default:
      break;
  }
  v.clear();
}

void GLAPIENTRY TessCombine(GLdouble coords[3], void* /*vertexData*/[4], GLfloat /*weight*/[4],
                            void** out, void* data) {
  auto* ctx = static_cast<TessContext*>(data);
  ctx->pool->push_back({{coords[0], coords[1], coords[2]}});
  *out = &ctx->pool->back();
}

void GLAPIENTRY TessError(GLenum err, void* data) { static_cast<TessContext*>(data)->error = err; }

class CTessellator {
 public:
  CTessellator() : tess(gluNewTess()) {
    if (!tess) return;
    gluTessCallback(tess, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(TessBegin));
    gluTessCallback(tess, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(TessVertexData));
    gluTessCallback(tess, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(TessEnd));
    gluTessCallback(tess, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(TessCombine));
    gluTessCallback(tess, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(TessError));
    gluTessProperty(tess, GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess, 0, 0, 1);
  }
  ~CTessellator() {
    if (tess) gluDeleteTess(tess);
  }
  CTessellator(const CTessellator&) = delete;
  CTessellator& operator=(const CTessellator&) = delete;

  bool Ok() const { return tess != nullptr; }

  // boundaryOnly: the outline of the filled region (exteriors counter-clockwise,
  // holes clockwise); otherwise its triangles.
  bool Run(const std::vector<std::vector<TessVertex*>>& contours, bool boundaryOnly, TessContext* ctx) {
    gluTessProperty(tess, GLU_TESS_BOUNDARY_ONLY, boundaryOnly ? GL_TRUE : GL_FALSE);
    ctx->error = 0;
    gluTessBeginPolygon(tess, ctx);
    for (const auto& c : contours) {
      gluTessBeginContour(tess);
      for (TessVertex* v : c) gluTessVertex(tess, v->p, v);
      gluTessEndContour(tess);
    }
    gluTessEndPolygon(tess);
    return ctx->error == 0;
  }

 private:
  GLUtesselator* tess;
};

Vec2 At(const TessVertex* v) { return {v->p[0], v->p[1]}; }

std::vector<Vec2> LoopPoints(const std::vector<TessVertex*>& loop) {
  std::vector<Vec2> pts;
  pts.reserve(loop.size());
  for (auto* v : loop) pts.push_back(At(v));
  return pts;
}

bool InsideLoop(Vec2 p, const std::vector<Vec2>& loop) {
  bool inside = false;
  for (size_t i = 0, j = loop.size() - 1; i < loop.size(); j = i++) {
    const Vec2& a = loop[i];
    const Vec2& b = loop[j];
    if ((a.y > p.y) != (b.y > p.y) && p.x < (b.x - a.x) * (p.y - a.y) / (b.y - a.y) + a.x) inside = !inside;
  }
  return inside;
}

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
  std::vector<std::vector<TessVertex*>> loops;  // [0] exterior
  double area = 0;
  Box box;
};

}  // namespace

// --- FreeType / HarfBuzz ----------------------------------------------------

struct CForgeShaper::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  hb_blob_t* blob = nullptr;
  hb_face_t* hbFace = nullptr;
  hb_font_t* font = nullptr;
  CTessellator tessellator;
};

CForgeShaper::CForgeShaper() : impl(new Impl) {}

CForgeShaper::~CForgeShaper() {
  if (impl->font) hb_font_destroy(impl->font);
  if (impl->hbFace) hb_face_destroy(impl->hbFace);
  if (impl->blob) hb_blob_destroy(impl->blob);
  if (impl->face) FT_Done_Face(impl->face);
  if (impl->library) FT_Done_FreeType(impl->library);
  delete impl;
}

bool CForgeShaper::Open(const std::string& fontPath, std::string* error) {
  if (!impl->tessellator.Ok()) {
    *error = "cannot create a GLU tessellator";
    return false;
  }
  if (FT_Init_FreeType(&impl->library) != 0) {
    *error = "cannot initialise FreeType";
    return false;
  }
  if (FT_New_Face(impl->library, fontPath.c_str(), 0, &impl->face) != 0 || !FT_IS_SCALABLE(impl->face)) {
    *error = "cannot open the outline font " + fontPath;
    return false;
  }
  impl->blob = hb_blob_create_from_file_or_fail(fontPath.c_str());
  if (!impl->blob) {
    *error = "cannot read " + fontPath;
    return false;
  }
  impl->hbFace = hb_face_create(impl->blob, 0);
  impl->font = hb_font_create(impl->hbFace);
  int upem = static_cast<int>(hb_face_get_upem(impl->hbFace));
  hb_font_set_scale(impl->font, upem, upem);
  return true;
}

namespace {

struct DecomposeState {
  GlyphOutline* outline;
  double ox, oy;  // pen position, font units
};

Vec2 FromFt(const FT_Vector* v, const DecomposeState* s) {
  return {static_cast<double>(v->x) + s->ox, static_cast<double>(v->y) + s->oy};
}

int MoveTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<DecomposeState*>(user);
  s->outline->contours.push_back({FromFt(to, s), {}});
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<DecomposeState*>(user);
  if (s->outline->contours.empty()) return 1;
  s->outline->contours.back().segments.push_back({1, {}, {}, FromFt(to, s)});
  return 0;
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* s = static_cast<DecomposeState*>(user);
  if (s->outline->contours.empty()) return 1;
  s->outline->contours.back().segments.push_back({2, FromFt(c, s), {}, FromFt(to, s)});
  return 0;
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<DecomposeState*>(user);
  if (s->outline->contours.empty()) return 1;
  s->outline->contours.back().segments.push_back({3, FromFt(c1, s), FromFt(c2, s), FromFt(to, s)});
  return 0;
}

// Polygons of every glyph in model-space glyph coordinates, each glyph's
// contours turned so that its filled parts run counter-clockwise. Fonts differ
// in their contour direction; the nonzero rule then adds overlapping glyphs
// (joins, marks touching letters) instead of cancelling them.
std::vector<std::vector<Vec2>> FlattenGlyphs(const std::vector<GlyphOutline>& glyphs, double scale, Vec2 shift,
                                             double tol) {
  std::vector<std::vector<Vec2>> all;
  auto map = [&](Vec2 p) { return Vec2{p.x * scale + shift.x, p.y * scale + shift.y}; };
  for (const auto& g : glyphs) {
    size_t first = all.size();
    double area = 0;
    for (const auto& c : g.contours) {
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

// Removes the repeated points that the union leaves where outlines touch;
// they would give zero-length walls.
std::vector<TessVertex*> CleanLoop(const std::vector<TessVertex*>& loop) {
  std::vector<TessVertex*> out;
  for (auto* v : loop) {
    if (!out.empty() && Dist(At(out.back()), At(v)) < 1e-5) continue;
    out.push_back(v);
  }
  while (out.size() > 1 && Dist(At(out.front()), At(out.back())) < 1e-5) out.pop_back();
  return out;
}

class CObjectBuilder {
 public:
  CObjectBuilder(const ForgeLayout& l, ForgeObject* o) : layout(l), object(o) {}

  void AddCaps(const std::vector<std::array<TessVertex*, 3>>& triangles) {
    double half = layout.depth * 0.5;
    for (const auto& t : triangles) {
      Vec2 a = At(t[0]), b = At(t[1]), c = At(t[2]);
      double area = Cross(a, b, c);
      if (std::fabs(area) < 1e-10) continue;
      uint16_t fa = CapVertex(t[0], half, front), fb = CapVertex(t[1], half, front),
               fc = CapVertex(t[2], half, front);
      uint16_t ba = CapVertex(t[0], -half, back), bb = CapVertex(t[1], -half, back),
               bc = CapVertex(t[2], -half, back);
      if (fa == fb || fb == fc || fa == fc) continue;
      if (area > 0) {
        object->faces.push_back({fa, fb, fc});
        object->faces.push_back({ba, bc, bb});
      } else {
        object->faces.push_back({fa, fc, fb});
        object->faces.push_back({ba, bb, bc});
      }
    }
  }

  // The loop runs with the ink on its left, so the wall faces to its right.
  void AddWall(const std::vector<TessVertex*>& loop) {
    double half = layout.depth * 0.5;
    size_t n = loop.size();
    uint16_t base = static_cast<uint16_t>(object->vertices.size());
    double s = 0;
    for (size_t i = 0; i <= n; ++i) {
      Vec2 p = At(loop[i % n]);
      if (i > 0) s += Dist(At(loop[i - 1]), p);
      float u = static_cast<float>(s / layout.textureTile);
      // Walls run along the texture's bottom edge, the middle of the frame
      // strap of the ornament, so they read as plain polished gold.
      AddVertex(p, half, u, 0.0f);
      AddVertex(p, -half, u, 0.0f);
    }
    for (size_t i = 0; i < n; ++i) {
      uint16_t a = static_cast<uint16_t>(base + 2 * i), d = static_cast<uint16_t>(a + 1);
      uint16_t b = static_cast<uint16_t>(a + 2), c = static_cast<uint16_t>(a + 3);
      object->faces.push_back({a, d, c});
      object->faces.push_back({a, c, b});
    }
  }

 private:
  // Keyed by position: the tessellator may hand out two vertices at one place.
  uint16_t CapVertex(TessVertex* v, double gz, std::unordered_map<uint64_t, uint16_t>& map) {
    uint64_t key = (static_cast<uint64_t>(std::llround(v->p[0] * 1e5) & 0xffffffff) << 32) |
                   (static_cast<uint64_t>(std::llround(v->p[1] * 1e5)) & 0xffffffff);
    auto it = map.find(key);
    if (it != map.end()) return it->second;
    uint16_t index = static_cast<uint16_t>(object->vertices.size());
    Vec2 p = At(v);
    // The back is mapped mirrored so that its ornament reads the right way
    // round when the back turns toward the viewer.
    float u = static_cast<float>((gz > 0 ? p.x : -p.x) / layout.textureTile);
    AddVertex(p, gz, u, static_cast<float>(p.y / layout.textureTile));
    map.emplace(key, index);
    return index;
  }

  void AddVertex(Vec2 p, double gz, float u, float v) {
    ForgeVertex fv{};
    GlyphToModel(p.x, p.y, gz, &fv.x, &fv.y, &fv.z);
    fv.u = u;
    fv.v = v;
    object->vertices.push_back(fv);
  }

  const ForgeLayout& layout;
  ForgeObject* object;
  std::unordered_map<uint64_t, uint16_t> front, back;
};

// A vertex that ended up in no face (its triangles were degenerate) would be
// drawn by nobody and only confuse other readers' counts.
void DropUnusedVertices(ForgeObject* object) {
  std::vector<int> remap(object->vertices.size(), -1);
  for (const auto& f : object->faces)
    for (uint16_t i : f) remap[i] = 0;
  std::vector<ForgeVertex> kept;
  for (size_t i = 0; i < remap.size(); ++i) {
    if (remap[i] < 0) continue;
    remap[i] = static_cast<int>(kept.size());
    kept.push_back(object->vertices[i]);
  }
  if (kept.size() == object->vertices.size()) return;
  for (auto& f : object->faces)
    for (uint16_t& i : f) i = static_cast<uint16_t>(remap[i]);
  object->vertices = std::move(kept);
}

}  // namespace

namespace {

struct InkBox {
  double x0 = std::numeric_limits<double>::max(), y0 = x0, x1 = -x0, y1 = -x0;
  bool Empty() const { return x1 <= x0 || y1 <= y0; }
  double Width() const { return x1 - x0; }
  double Height() const { return y1 - y0; }
};

// One shaped line of text: the outlines of its glyphs in font units, placed
// by HarfBuzz, and the box of their ink.
struct ShapedLine {
  std::vector<GlyphOutline> glyphs;
  InkBox ink;
  bool missingGlyph = false;
};

ShapedLine ShapeLine(hb_font_t* font, FT_Face face, const std::string& utf8) {
  ShapedLine line;
  hb_buffer_t* buffer = hb_buffer_create();
  hb_buffer_add_utf8(buffer, utf8.c_str(), static_cast<int>(utf8.size()), 0, static_cast<int>(utf8.size()));
  hb_buffer_set_direction(buffer, HB_DIRECTION_RTL);
  hb_buffer_set_script(buffer, HB_SCRIPT_ARABIC);
  hb_buffer_set_language(buffer, hb_language_from_string("ar", -1));
  hb_shape(font, buffer, nullptr, 0);
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
    if (FT_Load_Glyph(face, info[i].codepoint, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
      continue;
    FT_GlyphSlot slot = face->glyph;
    if (slot->format != FT_GLYPH_FORMAT_OUTLINE || slot->outline.n_contours <= 0) continue;
    FT_BBox box;
    FT_Outline_Get_BBox(&slot->outline, &box);
    line.ink.x0 = std::min(line.ink.x0, static_cast<double>(box.xMin) + ox);
    line.ink.y0 = std::min(line.ink.y0, static_cast<double>(box.yMin) + oy);
    line.ink.x1 = std::max(line.ink.x1, static_cast<double>(box.xMax) + ox);
    line.ink.y1 = std::max(line.ink.y1, static_cast<double>(box.yMax) + oy);
    GlyphOutline g;
    DecomposeState state{&g, ox, oy};
    FT_Outline_Funcs funcs{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
    if (FT_Outline_Decompose(&slot->outline, &funcs, &state) == 0) line.glyphs.push_back(std::move(g));
  }
  hb_buffer_destroy(buffer);
  return line;
}

}  // namespace

bool CForgeShaper::Build(const std::string& utf8, const ForgeLayout& layout, ForgeModel* model,
                         std::string* error) {
  model->objects.clear();
  if (!impl->font) {
    *error = "no font open";
    return false;
  }
  ShapedLine line = ShapeLine(impl->font, impl->face, utf8);
  if (line.missingGlyph) {
    *error = "the font has no glyph for some of the text";
    return false;
  }
  if (line.glyphs.empty() || line.ink.Empty()) {
    *error = "the text has no ink";
    return false;
  }
  const std::vector<GlyphOutline>& glyphs = line.glyphs;
  const InkBox& ink = line.ink;

  double scale = std::min(layout.maxWidth / ink.Width(), layout.maxHeight / ink.Height());
  Vec2 shift{-(ink.x0 + ink.Width() * 0.5) * scale, -(ink.y0 + ink.Height() * 0.5) * scale + layout.centreHeight};

  // Finest flattening first; long texts coarsen until the reader's limits hold.
  double tol = layout.tolerance;
  for (int attempt = 0; attempt < 40 && tol < 1.0; ++attempt) {
    std::deque<TessVertex> pool;
    std::vector<std::vector<TessVertex*>> contours;
    for (const auto& poly : FlattenGlyphs(glyphs, scale, shift, tol)) {
      contours.emplace_back();
      for (const Vec2& p : poly) {
        pool.push_back({{p.x, p.y, 0}});
        contours.back().push_back(&pool.back());
      }
    }

    TessContext unionCtx;
    unionCtx.pool = &pool;
    if (!impl->tessellator.Run(contours, true, &unionCtx)) {
      *error = "the outline tessellation failed";
      return false;
    }

    // Caps take about two faces per outline point and walls two more; when
    // that is far over the limit, coarsen right away. The outline's point
    // count goes roughly with the inverse square root of the tolerance.
    size_t outlinePoints = 0;
    for (const auto& loop : unionCtx.loops) outlinePoints += loop.size() + 1;
    const double estimate = 4.0 * static_cast<double>(outlinePoints);
    if (estimate > static_cast<double>(ForgeMaxItems)) {
      const double over = estimate / (0.95 * static_cast<double>(ForgeMaxItems));
      tol *= std::max(1.25, over * over);
      continue;
    }

    std::vector<Piece> pieces;
    std::vector<std::vector<TessVertex*>> holes;
    for (const auto& raw : unionCtx.loops) {
      auto loop = CleanLoop(raw);
      if (loop.size() < 3) continue;
      auto pts = LoopPoints(loop);
      double area = SignedArea(pts);
      if (std::fabs(area) < 1e-8) continue;
      if (area > 0) {
        Piece piece;
        piece.area = area;
        for (const Vec2& p : pts) piece.box.Add(p);
        piece.loops.push_back(std::move(loop));
        pieces.push_back(std::move(piece));
      } else {
        holes.push_back(std::move(loop));
      }
    }
    // A hole belongs to the smallest exterior that holds most of its points;
    // a single point may sit on a touching outline.
    for (auto& hole : holes) {
      auto pts = LoopPoints(hole);
      Box hb;
      for (const Vec2& p : pts) hb.Add(p);
      Piece* owner = nullptr;
      size_t step = std::max<size_t>(1, pts.size() / 7);
      for (auto& piece : pieces) {
        if (!piece.box.Contains(hb) || (owner && piece.area >= owner->area)) continue;
        auto ext = LoopPoints(piece.loops[0]);
        size_t inside = 0, tested = 0;
        for (size_t i = 0; i < pts.size(); i += step, ++tested) inside += InsideLoop(pts[i], ext) ? 1 : 0;
        if (inside * 2 > tested) owner = &piece;
      }
      if (owner) owner->loops.push_back(std::move(hole));
    }
    if (pieces.empty()) {
      *error = "the text has no ink";
      return false;
    }

    // Reading order (right to left), then merge neighbours while there are
    // more pieces than the reader keeps objects.
    std::sort(pieces.begin(), pieces.end(), [](const Piece& a, const Piece& b) { return a.box.x1 > b.box.x1; });
    std::vector<std::vector<size_t>> groups;
    for (size_t i = 0; i < pieces.size(); ++i) groups.push_back({i});
    while (groups.size() > ForgeMaxObjects) {
      size_t best = 0, bestSize = std::numeric_limits<size_t>::max();
      for (size_t i = 0; i + 1 < groups.size(); ++i) {
        size_t sz = groups[i].size() + groups[i + 1].size();
        if (sz < bestSize) best = i, bestSize = sz;
      }
      groups[best].insert(groups[best].end(), groups[best + 1].begin(), groups[best + 1].end());
      groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(best) + 1);
    }

    model->objects.clear();
    bool fits = true;
    size_t totalV = 0, totalF = 0;
    for (size_t g = 0; g < groups.size() && fits; ++g) {
      ForgeObject object;
      char name[32];
      std::snprintf(name, sizeof name, "ink%03zu", g + 1);
      object.name = name;
      CObjectBuilder builder(layout, &object);
      for (size_t index : groups[g]) {
        TessContext capCtx;
        capCtx.pool = &pool;
        if (!impl->tessellator.Run(pieces[index].loops, false, &capCtx)) {
          *error = "the cap tessellation failed";
          return false;
        }
        builder.AddCaps(capCtx.triangles);
        for (const auto& loop : pieces[index].loops) builder.AddWall(loop);
      }
      if (object.vertices.size() <= ForgeMaxObjectVertices) DropUnusedVertices(&object);
      totalV += object.vertices.size();
      totalF += object.faces.size();
      if (object.vertices.size() > ForgeMaxObjectVertices || totalV > ForgeMaxItems || totalF > ForgeMaxItems)
        fits = false;
      model->objects.push_back(std::move(object));
    }
    if (fits) {
      model->tolerance = tol;
      return true;
    }
    tol *= 1.25;
  }
  model->objects.clear();
  *error = "the text is too long to fit the model limits";
  return false;
}
