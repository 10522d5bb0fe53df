#pragma once
// Turns a line of Arabic text into an extruded, textured triangle model, in
// stages: outline (ForgeOutline), tessellate (ForgeTessellate), extrude
// (ForgeExtrude); ForgeFiles writes the result.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

struct ForgeVertex {
  float x, y, z;
  float u, v;
};

struct ForgeObject {
  std::string name;
  std::vector<ForgeVertex> vertices;
  std::vector<std::array<uint16_t, 3>> faces;  // counter-clockwise seen from outside
};

struct ForgeModel {
  std::vector<ForgeObject> objects;
  double tolerance = 0;  // curve flattening tolerance finally used, model units
  size_t VertexCount() const;
  size_t FaceCount() const;
};

// Limits a model must respect to be read whole by the model reader.
inline constexpr size_t ForgeMaxItems = 64000;
inline constexpr size_t ForgeMaxObjects = 199;
inline constexpr size_t ForgeMaxObjectVertices = 65535;

// Where the model sits in the scene, in glyph terms: gx runs along the line
// (left to right as read on screen), gy up, gz toward the viewer. The sizes
// keep every entry inside a 4:3 or 16:9 picture through its whole turn (the
// near end grows as it swings toward the camera) and clear of the text line
// below, which starts at y = -6.
struct ForgeLayout {
  double maxWidth = 18.0;     // widest line of text, model units
  double maxHeight = 9.6;     // tallest ink extent
  double centreHeight = 1.2;  // height of the ink box centre: the room above the text line is not symmetric
  double depth = 0.7;         // extrusion
  double tolerance = 0.002;   // finest curve flattening tolerance (about 0.1 px at 1080 lines)
  double textureTile = 6.0;   // model units covered by one texture repeat on the caps
};

// One instance per thread: FreeType faces and HarfBuzz fonts are not shared.
class CForgeShaper {
 public:
  CForgeShaper();
  ~CForgeShaper();
  CForgeShaper(const CForgeShaper&) = delete;
  CForgeShaper& operator=(const CForgeShaper&) = delete;

  bool Open(const std::string& fontPath, std::string* error);
  // Builds the model of one UTF-8 text. False (with a reason) when the text
  // yields no ink or cannot be brought within the reader's limits.
  bool Build(const std::string& utf8, const ForgeLayout& layout, ForgeModel* model,
             std::string* error);

 private:
  struct Impl;
  Impl* impl;
};

// Maps glyph space to the model file's axes. The scene draws a model after
// rotating 90 degrees about x, 180 about y and by the spin angle about z;
// at the spin angle -90 this takes model (x, y, z) to view (-y, z, -x), so the
// text's right is -y, its up is +z and the side facing the viewer is -x.
inline void GlyphToModel(double gx, double gy, double gz, float* x, float* y, float* z) {
  *x = static_cast<float>(-gz);
  *y = static_cast<float>(-gx);
  *z = static_cast<float>(gy);
}
