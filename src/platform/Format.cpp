// text::VFormat and text::Format: printf conversions into bounded UTF-16
// buffers, one function per conversion.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace text {

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

// One conversion of the format text after its '%'.
struct Directive {
  bool left = false, plus = false, space = false, alt = false, zero = false;
  int width = -1;      // -1: none given
  int precision = -1;  // -1: none given
  LenMod len = LenMod::None;
  char16_t conv = 0;   // 0: the text ended inside the directive

  // Reads flags, width, precision and length from `p` (just past the '%'),
  // taking starred values from `ap`; returns where the conversion letter is.
  const char16_t* Parse(const char16_t* p, va_list& ap);
};

const char16_t* Directive::Parse(const char16_t* p, va_list& ap) {
  for (;; ++p) {
    if (*p == u'-') left = true;
    else if (*p == u'+') plus = true;
    else if (*p == u' ') space = true;
    else if (*p == u'#') alt = true;
    else if (*p == u'0') zero = true;
    else break;
  }
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
  conv = *p;
  return p;
}

// `put` writes `n` units; the field is padded with spaces to the width.
template <typename Put>
void Padded(Sink& sink, const Directive& d, int n, Put put) {
  const int pad = d.width > n ? d.width - n : 0;
  if (!d.left) sink.Repeat(u' ', pad);
  put();
  if (d.left) sink.Repeat(u' ', pad);
}

// Numbers go through snprintf with the directive's flags, both fields
// starred, the given length modifier and conversion letter. The clamps bound
// width and precision, not the digits of a value: a long double runs to
// almost 5000 of them.
template <typename T>
void PutNumber(Sink& sink, const Directive& d, const char* lengthMod, char c, T v) {
  char conversion[32];
  size_t sp = 0;
  auto specAdd = [&](char ch) {
    if (sp + 1 < sizeof conversion) conversion[sp++] = ch;
  };
  specAdd('%');
  if (d.left) specAdd('-');
  if (d.plus) specAdd('+');
  if (d.space) specAdd(' ');
  if (d.alt) specAdd('#');
  if (d.zero) specAdd('0');
  specAdd('*');
  specAdd('.');
  specAdd('*');
  for (const char* m = lengthMod; *m; ++m) specAdd(*m);
  specAdd(c);
  conversion[sp] = 0;

  const int w = d.width < 0 ? 0 : d.width;
  char num[kMaxField * 2 + 64];
  const int n = std::snprintf(num, sizeof num, conversion, w, d.precision, v);
  if (n < 0) return;
  if (size_t(n) < sizeof num) {
    sink.PutAscii(num);
    return;
  }
  std::string big(size_t(n) + 1, '\0');
  std::snprintf(big.data(), big.size(), conversion, w, d.precision, v);
  sink.PutAscii(big.c_str());
}

void PutChar(Sink& sink, const Directive& d, va_list& ap) {
  const int ch = va_arg(ap, int);
  Padded(sink, d, 1, [&] {
    sink.Put(d.len == LenMod::h || d.len == LenMod::hh ? char16_t(static_cast<unsigned char>(ch)) : char16_t(ch));
  });
}

void PutString(Sink& sink, const Directive& d, va_list& ap) {
  std::u16string widened;
  const char16_t* s;
  // %hs (and %S, as the Windows wide printf has it) take 8-bit text.
  if (d.len == LenMod::h || d.conv == u'S') {
    const char* a = va_arg(ap, const char*);
    widened = a ? plat::AnsiToUtf16(a) : std::u16string(u"(null)");
    s = widened.c_str();
  } else {
    s = va_arg(ap, const char16_t*);
    if (!s) s = u"(null)";
  }
  size_t n = 0;
  while (s[n] && (d.precision < 0 || n < size_t(d.precision))) ++n;
  Padded(sink, d, int(n), [&] {
    for (size_t i = 0; i < n; ++i) sink.Put(s[i]);
  });
}

void PutSigned(Sink& sink, const Directive& d, va_list& ap) {
  long long v;
  switch (d.len) {
    case LenMod::l: v = va_arg(ap, long); break;
    case LenMod::ll:
    case LenMod::j: v = va_arg(ap, long long); break;
    case LenMod::z:
    case LenMod::t: v = static_cast<long long>(va_arg(ap, ptrdiff_t)); break;
    case LenMod::hh: v = static_cast<signed char>(va_arg(ap, int)); break;
    case LenMod::h: v = static_cast<short>(va_arg(ap, int)); break;
    default: v = va_arg(ap, int); break;
  }
  PutNumber(sink, d, "ll", 'd', v);
}

void PutUnsigned(Sink& sink, const Directive& d, va_list& ap) {
  unsigned long long v;
  switch (d.len) {
    case LenMod::l: v = va_arg(ap, unsigned long); break;
    case LenMod::ll:
    case LenMod::j: v = va_arg(ap, unsigned long long); break;
    case LenMod::z:
    case LenMod::t: v = va_arg(ap, size_t); break;
    case LenMod::hh: v = static_cast<unsigned char>(va_arg(ap, unsigned)); break;
    case LenMod::h: v = static_cast<unsigned short>(va_arg(ap, unsigned)); break;
    default: v = va_arg(ap, unsigned); break;
  }
  PutNumber(sink, d, "ll", char(d.conv), v);
}

void PutFloating(Sink& sink, const Directive& d, va_list& ap) {
  if (d.len == LenMod::L)
    PutNumber(sink, d, "L", char(d.conv), va_arg(ap, long double));
  else
    PutNumber(sink, d, "", char(d.conv), va_arg(ap, double));
}

void PutPointer(Sink& sink, const Directive& d, va_list& ap) {
  const void* v = va_arg(ap, const void*);
  char num[32];
  std::snprintf(num, sizeof num, "0x%0*llX", int(sizeof(void*) * 2),
                static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(v)));
  Padded(sink, d, int(std::strlen(num)), [&] { sink.PutAscii(num); });
}

void PutPercent(Sink& sink, const Directive&, va_list&) { sink.Put(u'%'); }

// Writing through a caller's pointer from format text is never wanted.
void SkipCount(Sink&, const Directive&, va_list& ap) { (void)va_arg(ap, void*); }

using Conversion = void (*)(Sink&, const Directive&, va_list&);

Conversion ConversionFor(char16_t letter) {
  static constexpr struct {
    const char16_t* letters;
    Conversion put;
  } kConversions[] = {
      {u"%", PutPercent},      {u"cC", PutChar},   {u"sS", PutString},       {u"di", PutSigned},
      {u"uxXo", PutUnsigned},  {u"p", PutPointer}, {u"fFeEgGaA", PutFloating}, {u"n", SkipCount},
  };
  for (const auto& c : kConversions)
    for (const char16_t* l = c.letters; *l; ++l)
      if (*l == letter) return c.put;
  return nullptr;
}

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
    Directive d;
    p = d.Parse(p, ap);
    if (!d.conv) {
      // A lone '%' at the end: print what was there.
      for (const char16_t* q = start; q < p; ++q) sink.Put(*q);
      break;
    }
    ++p;
    if (const Conversion put = ConversionFor(d.conv)) {
      put(sink, d, ap);
    } else {
      // Unknown conversion: reproduce it literally, consume nothing.
      for (const char16_t* q = start; q < p; ++q) sink.Put(*q);
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

}  // namespace text
