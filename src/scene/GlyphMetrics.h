#pragma once
// Glyph metrics of the outline font, field for field the layout of Win32's
// GLYPHMETRICSFLOAT so the Win32 backend can fill it directly.
struct GlyphMetricsFloat {
  float gmfBlackBoxX;
  float gmfBlackBoxY;
  struct { float x, y; } gmfptGlyphOrigin;
  float gmfCellIncX;
  float gmfCellIncY;
};

inline constexpr unsigned kFontListCount = 65276;  // reserved display lists
inline constexpr unsigned kFontFirstGlyph = 0;
inline constexpr unsigned kFontGlyphCount = 1183;  // code points 0..1182 filled
