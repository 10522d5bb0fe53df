#include <windows.h>

#include <cstddef>

#include "hub/Application.h"
#include "scene/FontLists.h"

// The table is handed to wglUseFontOutlinesW as it is.
static_assert(sizeof(GlyphMetricsFloat) == sizeof(GLYPHMETRICSFLOAT));
static_assert(offsetof(GlyphMetricsFloat, gmfBlackBoxY) == offsetof(GLYPHMETRICSFLOAT, gmfBlackBoxY));
static_assert(offsetof(GlyphMetricsFloat, gmfptGlyphOrigin) == offsetof(GLYPHMETRICSFLOAT, gmfptGlyphOrigin));
static_assert(offsetof(GlyphMetricsFloat, gmfCellIncX) == offsetof(GLYPHMETRICSFLOAT, gmfCellIncX));
static_assert(offsetof(GlyphMetricsFloat, gmfCellIncY) == offsetof(GLYPHMETRICSFLOAT, gmfCellIncY));

bool BuildOutlineFontLists(CApplication* app, unsigned listBase, GlyphMetricsFloat* metrics) {
  HFONT font = CreateFontW(72, 0, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS,
                           CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, 0, reinterpret_cast<LPCWSTR>(app->font));
  HDC dc = reinterpret_cast<HDC>(app->deviceContext);
  SelectObject(dc, font);
  const BOOL built = wglUseFontOutlinesW(dc, kFontFirstGlyph, kFontGlyphCount, listBase, 0.0f, 0.0f,
                                         WGL_FONT_POLYGONS, reinterpret_cast<LPGLYPHMETRICSFLOAT>(metrics));
  app->fontHandle = reinterpret_cast<NativeHandle>(font);
  return font != nullptr && built != FALSE;
}
