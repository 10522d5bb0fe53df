#pragma once
#include <cstdint>
#include "model/Object3d.h"
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
  int Draw() override;  // 1 after drawing, 0 when it has just ended
  // Further members (the frame computation kept apart from GL so it can be
  // tested without a context) are declared by the implementation.
};
