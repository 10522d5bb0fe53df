#include "scene/AnimString.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/GLHeaders.h"

using namespace animtext;

namespace {

constexpr char16_t kLineFeed = u'\n';
// Keeps a line's byte length (an int) from overflowing on absurd input.
constexpr size_t kMaxSegmentUnits = (INT_MAX - 2) / 2;

size_t UnitLength(const char16_t* s) {
  size_t n = 0;
  if (s != nullptr)
    while (s[n] != u'\0') ++n;
  return n;
}

int LineLength(const LineNode* node) {
  if (node == nullptr || node->text == nullptr || node->byteLength < 2) return 0;
  return (node->byteLength - 1) / 2;
}

}  // namespace

// ---- CLineList -------------------------------------------------------------

CLineList::CLineList() {
  first = last = cursor = new LineNode;
}

CLineList::~CLineList() {
  LineNode* node = first;
  while (node != nullptr) {
    LineNode* next = node->next;
    delete[] node->text;
    delete node;
    node = next;
  }
}

void CLineList::AppendLine(const char16_t* segment, int byteLength) {
  if (byteLength < 0 || segment == nullptr) byteLength = 0;
  const int units = byteLength / charSize;
  LineNode* node = last;
  if (count > 0) {
    node = new LineNode;
    node->previous = last;
    last->next = node;
    last = node;
  }
  // An empty segment has no last unit to look at; it becomes an empty line.
  const bool terminated = units > 0 && segment[units - 1] == u'\0';
  const int bufferUnits = terminated ? units : units + 1;
  char16_t* buffer = new char16_t[bufferUnits]();
  if (units > 0) std::memcpy(buffer, segment, sizeof(char16_t) * units);
  delete[] node->text;
  node->text = buffer;
  node->byteLength = bufferUnits * charSize;
  ++count;
}

// ---- WrapText --------------------------------------------------------------

void WrapText(char16_t* text, CLineList* lines) {
  if (text == nullptr || lines == nullptr) return;
  const size_t length = UnitLength(text);
  const size_t end = length + 1;  // just after the terminator
  size_t lineStart = 0;
  size_t lastBreak = SIZE_MAX;
  size_t p = 0;
  // Both searches only move forward, so a long text wraps in linear time.
  size_t space = 0;
  size_t feed = 0;
  while (p < end) {
    if (space < p) space = p;
    while (space < length && text[space] != u' ') ++space;
    if (feed < p) feed = p;
    while (feed < length && text[feed] != kLineFeed) ++feed;
    if (space >= length) break;
    if (feed < length && feed - lineStart < static_cast<size_t>(kWrapColumns)) {
      lineStart = feed + 1;
      lastBreak = feed;
      p = feed + 1;
    } else {
      if (space - lineStart > static_cast<size_t>(kWrapColumns) && lastBreak != SIZE_MAX) {
        text[lastBreak] = kLineFeed;
        lineStart = lastBreak + 1;
      }
      lastBreak = space;
      p = space + 1;
    }
  }
  if (end - lineStart > static_cast<size_t>(kWrapColumns) && lastBreak != SIZE_MAX) text[lastBreak] = kLineFeed;

  size_t start = 0;
  for (size_t i = 0; i <= length; ++i) {
    const bool isEnd = i == length;
    if (!isEnd && text[i] != kLineFeed) continue;
    size_t units = isEnd ? i + 1 - start : i - start;  // the last line keeps its terminator
    if (units > kMaxSegmentUnits) units = kMaxSegmentUnits;
    lines->AppendLine(text + start, static_cast<int>(units * sizeof(char16_t)));
    start = i + 1;
  }
}

// ---- CAnimString -----------------------------------------------------------

CAnimString::CAnimString() {
  active = 1;
  std::strncpy(typeTag, "AnimString", sizeof(typeTag) - 1);
}

CAnimString::~CAnimString() {
  delete[] textCopy;
  delete lines;
}

int CAnimString::Layout(CApplication* app, const GlyphMetricsFloat* metrics, unsigned base, const char16_t* text) {
  slotDelay = kSlotDelay;
  readingTime = 0.0f;
  revealRate = kRevealRate;
  fadeLength = kFadeLength;
  context = app;
  glyphMetrics = metrics;
  listBase = base;
  sourceText = text;

  delete[] textCopy;
  delete lines;
  const size_t length = UnitLength(text);
  textCopy = new char16_t[length + 1];
  if (length > 0) std::memcpy(textCopy, text, sizeof(char16_t) * length);
  textCopy[length] = u'\0';
  lines = new CLineList;
  WrapText(textCopy, lines);

  // Lines past the table limit are neither timed nor drawn: the text is
  // treated as if it ended at line kLineLimit.
  const int used = lines->count < kLineLimit ? lines->count : kLineLimit;
  const int measured = used <= 1 ? used : used - 1;
  centringWidth = 1000000.0f;
  widestWidth = 0.0f;
  fitWidth = 0.0f;
  const LineNode* node = lines->first;
  for (int line = 1; line <= used && node != nullptr; ++line, node = node->next) {
    const float width = LineWidth(metrics, node->text, LineLength(node));
    if (width > fitWidth) fitWidth = width;
    if (line > measured) continue;
    if (width < centringWidth) centringWidth = width;
    if (width > widestWidth) widestWidth = width;
  }
  if (measured == 0) centringWidth = 0.0f;
  lineHeight = kLineHeightFactor * (metrics != nullptr ? metrics[u')'].gmfBlackBoxY : 0.0f);

  glyphReach_ = glyphLow_ = glyphHigh_ = 0.0f;
  node = lines->first;
  for (int line = 1; line <= used && node != nullptr && metrics != nullptr; ++line, node = node->next) {
    const int n = LineLength(node);
    for (int i = 0; i < n && i < kLineChars; ++i) {
      if (!HasGlyph(node->text[i])) continue;
      const GlyphMetricsFloat& m = metrics[node->text[i]];
      glyphReach_ = std::max({glyphReach_, std::fabs(m.gmfptGlyphOrigin.x),
                              std::fabs(m.gmfptGlyphOrigin.x + m.gmfBlackBoxX)});
      glyphLow_ = std::min(glyphLow_, m.gmfptGlyphOrigin.y - m.gmfBlackBoxY);
      glyphHigh_ = std::max(glyphHigh_, m.gmfptGlyphOrigin.y);
    }
  }

  std::memset(breakCounts, 0, sizeof(breakCounts));
  std::memset(breakPositions, 0, sizeof(breakPositions));
  std::memset(wordAlpha, 0, sizeof(wordAlpha));
  node = lines->first;
  for (int line = 1; line <= used && node != nullptr; ++line, node = node->next) {
    const int n = LineLength(node);
    breakCounts[line] = RecordBreaks(node->text, n, n, false, breakPositions[line]);
  }
  readingTime = 0.0f;
  for (int line = 1; line <= used - 1; ++line)
    readingTime += static_cast<float>(breakCounts[line] + 1) * slotDelay;

  for (int i = 0; i < 3; ++i) colour[i] = kColour[i];
  verticalOffset = kVerticalOffset;
  frameOpen_ = false;
  block_ = FrameBlock();
  return 1;
}

FrameBlock CAnimString::BeginFrame(float t) {
  RescaleReadingTime(readingTime, slotDelay);
  FrameBlock block;
  block.t = t;
  frameOpen_ = false;
  if (IsFinished(t, readingTime)) {
    block.finished = 1;
    return block;
  }
  centringWidth = (widestWidth + centringWidth) * 0.5f;
  block.x = -centringWidth * 0.5f;
  block.y = verticalOffset;
  block.z = FlightDepth(t, readingTime);
  block.spinning = IsFlying(t, readingTime) ? 1 : 0;
  block.spinAngle = SpinAngle(t, readingTime);
  block.revealed = RevealedIndex(t, revealRate);

  frameTime_ = t;
  frameRevealed_ = block.revealed;
  RewindLines();
  return block;
}

void CAnimString::RewindLines() {
  frameChar_ = 0;
  frameLine_ = 0;
  frameSlots_ = 0;
  if (lines != nullptr) {
    lines->cursor = lines->first;
    frameOpen_ = true;
  }
}

bool CAnimString::NextLine(FrameLine* out) {
  if (!frameOpen_ || out == nullptr) return false;
  const int used = lines->count < kLineLimit ? lines->count : kLineLimit;
  if (frameLine_ >= used || lines->cursor == nullptr) {
    frameOpen_ = false;
    return false;
  }
  const int line = ++frameLine_;
  breakCounts[line] = 0;
  if (frameChar_ > frameRevealed_) {  // not revealed yet, nor any line after it
    frameOpen_ = false;
    return false;
  }
  const LineNode* node = lines->cursor;
  lines->cursor = node->next;
  const int n = LineLength(node);

  const long long available = frameRevealed_ - frameChar_ + 1;
  const int revealed = available < n ? static_cast<int>(available) : n;
  const int kept = revealed < kLineChars ? revealed : kLineChars;
  if (kept > 0) std::memcpy(lineChars_, node->text, sizeof(char16_t) * kept);
  const int count = RecordBreaks(node->text, n, revealed, true, breakPositions[line]);
  breakCounts[line] = count;
  frameChar_ += n;

  const int firstSlot = frameSlots_;
  frameSlots_ += count;
  int drawn = 0;
  for (int word = 0; word <= count; ++word) {
    const float alpha = WordAlpha(frameTime_, readingTime, slotDelay, firstSlot + word);
    wordAlpha[line][word] = alpha;
    if (alpha <= 0.0f) break;
    ++drawn;
  }

  out->number = line;
  out->y = -lineHeight * static_cast<float>(line);
  out->chars = lineChars_;
  out->kept = kept;
  out->breakCount = count;
  out->breaks = breakPositions[line];
  out->alphas = wordAlpha[line];
  out->drawnWords = drawn;
  return true;
}

void CAnimString::Advance() {
  if (clock == nullptr) return;
  clock->Sample();
  block_ = BeginFrame(clock->elapsed);
  if (block_.finished) active = 0;
}

float CAnimString::FitToView() const {
  // Rows too wide for the view are drawn smaller, about each line's own
  // origin, so that every line, from the block's left edge to the widest
  // one's end, fits at the block's resting depth.
  GLfloat modelview[16];
  GLfloat projection[16];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  return FitScale(modelview, projection, block_.x, block_.x + fitWidth, verticalOffset - lineHeight, 0.0f, kFitLimit);
}

void CAnimString::Prepare(const FrameView& view, FramePieces* pieces) {
  if (block_.finished || lines == nullptr) return;
  const float scale = FitToView();
  RewindLines();
  // One piece per drawn word. A glyph lies within glyphReach_ of its origin
  // along the row, and spinning turns it about that origin.
  const float depth = block_.spinning ? glyphReach_ : 0.0f;
  FrameLine line;
  while (NextLine(&line)) {
    glPushMatrix();
    glTranslatef(block_.x * scale, block_.y, block_.z);
    glTranslatef(0.0f, line.y, 0.0f);
    if (scale < 1.0f) glScalef(scale, scale, scale);
    GLfloat modelview[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glPopMatrix();
    float x = 0.0f;
    for (int word = 0; word < line.drawnWords; ++word) {
      int begin = 0;
      int end = 0;
      WordRange(line, word, &begin, &end);
      const float start = x;
      for (int i = begin; i < end; ++i) x += GlyphWidth(glyphMetrics, line.chars[i]);
      const float lo[3] = {start - glyphReach_, glyphLow_, -depth};
      const float hi[3] = {x + glyphReach_, glyphHigh_, depth};
      StateDigest digest;
      digest.Add(modelview).Add(block_.spinAngle).Add(start).Add(line.alphas[word]);
      digest.Add(line.chars + begin, sizeof(char16_t) * static_cast<size_t>(end - begin));
      pieces->push_back({ProjectedBoxRect(modelview, view, lo, hi), digest.Value()});
    }
  }
}

int CAnimString::DrawView() {
  if (block_.finished || lines == nullptr) return 0;
  const FrameBlock block = block_;
  const float scale = FitToView();
  RewindLines();
  glPushMatrix();
  glTranslatef(block.x * scale, block.y, block.z);
  FrameLine line;
  while (NextLine(&line)) DrawLine(block, line, scale);
  glPopMatrix();
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);  // the model drawn next relies on white
  return 1;
}

void CAnimString::DrawLine(const FrameBlock& block, const FrameLine& line, float scale) const {
  glPushMatrix();
  glTranslatef(0.0f, line.y, 0.0f);
  if (scale < 1.0f) glScalef(scale, scale, scale);
  glPushAttrib(GL_LIST_BIT);
  glListBase(listBase);
  float previousAlpha = -1.0f;
  float x = 0.0f;
  for (int word = 0; word < line.drawnWords; ++word) {
    const float alpha = line.alphas[word];
    if (alpha != previousAlpha) {
      glColor4f(colour[0] * alpha, colour[1] * alpha, colour[2] * alpha, alpha);
      previousAlpha = alpha;
    }
    int begin = 0;
    int end = 0;
    WordRange(line, word, &begin, &end);
    for (int i = begin; i < end; ++i) {
      const char16_t ch = line.chars[i];
      if (!HasGlyph(ch)) continue;
      const GLint code = ch;
      if (!block.spinning) {
        glCallLists(1, GL_INT, &code);  // draws and advances by the glyph's width
        continue;
      }
      glPushMatrix();
      glTranslatef(x, 0.0f, 0.0f);
      x += GlyphWidth(glyphMetrics, ch);
      glPushMatrix();
      glRotatef(block.spinAngle, 0.0f, 1.0f, 0.0f);
      glCallLists(1, GL_INT, &code);
      glPopMatrix();
      glPopMatrix();
    }
  }
  glPopAttrib();
  glPopMatrix();
}
