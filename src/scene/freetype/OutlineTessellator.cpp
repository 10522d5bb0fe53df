#include "scene/freetype/OutlineTessellator.h"

#ifndef GLAPIENTRY
#define GLAPIENTRY
#endif

namespace outline {

namespace {

struct Polygon {
  TessSink* sink;
  std::deque<TessPoint>* made;
  GLenum error = 0;
};

void GLAPIENTRY OnBegin(GLenum type, void* data) { static_cast<Polygon*>(data)->sink->Begin(type); }
void GLAPIENTRY OnVertex(void* vertex, void* data) {
  static_cast<Polygon*>(data)->sink->Vertex(static_cast<TessPoint*>(vertex));
}
void GLAPIENTRY OnEnd(void* data) { static_cast<Polygon*>(data)->sink->End(); }
void GLAPIENTRY OnCombine(GLdouble coords[3], void* /*vertexData*/[4], GLfloat /*weight*/[4], void** out,
                          void* data) {
  auto* polygon = static_cast<Polygon*>(data);
  polygon->made->push_back({coords[0], coords[1], coords[2]});
  *out = &polygon->made->back();
}
void GLAPIENTRY OnError(GLenum error, void* data) { static_cast<Polygon*>(data)->error = error; }

}  // namespace

CTessellator::CTessellator() : tess_(gluNewTess()) {
  if (tess_ == nullptr) return;
  gluTessCallback(tess_, GLU_TESS_BEGIN_DATA, reinterpret_cast<_GLUfuncptr>(OnBegin));
  gluTessCallback(tess_, GLU_TESS_VERTEX_DATA, reinterpret_cast<_GLUfuncptr>(OnVertex));
  gluTessCallback(tess_, GLU_TESS_END_DATA, reinterpret_cast<_GLUfuncptr>(OnEnd));
  gluTessCallback(tess_, GLU_TESS_COMBINE_DATA, reinterpret_cast<_GLUfuncptr>(OnCombine));
  gluTessCallback(tess_, GLU_TESS_ERROR_DATA, reinterpret_cast<_GLUfuncptr>(OnError));
  gluTessNormal(tess_, 0, 0, 1);
}

CTessellator::~CTessellator() {
  if (tess_ != nullptr) gluDeleteTess(tess_);
}

bool CTessellator::Run(const std::vector<std::vector<TessPoint*>>& contours, GLenum windingRule, bool boundaryOnly,
                       std::deque<TessPoint>* made, TessSink* sink) {
  gluTessProperty(tess_, GLU_TESS_WINDING_RULE, windingRule);
  gluTessProperty(tess_, GLU_TESS_BOUNDARY_ONLY, boundaryOnly ? GL_TRUE : GL_FALSE);
  Polygon polygon{sink, made};
  gluTessBeginPolygon(tess_, &polygon);
  for (const auto& contour : contours) {
    gluTessBeginContour(tess_);
    for (TessPoint* p : contour) gluTessVertex(tess_, p->data(), p);
    gluTessEndContour(tess_);
  }
  gluTessEndPolygon(tess_);
  return polygon.error == 0;
}

}  // namespace outline
