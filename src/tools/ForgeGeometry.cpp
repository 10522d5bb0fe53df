#include "tools/ForgeGeometry.h"

#include <algorithm>
#include <deque>

#include "tools/ForgeExtrude.h"
#include "tools/ForgeOutline.h"
#include "tools/ForgeTessellate.h"

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

struct CForgeShaper::Impl {
  forge::CShapingFont font;
  outline::CTessellator tessellator;
};

CForgeShaper::CForgeShaper() : impl(new Impl) {}

CForgeShaper::~CForgeShaper() { delete impl; }

bool CForgeShaper::Open(const std::string& fontPath, std::string* error) {
  if (!impl->tessellator.Ok()) {
    *error = "cannot create a GLU tessellator";
    return false;
  }
  return impl->font.Open(fontPath, error);
}

namespace {

// Caps take about two faces per outline point and walls two more; when that
// is far over the limit, coarsening at once saves the extrusion. The
// outline's point count goes roughly with the inverse square root of the
// tolerance. Zero when the outline may fit.
double CoarseningFor(const std::vector<forge::Loop>& loops) {
  size_t outlinePoints = 0;
  for (const auto& loop : loops) outlinePoints += loop.size() + 1;
  const double estimate = 4.0 * static_cast<double>(outlinePoints);
  if (estimate <= static_cast<double>(ForgeMaxItems)) return 0;
  const double over = estimate / (0.95 * static_cast<double>(ForgeMaxItems));
  return std::max(1.25, over * over);
}

}  // namespace

bool CForgeShaper::Build(const std::string& utf8, const ForgeLayout& layout, ForgeModel* model,
                         std::string* error) {
  model->objects.clear();
  if (!impl->font.IsOpen()) {
    *error = "no font open";
    return false;
  }
  const forge::ShapedLine line = impl->font.Shape(utf8);
  if (line.missingGlyph) {
    *error = "the font has no glyph for some of the text";
    return false;
  }
  if (line.glyphs.empty() || line.ink.Empty()) {
    *error = "the text has no ink";
    return false;
  }
  const forge::InkBox& ink = line.ink;
  double scale = std::min(layout.maxWidth / ink.Width(), layout.maxHeight / ink.Height());
  forge::Vec2 shift{-(ink.x0 + ink.Width() * 0.5) * scale,
                    -(ink.y0 + ink.Height() * 0.5) * scale + layout.centreHeight};

  // Finest flattening first; long texts coarsen until the reader's limits hold.
  double tol = layout.tolerance;
  for (int attempt = 0; attempt < 40 && tol < 1.0; ++attempt) {
    std::deque<forge::TessPoint> pool;
    std::vector<forge::Loop> loops;
    if (!forge::UnionLoops(&impl->tessellator, forge::FlattenGlyphs(line.glyphs, scale, shift, tol), &pool,
                           &loops)) {
      *error = "the outline tessellation failed";
      return false;
    }
    if (const double coarsen = CoarseningFor(loops); coarsen > 0) {
      tol *= coarsen;
      continue;
    }
    const std::vector<forge::Piece> pieces = forge::GroupPieces(loops);
    if (pieces.empty()) {
      *error = "the text has no ink";
      return false;
    }
    switch (forge::ExtrudePieces(&impl->tessellator, pieces, layout, &pool, model, error)) {
      case forge::ExtrudeResult::Fits:
        model->tolerance = tol;
        return true;
      case forge::ExtrudeResult::Failed:
        return false;
      case forge::ExtrudeResult::TooLarge:
        break;
    }
    tol *= 1.25;
  }
  model->objects.clear();
  *error = "the text is too long to fit the model limits";
  return false;
}
