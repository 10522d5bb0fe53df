#pragma once
// The GLU tessellator set up for flat glyph contours in the z = 0 plane,
// facing +z: the scene compiles its primitives into display lists, the forge
// collects triangles and boundaries from it.
#include <array>
#include <deque>
#include <vector>

#include "platform/GLHeaders.h"

namespace outline {

using TessPoint = std::array<GLdouble, 3>;

// Receives the primitives; every vertex is a point handed in or one the
// tessellator made where contours cross.
class TessSink {
 public:
  virtual void Begin(GLenum type) = 0;
  virtual void Vertex(TessPoint* point) = 0;
  virtual void End() = 0;

 protected:
  ~TessSink() = default;
};

class CTessellator {
 public:
  CTessellator();
  ~CTessellator();
  CTessellator(const CTessellator&) = delete;
  CTessellator& operator=(const CTessellator&) = delete;

  bool Ok() const { return tess_ != nullptr; }

  // The points of `contours` and of `made`, which takes the crossings, must
  // stay put until the sink is done with them. boundaryOnly gives the outline
  // of the filled region as line loops (exteriors counter-clockwise, holes
  // clockwise) instead of triangles. False when GLU reported an error.
  bool Run(const std::vector<std::vector<TessPoint*>>& contours, GLenum windingRule, bool boundaryOnly,
           std::deque<TessPoint>* made, TessSink* sink);

 private:
  GLUtesselator* tess_;
};

}  // namespace outline
