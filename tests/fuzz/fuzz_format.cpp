// libFuzzer target: the UTF-16 text helpers. One conversion with flags,
// width, precision and length modifier from the input, its argument of the
// type the conversion takes, text around it and a buffer of any size; numbers
// must come out as the C library prints them, cut to the buffer. Then the
// UTF-8 and Windows-1251 conversions and the integer parse.
#include <fuzzer/FuzzedDataProvider.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Text.h"

namespace {

constexpr int kMaxField = 400;  // the formatter's clamp on width and precision

struct Directive {
  std::u16string prefix, suffix;
  std::string flags, length;
  bool starWidth = false, starPrecision = false, hasPrecision = false;
  long width = -1, precision = -1;  // written digits, -1 when absent
  int widthArg = 0, precisionArg = 0;
  char16_t conv = u'd';

  std::u16string Wide() const {
    std::u16string f = prefix + u"%";
    for (char c : Middle()) f.push_back(char16_t(uint8_t(c)));
    f.push_back(conv);
    return f + suffix;
  }
  // Flags, width, precision and length modifier, as written.
  std::string Middle() const {
    std::string m = flags;
    if (starWidth) m += '*';
    else if (width >= 0) m += std::to_string(width);
    if (hasPrecision) {
      m += '.';
      if (starPrecision) m += '*';
      else if (precision >= 0) m += std::to_string(precision);
    }
    return m + length;
  }
  // The same conversion for snprintf.
  std::string Narrow() const {
    std::string m = Middle();
    if (length == "I64") m.replace(m.size() - 3, 3, "ll");
    if (length == "w") m.back() = 'l';
    return "%" + m + char(conv);
  }
  // Whether the clamp leaves the C library's result untouched.
  bool Unclamped() const {
    if (starWidth && (widthArg == INT_MIN || std::labs(widthArg) > kMaxField)) return false;
    if (!starWidth && width > kMaxField) return false;
    if (starPrecision && precisionArg > kMaxField) return false;
    if (hasPrecision && !starPrecision && precision > kMaxField) return false;
    return true;
  }
};

template <typename... A>
size_t Run(const Directive& s, char16_t* out, size_t capacity, A... a) {
  const std::u16string f = s.Wide();
  if (s.starWidth && s.starPrecision) return text::Format(out, capacity, f.c_str(), s.widthArg, s.precisionArg, a...);
  if (s.starWidth) return text::Format(out, capacity, f.c_str(), s.widthArg, a...);
  if (s.starPrecision) return text::Format(out, capacity, f.c_str(), s.precisionArg, a...);
  return text::Format(out, capacity, f.c_str(), a...);
}

template <typename... A>
std::string Reference(const Directive& s, A... a) {
  const std::string f = s.Narrow();
  auto print = [&](char* buf, size_t n) {
    if (s.starWidth && s.starPrecision) return std::snprintf(buf, n, f.c_str(), s.widthArg, s.precisionArg, a...);
    if (s.starWidth) return std::snprintf(buf, n, f.c_str(), s.widthArg, a...);
    if (s.starPrecision) return std::snprintf(buf, n, f.c_str(), s.precisionArg, a...);
    return std::snprintf(buf, n, f.c_str(), a...);
  };
  const int n = print(nullptr, 0);
  if (n < 0) __builtin_trap();
  std::string r(size_t(n) + 1, '\0');
  print(r.data(), r.size());
  r.resize(size_t(n));
  return r;
}

std::u16string Widen(const std::string& s) {
  std::u16string w;
  for (char c : s) w.push_back(char16_t(uint8_t(c)));
  return w;
}

std::u16string Units(FuzzedDataProvider& in, size_t most, bool asciiOnly) {
  std::u16string s;
  const size_t n = in.ConsumeIntegralInRange<size_t>(0, most);
  for (size_t i = 0; i < n; ++i) {
    char16_t c = in.ConsumeIntegral<char16_t>();
    if (asciiOnly) c = char16_t(c % 0x7F);
    if (c == 0 || c == u'%') c = u'.';
    s.push_back(c);
  }
  return s;
}

// Output must be the expected text cut to the buffer, terminated.
void Expect(const std::u16string& expected, const char16_t* out, size_t capacity, size_t written) {
  const size_t keep = expected.size() < capacity - 1 ? expected.size() : capacity - 1;
  if (written != keep || out[keep] != 0 || expected.compare(0, keep, out, keep) != 0) __builtin_trap();
}

// An integer conversion: the argument has the type its length modifier
// names; an "L" takes a plain int and has no C library counterpart.
template <typename Int, typename Long, typename LongLong, typename Size>
void Integer(const Directive& s, FuzzedDataProvider& in, char16_t* out, size_t capacity, bool comparable) {
  const LongLong v = in.ConsumeIntegral<LongLong>();
  size_t n;
  std::string ref;
  if (s.length == "l" || s.length == "w") {
    n = Run(s, out, capacity, Long(v));
    if (comparable) ref = Reference(s, Long(v));
  } else if (s.length == "ll" || s.length == "j" || s.length == "I64") {
    n = Run(s, out, capacity, v);
    if (comparable) ref = Reference(s, v);
  } else if (s.length == "z" || s.length == "t") {
    n = Run(s, out, capacity, Size(v));
    if (comparable) ref = Reference(s, Size(v));
  } else {
    n = Run(s, out, capacity, Int(v));
    if (comparable) ref = Reference(s, Int(v));
  }
  if (comparable) Expect(s.prefix + Widen(ref) + s.suffix, out, capacity, n);
}

void FuzzFormat(FuzzedDataProvider& in) {
  Directive s;
  s.prefix = Units(in, 6, false);
  for (int i = in.ConsumeIntegralInRange(0, 4); i > 0; --i) s.flags += in.PickValueInArray({'-', '+', ' ', '#', '0'});
  switch (in.ConsumeIntegralInRange(0, 2)) {
    case 1: s.width = in.ConsumeIntegralInRange<long>(1, 9999999); break;
    case 2: s.starWidth = true; s.widthArg = in.ConsumeIntegral<int>(); break;
    default: break;
  }
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 1: s.hasPrecision = true; break;  // "." alone: precision 0
    case 2: s.hasPrecision = true; s.precision = in.ConsumeIntegralInRange<long>(0, 9999999); break;
    case 3: s.hasPrecision = s.starPrecision = true; s.precisionArg = in.ConsumeIntegral<int>(); break;
    default: break;
  }
  s.length = in.PickValueInArray({"", "", "hh", "h", "l", "ll", "z", "j", "t", "L", "I64", "w"});
  const char16_t convs[] = u"%cCsSdiuxXofFeEgGaApn";
  if (in.ConsumeIntegralInRange(0, 15) == 0) {
    s.conv = in.ConsumeIntegral<char16_t>();
    // Not a character that would read as part of the conversion.
    if (s.conv == 0 || (s.conv < 0x80 && std::strchr("-+ #0123456789.*hlLzjtIw", char(s.conv)))) s.conv = u'y';
  } else {
    s.conv = convs[in.ConsumeIntegralInRange<size_t>(0, sizeof convs / sizeof convs[0] - 2)];
  }
  s.suffix = Units(in, 6, false);
  const size_t capacity = in.ConsumeIntegralInRange<size_t>(1, 1200);
  std::vector<char16_t> buffer(capacity);
  char16_t* out = buffer.data();

  const bool intLength = s.length != "L";
  const bool floatLength = s.length.empty() || s.length == "L";
  const bool comparable = s.Unclamped();
  switch (s.conv) {
    case u'd':
    case u'i':
      Integer<int, long, long long, ptrdiff_t>(s, in, out, capacity, comparable && intLength);
      break;
    case u'u':
    case u'x':
    case u'X':
    case u'o':
      Integer<unsigned, unsigned long, unsigned long long, size_t>(s, in, out, capacity, comparable && intLength);
      break;
    case u'f':
    case u'F':
    case u'e':
    case u'E':
    case u'g':
    case u'G':
    case u'a':
    case u'A': {
      if (s.length == "L") {
        const long double v = in.ConsumeFloatingPoint<long double>();
        const size_t n = Run(s, out, capacity, v);
        if (comparable) Expect(s.prefix + Widen(Reference(s, v)) + s.suffix, out, capacity, n);
      } else {
        const double v = in.ConsumeFloatingPoint<double>();
        const size_t n = Run(s, out, capacity, v);
        if (comparable && floatLength) Expect(s.prefix + Widen(Reference(s, v)) + s.suffix, out, capacity, n);
      }
      break;
    }
    case u's':
    case u'S': {
      const bool narrow = s.conv == u'S' || s.length == "h";
      const bool null = in.ConsumeIntegralInRange(0, 7) == 0;
      const std::u16string arg = Units(in, 60, narrow);
      size_t n;
      if (narrow) {
        std::string bytes;
        for (char16_t c : arg) bytes.push_back(char(c));
        n = Run(s, out, capacity, null ? static_cast<const char*>(nullptr) : bytes.c_str());
      } else {
        n = Run(s, out, capacity, null ? static_cast<const char16_t*>(nullptr) : arg.c_str());
      }
      // Width pads with spaces, precision cuts, the other flags do nothing.
      if (comparable) {
        const std::u16string shown = null ? std::u16string(u"(null)") : arg;
        long w = s.starWidth ? s.widthArg : s.width;
        bool left = s.flags.find('-') != std::string::npos;
        if (w < 0 && s.starWidth) left = true, w = -w;
        long p = s.starPrecision ? s.precisionArg : (s.hasPrecision ? (s.precision < 0 ? 0 : s.precision) : -1);
        if (s.starPrecision && p < 0) p = -1;
        const std::u16string cut = p >= 0 && size_t(p) < shown.size() ? shown.substr(0, size_t(p)) : shown;
        const std::u16string pad(w > long(cut.size()) ? size_t(w) - cut.size() : 0, u' ');
        Expect(s.prefix + (left ? cut + pad : pad + cut) + s.suffix, out, capacity, n);
      }
      break;
    }
    case u'c':
    case u'C': {
      const size_t n = Run(s, out, capacity, in.ConsumeIntegral<int>());
      if (n >= capacity || out[n] != 0) __builtin_trap();
      break;
    }
    case u'p': {
      const size_t n = Run(s, out, capacity, static_cast<const void*>(out));
      if (n >= capacity || out[n] != 0) __builtin_trap();
      break;
    }
    case u'n': {
      int target = 12345;
      const size_t n = Run(s, out, capacity, &target);
      if (target != 12345 || n >= capacity || out[n] != 0) __builtin_trap();  // %n never writes
      break;
    }
    default: {
      // '%' and unknown conversions take no argument.
      const size_t n = Run(s, out, capacity);
      if (n >= capacity || out[n] != 0) __builtin_trap();
      break;
    }
  }
}

// Lone surrogates become U+FFFD; everything else survives UTF-8 and back.
void FuzzWide(FuzzedDataProvider& in) {
  std::u16string w;
  while (in.remaining_bytes() >= 2 && w.size() < 400) w.push_back(in.ConsumeIntegral<char16_t>());
  std::u16string expected = w;
  for (size_t i = 0; i < expected.size(); ++i) {
    const char16_t c = expected[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < expected.size() && expected[i + 1] >= 0xDC00 && expected[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      expected[i] = 0xFFFD;
    }
  }
  if (text::FromUtf8(text::ToUtf8(w)) != expected) __builtin_trap();
  // The C-string form stops at the first terminator.
  const std::string z = text::ToUtf8(w.c_str());
  if (z != text::ToUtf8(std::u16string(w.c_str()))) __builtin_trap();
  const size_t capacity = in.ConsumeIntegralInRange<size_t>(1, 64);
  std::vector<char16_t> copy(capacity);
  text::Copy(copy.data(), capacity, w.c_str());
  const size_t n = text::Len(copy.data());
  if (n >= capacity || std::u16string(w.c_str()).compare(0, n, copy.data(), n) != 0) __builtin_trap();
  if (!text::EqualsNoCase(copy.data(), copy.data()) || text::Compare(copy.data(), copy.data()) != 0) __builtin_trap();
}

// Any bytes: decoding yields no lone surrogate, and re-encoding is stable.
void FuzzBytes(FuzzedDataProvider& in) {
  const std::string bytes = in.ConsumeRemainingBytesAsString();
  const std::u16string w = text::FromUtf8(bytes);
  const std::string again = text::ToUtf8(w);
  if (text::FromUtf8(again) != w || text::ToUtf8(text::FromUtf8(again)) != again) __builtin_trap();
  bool ascii = true;
  for (char c : bytes) ascii = ascii && uint8_t(c) < 0x80;
  if (ascii && again != bytes) __builtin_trap();

  const std::string z(bytes.c_str());
  const std::u16string cyr = text::FromCp1251(z.c_str());
  if (cyr.size() != z.size()) __builtin_trap();
  for (size_t i = 0; i < z.size(); ++i) {
    const uint8_t b = uint8_t(z[i]);
    if ((b < 0x80 && cyr[i] != b) || (b >= 0xC0 && cyr[i] != char16_t(0x0410 + (b - 0xC0)))) __builtin_trap();
  }

  // As atoi with a 32-bit long: saturates.
  errno = 0;
  long long ref = std::strtoll(z.c_str(), nullptr, 10);
  ref = ref > INT_MAX ? INT_MAX : (ref < INT_MIN ? INT_MIN : ref);
  if (text::ParseIntA(z.c_str()) != ref) __builtin_trap();
  const std::u16string wz = Widen(z);
  if (text::ParseInt(wz.c_str()) != ref) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  switch (in.ConsumeIntegralInRange(0, 3)) {
    case 0:
    case 1: FuzzFormat(in); break;
    case 2: FuzzWide(in); break;
    default: FuzzBytes(in); break;
  }
  return 0;
}
