#pragma once
// Outline-font glyphs as GL display lists, one backend per platform.
#include <cstdint>
#include "scene/GlyphMetrics.h"
class CApplication;

// Builds one display list per code point 0..1182 from the face named by the
// application's font setting, into the lists from listBase (each draws its
// glyph flat at z = 0 in em units, then translates by its advance), and fills
// metrics[0..1182]. Win32: CreateFontW + wglUseFontOutlinesW (the font handle
// goes to app->fontHandle). POSIX: fontconfig + FreeType + GLU tessellator.
// Returns false when no face could be loaded.
bool BuildOutlineFontLists(CApplication* app, unsigned listBase, GlyphMetricsFloat* metrics);

// POSIX only (metrics without GL): the face the Font setting resolves to and
// its metrics for code points 0..1182. Used by tests and the layout checks.
bool ComputeGlyphMetrics(const char16_t* faceName, GlyphMetricsFloat* metrics, char* resolvedPath,
                         unsigned resolvedCapacity);
