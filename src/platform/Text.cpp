#include "platform/Text.h"

#include <climits>
#include <cstdio>
#include <cstring>

#include "platform/Platform.h"

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

// ---- formatter ---------------------------------------------------------------

namespace {

// Bounded sink: keeps capacity-1 units and the terminator, counts what it kept.
struct Sink {
  char16_t* out;
  size_t capacity;
  size_t pos = 0;
  void Put(char16_t c) {
    if (pos + 1 < capacity) out[pos++] = c;
  }
  void Repeat(char16_t c, int n) {
    for (int i = 0; i < n; ++i) Put(c);
  }
  void PutAscii(const char* s) {
    for (; *s; ++s) Put(char16_t(static_cast<unsigned char>(*s)));
  }
};

// Width and precision come from the format text or an argument; a hostile or
// mistaken value must not make us spin or overflow the narrow scratch buffer.
constexpr int kMaxField = 400;

int ClampField(long v) { return v < 0 ? 0 : (v > kMaxField ? kMaxField : int(v)); }

enum class LenMod { None, hh, h, l, ll, z, j, t, L };

}  // namespace

size_t VFormat(char16_t* out, size_t capacity, const char16_t* fmt, va_list args) {
  if (!out || capacity == 0) return 0;
  Sink sink{out, capacity};
  if (!fmt) {
    out[0] = 0;
    return 0;
  }
  va_list ap;
  va_copy(ap, args);
  const char16_t* p = fmt;
  while (*p) {
    if (*p != u'%') {
      sink.Put(*p++);
      continue;
    }
    const char16_t* start = p++;
    bool left = false, plus = false, space = false, alt = false, zero = false;
    for (;; ++p) {
      if (*p == u'-') left = true;
      else if (*p == u'+') plus = true;
      else if (*p == u' ') space = true;
      else if (*p == u'#') alt = true;
      else if (*p == u'0') zero = true;
      else break;
    }
    int width = -1;
    if (*p == u'*') {
      const int w = va_arg(ap, int);
      if (w < 0) left = true;
      // Negated as unsigned: INT_MIN has no negation in int, nor in a 32-bit long.
      const unsigned magnitude = w < 0 ? 0u - static_cast<unsigned>(w) : static_cast<unsigned>(w);
      width = magnitude > unsigned(kMaxField) ? kMaxField : int(magnitude);
      ++p;
    } else if (*p >= u'0' && *p <= u'9') {
      long w = 0;
      while (*p >= u'0' && *p <= u'9') {
        if (w < 100000) w = w * 10 + (*p - u'0');
        ++p;
      }
      width = ClampField(w);
    }
    int precision = -1;
    if (*p == u'.') {
      ++p;
      if (*p == u'*') {
        int pr = va_arg(ap, int);
        precision = pr < 0 ? -1 : ClampField(pr);
        ++p;
      } else {
        long pr = 0;
        while (*p >= u'0' && *p <= u'9') {
          if (pr < 100000) pr = pr * 10 + (*p - u'0');
          ++p;
        }
        precision = ClampField(pr);
      }
    }
    LenMod len = LenMod::None;
    if (*p == u'h') {
      ++p;
      len = LenMod::h;
      if (*p == u'h') {
        ++p;
        len = LenMod::hh;
      }
    } else if (*p == u'l') {
      ++p;
      len = LenMod::l;
      if (*p == u'l') {
        ++p;
        len = LenMod::ll;
      }
    } else if (*p == u'z') {
      ++p;
      len = LenMod::z;
    } else if (*p == u'j') {
      ++p;
      len = LenMod::j;
    } else if (*p == u't') {
      ++p;
      len = LenMod::t;
    } else if (*p == u'L') {
      ++p;
      len = LenMod::L;
    } else if (*p == u'I' && p[1] == u'6' && p[2] == u'4') {
      p += 3;
      len = LenMod::ll;
    } else if (*p == u'w') {
      ++p;
      len = LenMod::l;
    }
    const char16_t conv = *p;
    if (!conv) {
      // A lone '%' at the end: print what was there.
      for (const char16_t* q = start; q < p; ++q) sink.Put(*q);
      break;
    }
    ++p;

    // Narrow conversion for the numeric conversions handed to snprintf.
    char conversion[32];
    size_t sp = 0;
    auto specAdd = [&](char c) {
      if (sp + 1 < sizeof conversion) conversion[sp++] = c;
    };
    auto buildDirective = [&](const char* lengthMod, char c) {
      sp = 0;
      specAdd('%');
      if (left) specAdd('-');
      if (plus) specAdd('+');
      if (space) specAdd(' ');
      if (alt) specAdd('#');
      if (zero) specAdd('0');
      specAdd('*');
      specAdd('.');
      specAdd('*');
      for (const char* m = lengthMod; *m; ++m) specAdd(*m);
      specAdd(c);
      conversion[sp] = 0;
    };
    // The clamps bound width and precision, not the digits of a value: a
    // long double runs to almost 5000 of them.
    auto putNumber = [&](auto v) {
      const int w = width < 0 ? 0 : width;
      char num[kMaxField * 2 + 64];
      const int n = std::snprintf(num, sizeof num, conversion, w, precision, v);
      if (n < 0) return;
      if (size_t(n) < sizeof num) {
        sink.PutAscii(num);
        return;
      }
      std::string big(size_t(n) + 1, '\0');
      std::snprintf(big.data(), big.size(), conversion, w, precision, v);
      sink.PutAscii(big.c_str());
    };

    switch (conv) {
      case u'%':
        sink.Put(u'%');
        break;
      case u'c':
      case u'C': {
        const int ch = va_arg(ap, int);
        const int pad = width > 1 ? width - 1 : 0;
        if (!left) sink.Repeat(u' ', pad);
        sink.Put(len == LenMod::h || len == LenMod::hh ? char16_t(static_cast<unsigned char>(ch))
                                                 : char16_t(ch));
        if (left) sink.Repeat(u' ', pad);
        break;
      }
      case u's':
      case u'S': {
        std::u16string widened;
        const char16_t* s;
        // %hs (and %S, as the Windows wide printf has it) take 8-bit text.
        if (len == LenMod::h || conv == u'S') {
          const char* a = va_arg(ap, const char*);
          widened = a ? plat::AnsiToUtf16(a) : std::u16string(u"(null)");
          s = widened.c_str();
        } else {
          s = va_arg(ap, const char16_t*);
          if (!s) s = u"(null)";
        }
        size_t n = 0;
        while (s[n] && (precision < 0 || n < size_t(precision))) ++n;
        const int pad = width > int(n) ? width - int(n) : 0;
        if (!left) sink.Repeat(u' ', pad);
        for (size_t i = 0; i < n; ++i) sink.Put(s[i]);
        if (left) sink.Repeat(u' ', pad);
        break;
      }
      case u'd':
      case u'i': {
        long long v;
        switch (len) {
          case LenMod::l: v = va_arg(ap, long); break;
          case LenMod::ll:
          case LenMod::j: v = va_arg(ap, long long); break;
          case LenMod::z:
          case LenMod::t: v = static_cast<long long>(va_arg(ap, ptrdiff_t)); break;
          case LenMod::hh: v = static_cast<signed char>(va_arg(ap, int)); break;
          case LenMod::h: v = static_cast<short>(va_arg(ap, int)); break;
          default: v = va_arg(ap, int); break;
        }
        buildDirective("ll", 'd');
        putNumber(v);
        break;
      }
      case u'u':
      case u'x':
      case u'X':
      case u'o': {
        unsigned long long v;
        switch (len) {
          case LenMod::l: v = va_arg(ap, unsigned long); break;
          case LenMod::ll:
          case LenMod::j: v = va_arg(ap, unsigned long long); break;
          case LenMod::z:
          case LenMod::t: v = va_arg(ap, size_t); break;
          case LenMod::hh: v = static_cast<unsigned char>(va_arg(ap, unsigned)); break;
          case LenMod::h: v = static_cast<unsigned short>(va_arg(ap, unsigned)); break;
          default: v = va_arg(ap, unsigned); break;
        }
        buildDirective("ll", char(conv));
        putNumber(v);
        break;
      }
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A': {
        if (len == LenMod::L) {
          long double v = va_arg(ap, long double);
          buildDirective("L", char(conv));
          putNumber(v);
        } else {
          double v = va_arg(ap, double);
          buildDirective("", char(conv));
          putNumber(v);
        }
        break;
      }
      case u'p': {
        const void* v = va_arg(ap, const void*);
        char num[32];
        std::snprintf(num, sizeof num, "0x%0*llX", int(sizeof(void*) * 2),
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(v)));
        const int n = int(std::strlen(num));
        const int pad = width > n ? width - n : 0;
        if (!left) sink.Repeat(u' ', pad);
        sink.PutAscii(num);
        if (left) sink.Repeat(u' ', pad);
        break;
      }
      case u'n':
        // Writing through a caller's pointer from format text is never wanted.
        (void)va_arg(ap, void*);
        break;
      default:
        // Unknown conversion: reproduce it literally, consume nothing.
        for (const char16_t* q = start; q < p; ++q) sink.Put(*q);
        break;
    }
  }
  va_end(ap);
  out[sink.pos] = 0;
  return sink.pos;
}

size_t Format(char16_t* out, size_t capacity, const char16_t* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  const size_t n = VFormat(out, capacity, fmt, args);
  va_end(args);
  return n;
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

template <typename Ch>
static int32_t ParseIntT(const Ch* s) {
  if (!s) return 0;
  while (*s == ' ' || *s == '\t' || *s == '\n' || *s == '\v' || *s == '\f' || *s == '\r') ++s;
  bool neg = false;
  if (*s == '+' || *s == '-') neg = (*s++ == '-');
  long long v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    if (v <= 0x100000000LL) v = v * 10 + (*s - '0');
  }
  if (neg) v = -v;
  // Out of range saturates, as the C library's conversion with a 32-bit long does.
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return int32_t(v);
}

int32_t ParseInt(const char16_t* s) { return ParseIntT(s); }
int32_t ParseIntA(const char* s) { return ParseIntT(s); }

}  // namespace text
