#include "scene/freetype/OutlineDecompose.h"

#include <utility>

namespace outline {

namespace {

struct State {
  std::vector<Contour> contours;
  Vec2 offset;

  Vec2 At(const FT_Vector* v) const {
    return {static_cast<double>(v->x) + offset.x, static_cast<double>(v->y) + offset.y};
  }
  // FreeType starts every contour with a move; a segment before one is a
  // broken outline.
  int Add(const Segment& s) {
    if (contours.empty()) return 1;
    contours.back().segments.push_back(s);
    return 0;
  }
};

int MoveTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<State*>(user);
  s->contours.push_back({s->At(to), {}});
  return 0;
}
int LineTo(const FT_Vector* to, void* user) {
  auto* s = static_cast<State*>(user);
  return s->Add({1, {}, {}, s->At(to)});
}
int ConicTo(const FT_Vector* c, const FT_Vector* to, void* user) {
  auto* s = static_cast<State*>(user);
  return s->Add({2, s->At(c), {}, s->At(to)});
}
int CubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
  auto* s = static_cast<State*>(user);
  return s->Add({3, s->At(c1), s->At(c2), s->At(to)});
}

}  // namespace

bool Decompose(FT_Outline* source, Vec2 offset, std::vector<Contour>* contours) {
  static const FT_Outline_Funcs funcs = {MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  State state{{}, offset};
  if (FT_Outline_Decompose(source, &funcs, &state) != 0) return false;
  *contours = std::move(state.contours);
  return true;
}

}  // namespace outline
