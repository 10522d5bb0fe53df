#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/Text.h"

namespace {

std::string Narrow(const char16_t* s) { return text::ToUtf8(s); }

}  // namespace

// The numeric conversions must print exactly what the C library prints.
TEST(TextFormat, NumbersMatchTheCLibrary) {
  struct Case {
    const char16_t* wide;
    const char* narrow;
  };
  const Case cases[] = {
      {u"%d|%5d|%-5d|%05d|%+d|% d", "%d|%5d|%-5d|%05d|%+d|% d"},
      {u"%i|%.3d|%8.3d", "%i|%.3d|%8.3d"},
  };
  char16_t out[256];
  char want[256];
  for (const Case& c : cases) {
    text::Format(out, 256, c.wide, -42, 42, 42, 42, 42, 42);
    std::snprintf(want, sizeof want, c.narrow, -42, 42, 42, 42, 42, 42);
    EXPECT_EQ(Narrow(out), want) << c.narrow;
  }
  text::Format(out, 256, u"%u %x %X %#x %o %lu %lld %llu", 4000000000u, 0xbeefu, 0xbeefu, 255u, 8u,
               123456789ul, -9000000000000ll, 18000000000000000000ull);
  std::snprintf(want, sizeof want, "%u %x %X %#x %o %lu %lld %llu", 4000000000u, 0xbeefu, 0xbeefu, 255u, 8u,
                123456789ul, -9000000000000ll, 18000000000000000000ull);
  EXPECT_EQ(Narrow(out), want);
  text::Format(out, 256, u"%f %.2f %10.3e %g %G %-8.1f|", 3.14159, 2.005, 12345.678, 0.0001, 1e20, -1.25);
  std::snprintf(want, sizeof want, "%f %.2f %10.3e %g %G %-8.1f|", 3.14159, 2.005, 12345.678, 0.0001, 1e20, -1.25);
  EXPECT_EQ(Narrow(out), want);
  text::Format(out, 256, u"%*d|%-*d|%.*f", 6, 7, 4, 8, 2, 1.0 / 3);
  std::snprintf(want, sizeof want, "%*d|%-*d|%.*f", 6, 7, 4, 8, 2, 1.0 / 3);
  EXPECT_EQ(Narrow(out), want);
  // A negative precision argument counts as none given, never as 0.
  text::Format(out, 256, u"%.*d|%.*f|%.*e", -1, 0, -3, 1.0 / 3, -2, 2.5);
  std::snprintf(want, sizeof want, "%.*d|%.*f|%.*e", -1, 0, -3, 1.0 / 3, -2, 2.5);
  EXPECT_EQ(Narrow(out), want);
  text::Format(out, 256, u"%hhd %hd %zu", 300, 70000, size_t(77));
  std::snprintf(want, sizeof want, "%hhd %hd %zu", 300, 70000, size_t(77));
  EXPECT_EQ(Narrow(out), want);
}

TEST(TextFormat, StringsCharactersAndLiterals) {
  char16_t out[128];
  text::Format(out, 128, u"[%s] [%6s] [%-6s] [%.2s] [%hs] [%c%c] 100%%", u"Привет", u"ab", u"ab", u"xyz", "8bit",
               u'Ж', 'q');
  EXPECT_EQ(Narrow(out), "[Привет] [    ab] [ab    ] [xy] [8bit] [Жq] 100%");
  text::Format(out, 128, u"[%.*s]", -1, u"xyz");
  EXPECT_EQ(Narrow(out), "[xyz]");
  text::Format(out, 128, u"%s|%hs", static_cast<const char16_t*>(nullptr), static_cast<const char*>(nullptr));
  EXPECT_EQ(Narrow(out), "(null)|(null)");
  // A supplementary character passes through as its surrogate pair.
  text::Format(out, 128, u"%s", u"a\U0001F600b");
  EXPECT_EQ(text::Len(out), 4u);
  EXPECT_EQ(Narrow(out), "a\xF0\x9F\x98\x80" "b");
}

TEST(TextFormat, HostileFormatsAreHarmless) {
  char16_t out[64];
  int target = 5;
  text::Format(out, 64, u"a%nb", &target);
  EXPECT_EQ(Narrow(out), "ab");
  EXPECT_EQ(target, 5) << "%n must not write";
  text::Format(out, 64, u"%q %y 50%");
  EXPECT_EQ(Narrow(out), "%q %y 50%");
  // An absurd width is clamped instead of overflowing anything.
  std::u16string big(4096, u'\0');
  const size_t n = text::Format(big.data(), big.size(), u"%999999999d", 1);
  EXPECT_LT(n, 1000u);
  EXPECT_EQ(big[n - 1], u'1');
  // The most negative width argument: left-aligned and clamped, not negated.
  const size_t m = text::Format(big.data(), big.size(), u"%*d|", INT_MIN, 7);
  EXPECT_EQ(big[0], u'7');
  EXPECT_EQ(big[m - 1], u'|');
  EXPECT_LT(m, 1000u);
}

TEST(TextFormat, LongNumbersAreWhole) {
  // More digits than any clamped width: 4933 before the point.
  std::u16string out(8192, u'\0');
  char want[8192];
  const long double huge = 1e4932L;
  std::snprintf(want, sizeof want, "%.3Lf", huge);
  const size_t n = text::Format(out.data(), out.size(), u"%.3Lf", huge);
  EXPECT_EQ(n, std::strlen(want));
  EXPECT_EQ(Narrow(out.c_str()), want);
}

TEST(TextFormat, CutsToCapacityAndAlwaysTerminates) {
  char16_t out[5] = {u'x', u'x', u'x', u'x', u'x'};
  EXPECT_EQ(text::Format(out, 5, u"%s-%d", u"abc", 12345), 4u);
  EXPECT_EQ(Narrow(out), "abc-");
  char16_t one[1] = {u'x'};
  EXPECT_EQ(text::Format(one, 1, u"abc"), 0u);
  EXPECT_EQ(one[0], 0);
  EXPECT_EQ(text::Format(nullptr, 0, u"abc"), 0u);
}

TEST(TextBasics, CopyLenCompareEquals) {
  char16_t buf[4];
  text::Copy(buf, 4, u"abcdef");
  EXPECT_EQ(Narrow(buf), "abc");
  text::Copy(buf, 4, nullptr);
  EXPECT_EQ(buf[0], 0);
  EXPECT_EQ(text::Len(u"Русский"), 7u);
  EXPECT_EQ(text::Len(nullptr), 0u);
  EXPECT_LT(text::Compare(u"abc", u"abd"), 0);
  EXPECT_GT(text::Compare(u"b", u"abc"), 0);
  EXPECT_EQ(text::Compare(u"x", u"x"), 0);
  EXPECT_LT(text::Compare(u"ab", u"abc"), 0);
  EXPECT_TRUE(text::EqualsNoCase(u"FSAAmode", u"fsaaMODE"));
  EXPECT_FALSE(text::EqualsNoCase(u"Log", u"Logs"));
  EXPECT_FALSE(text::EqualsNoCase(u"[", u"{"));  // only letters fold
}

TEST(TextEncoding, Utf8RoundTripAndInvalidInput) {
  const std::u16string sample = u"Lumiscript Русский \U0001F600 ä";
  EXPECT_EQ(text::FromUtf8(text::ToUtf8(sample)), sample);
  // Each bad byte becomes U+FFFD and decoding carries on.
  EXPECT_EQ(text::FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(text::FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");          // overlong
  EXPECT_EQ(text::FromUtf8("\xED\xA0\x80" "x"), u"\uFFFD\uFFFD\uFFFDx");  // encoded surrogate
  EXPECT_EQ(text::FromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");          // cut sequence
  EXPECT_EQ(text::FromUtf8(std::string("a\0b", 3)), std::u16string(u"a\0b", 3));
  const char16_t lone[] = {u'a', 0xD800, u'b', 0};
  EXPECT_EQ(text::ToUtf8(lone), "a\xEF\xBF\xBD" "b");
}

TEST(TextEncoding, Cp1251MatchesTheSystemConverter) {
  iconv_t cd = iconv_open("UTF-16LE", "CP1251");
  ASSERT_NE(cd, iconv_t(-1));
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in the code page
    char in[2] = {char(b), 0};
    char outBytes[8];
    char* src = in;
    char* dst = outBytes;
    size_t inLeft = 1, outLeft = sizeof outBytes;
    ASSERT_NE(iconv(cd, &src, &inLeft, &dst, &outLeft), size_t(-1)) << b;
    const char16_t want = char16_t(uint8_t(outBytes[0]) | (uint8_t(outBytes[1]) << 8));
    EXPECT_EQ(text::FromCp1251(in), std::u16string(1, want)) << "byte " << b;
  }
  iconv_close(cd);
  EXPECT_EQ(text::FromCp1251("\xCE\xF8\xE8\xE1\xEA\xE0"), u"Ошибка");
}

TEST(TextParseInt, BehavesLikeTheProfileCall) {
  struct Case {
    const char16_t* in;
    int32_t want;
  };
  const Case cases[] = {
      {u"42", 42},       {u"  -17x", -17},          {u"+5", 5},
      {u"abc", 0},       {u"", 0},                  {u"-", 0},
      {u"\t7", 7},       {u"1, 0, 0, 10", 1},       {u"0012", 12},
      {u"99999999999", INT32_MAX}, {u"-99999999999", INT32_MIN}, {u"2147483647", INT32_MAX},
      {u"-2147483648", INT32_MIN}, {u"0x1F", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(text::ParseInt(c.in), c.want) << Narrow(c.in);
    EXPECT_EQ(text::ParseIntA(Narrow(c.in).c_str()), c.want) << Narrow(c.in);
  }
  EXPECT_EQ(text::ParseInt(nullptr), 0);
  EXPECT_EQ(text::ParseIntA("12345", 3), 123) << "stops at its length";
  EXPECT_EQ(text::ParseIntA("  7", 2), 0);
}

TEST(TextParseBoundedInt, TakesAWholeNumberWithinItsBoundsOnly) {
  struct Case {
    const char* in;
    bool taken;
    int want;
  };
  const Case cases[] = {
      {"0", true, 0},     {"65535", true, 65535}, {"+8", true, 8},      {"-1", false, 0},
      {"65536", false, 0}, {"", false, 0},         {"-", false, 0},      {" 5", false, 0},
      {"5 ", false, 0},   {"12a", false, 0},       {"99999999999", false, 0}, {"0x10", false, 0},
  };
  for (const Case& c : cases) {
    int narrow = -7, wide = -7;
    EXPECT_EQ(text::ParseBoundedInt(c.in, 0, 65535, &narrow), c.taken) << c.in;
    EXPECT_EQ(text::ParseBoundedInt(text::FromUtf8(c.in).c_str(), 0, 65535, &wide), c.taken) << c.in;
    EXPECT_EQ(narrow, c.taken ? c.want : -7) << c.in;
    EXPECT_EQ(wide, narrow) << c.in;
  }
  int v = 0;
  EXPECT_TRUE(text::ParseBoundedInt("-3", -5, 5, &v));
  EXPECT_EQ(v, -3);
  EXPECT_FALSE(text::ParseBoundedInt(static_cast<const char*>(nullptr), 0, 1, &v));
  EXPECT_EQ(text::OneLine(std::u16string(u"a\r\nb\nc")), u"a  b c");
}
