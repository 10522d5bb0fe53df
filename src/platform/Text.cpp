#include "platform/Text.h"

namespace text {

size_t Len(const char16_t* s) {
  if (!s) return 0;
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

void Copy(char16_t* dst, size_t capacity, const char16_t* src) {
  if (!dst || capacity == 0) return;
  size_t i = 0;
  if (src) {
    for (; i + 1 < capacity && src[i]; ++i) dst[i] = src[i];
  }
  dst[i] = 0;
}

int Compare(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  while (*a && *a == *b) {
    ++a;
    ++b;
  }
  return *a < *b ? -1 : (*a > *b ? 1 : 0);
}

static char16_t FoldAscii(char16_t c) { return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c; }

bool EqualsNoCase(const char16_t* a, const char16_t* b) {
  if (!a) a = u"";
  if (!b) b = u"";
  while (*a && FoldAscii(*a) == FoldAscii(*b)) {
    ++a;
    ++b;
  }
  return FoldAscii(*a) == FoldAscii(*b);
}

// ---- encodings -------------------------------------------------------------

std::u16string FromUtf8(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  const auto* b = reinterpret_cast<const unsigned char*>(s.data());
  const size_t n = s.size();
  size_t i = 0;
  while (i < n) {
    const unsigned c = b[i];
    if (c < 0x80) {
      out.push_back(char16_t(c));
      ++i;
      continue;
    }
    int extra;
    uint32_t cp, min;
    if ((c & 0xE0) == 0xC0) {
      extra = 1, cp = c & 0x1F, min = 0x80;
    } else if ((c & 0xF0) == 0xE0) {
      extra = 2, cp = c & 0x0F, min = 0x800;
    } else if ((c & 0xF8) == 0xF0) {
      extra = 3, cp = c & 0x07, min = 0x10000;
    } else {
      out.push_back(u'\xFFFD');
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; k <= extra; ++k) {
      if (i + size_t(k) >= n || (b[i + k] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      cp = (cp << 6) | (b[i + k] & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(u'\xFFFD');
      ++i;  // resynchronise on the next byte
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(char16_t(0xD800 + (cp >> 10)));
      out.push_back(char16_t(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(char16_t(cp));
    }
    i += size_t(extra) + 1;
  }
  return out;
}

static void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(char(cp));
  } else if (cp < 0x800) {
    out.push_back(char(0xC0 | (cp >> 6)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(char(0xE0 | (cp >> 12)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(char(0xF0 | (cp >> 18)));
    out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(char(0x80 | (cp & 0x3F)));
  }
}

static std::string ToUtf8(const char16_t* s, size_t n) {
  std::string out;
  out.reserve(n);
  for (size_t i = 0; i < n; ++i) {
    uint32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;  // lone surrogate
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string ToUtf8(const std::u16string& s) { return ToUtf8(s.data(), s.size()); }
std::string ToUtf8(const char16_t* s) { return ToUtf8(s ? s : u"", Len(s)); }

std::u16string FromCp1251(const char* s) {
  static constexpr char16_t kHigh[64] = {
      0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
      0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
      0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
      0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
      0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
      0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
      0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
      0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
  };
  std::u16string out;
  if (!s) return out;
  for (const auto* p = reinterpret_cast<const unsigned char*>(s); *p; ++p) {
    const unsigned c = *p;
    if (c < 0x80) out.push_back(char16_t(c));
    else if (c < 0xC0) out.push_back(kHigh[c - 0x80]);
    else out.push_back(char16_t(0x0410 + (c - 0xC0)));
  }
  return out;
}

namespace {

// Digits from s up to end or the first non-digit; false when there are none.
// Saturates beyond the 32-bit range.
template <typename Ch>
bool Digits(const Ch*& s, const Ch* end, bool negative, int32_t* out) {
  const Ch* first = s;
  long long v = 0;
  for (; s != end && *s >= '0' && *s <= '9'; ++s)
    if (v <= 0x100000000LL) v = v * 10 + (*s - '0');
  if (negative) v = -v;
  *out = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : int32_t(v);
  return s != first;
}

template <typename Ch>
bool Sign(const Ch*& s, const Ch* end) {
  if (s == end || (*s != '+' && *s != '-')) return false;
  return *s++ == '-';
}

template <typename Ch>
int32_t ParseIntT(const Ch* s, const Ch* end) {
  if (!s) return 0;
  while (s != end && (*s == ' ' || (*s >= '\t' && *s <= '\r'))) ++s;
  const bool negative = Sign(s, end);
  int32_t v = 0;
  Digits(s, end, negative, &v);
  return v;
}

template <typename Ch>
bool ParseBoundedIntT(const Ch* s, int low, int high, int* out) {
  if (!s) return false;
  const bool negative = Sign(s, static_cast<const Ch*>(nullptr));
  int32_t v = 0;
  if (!Digits(s, static_cast<const Ch*>(nullptr), negative, &v) || *s != 0 || v < low || v > high) return false;
  *out = v;
  return true;
}

}  // namespace

int32_t ParseInt(const char16_t* s) { return ParseIntT(s, static_cast<const char16_t*>(nullptr)); }
int32_t ParseIntA(const char* s, size_t length) {
  if (!s) return 0;
  // Stops at a terminator as well, so the default length reads to it.
  const char* end = s;
  while (size_t(end - s) < length && *end != 0) ++end;
  return ParseIntT(s, end);
}
bool ParseBoundedInt(const char* s, int low, int high, int* out) { return ParseBoundedIntT(s, low, high, out); }
bool ParseBoundedInt(const char16_t* s, int low, int high, int* out) { return ParseBoundedIntT(s, low, high, out); }

}  // namespace text
