#pragma once
// The animated text line: word wrap, layout, reveal, fade and flight.
#include <cstdint>
#include "model/Object3d.h"
#include "scene/AnimTiming.h"
#include "scene/GlyphMetrics.h"
class CApplication;

inline constexpr int kMaxLines = 320;   // lines 1..319
inline constexpr int kMaxBreaks = 64;   // break positions 1..63 per line

struct LineNode {
  LineNode* previous = nullptr;
  LineNode* next = nullptr;
  char16_t* text = nullptr;  // owned, NUL-terminated
  int byteLength = 0;        // buffer length in bytes, terminator included
};

class CLineList {
 public:
  CLineList();  // one empty node already in place
  ~CLineList();
  CLineList(const CLineList&) = delete;
  CLineList& operator=(const CLineList&) = delete;
  void AppendLine(const char16_t* segment, int byteLength);

  LineNode* cursor = nullptr;
  LineNode* first = nullptr;
  LineNode* last = nullptr;
  int count = 0;
  int charSize = 2;
};

// Breaks `text` (modified in place: spaces become line feeds) into lines of
// about 82 characters and appends them to `lines`.
void WrapText(char16_t* text, CLineList* lines);

class CAnimString : public CObject3d {
 public:
  CAnimString();
  ~CAnimString() override;
  int Layout(CApplication* app, const GlyphMetricsFloat* metrics, unsigned listBase, const char16_t* text);
  // Samples the clock and places the block; past its end the line ends.
  void Advance() override;
  void Prepare(const FrameView& view, FramePieces* pieces) override;
  int DrawView() override;  // 1 after drawing, 0 once the line has ended
  // The frame without GL: BeginFrame(t) places the block (or reports the
  // end), then NextLine yields each revealed line with its words and alphas
  // until it returns false. Draw issues the GL calls for what they produce.
  animtext::FrameBlock BeginFrame(float t);
  bool NextLine(animtext::FrameLine* out);

  unsigned listBase = 0;
  const char16_t* sourceText = nullptr;              // not owned
  const GlyphMetricsFloat* glyphMetrics = nullptr;   // not owned
  char16_t* textCopy = nullptr;
  CLineList* lines = nullptr;
  float revealRate = animtext::kRevealRate;
  float slotDelay = animtext::kSlotDelay;
  float centringWidth = 0.0f;
  float lineHeight = 0.0f;
  float verticalOffset = animtext::kVerticalOffset;
  float widestWidth = 0.0f;  // of the lines the centring measures (all but the last)
  float fitWidth = 0.0f;     // of every line: what the fit keeps in view
  int breakCounts[kMaxLines] = {};
  int breakPositions[kMaxLines][kMaxBreaks] = {};
  float wordAlpha[kMaxLines][kMaxBreaks] = {};
  float colour[3] = {};
  float readingTime = 0.0f;
  float fadeLength = animtext::kFadeLength;

 private:
  // The scale at which the block's rows fit the current view.
  float FitToView() const;
  void RewindLines();  // NextLine starts again at the first line
  // scale < 1 shrinks the line about its origin (the row is too wide).
  void DrawLine(const animtext::FrameBlock& block, const animtext::FrameLine& line, float scale) const;

  char16_t lineChars_[animtext::kLineChars] = {};  // kept characters of the current line
  float frameTime_ = 0.0f;
  int frameRevealed_ = 0;
  long long frameChar_ = 0;  // running character index
  int frameLine_ = 0;
  int frameSlots_ = 0;       // breaks of the lines before the current one
  bool frameOpen_ = false;

  // The extent of the text's glyphs about their origin: every point of one
  // lies within glyphReach_ of it across and glyphLow_..glyphHigh_ up.
  float glyphReach_ = 0.0f;
  float glyphLow_ = 0.0f;
  float glyphHigh_ = 0.0f;
  animtext::FrameBlock block_;  // of the last Advance
};
static_assert(animtext::kLineLimit == kMaxLines - 1 && animtext::kBreakLimit == kMaxBreaks - 1);
