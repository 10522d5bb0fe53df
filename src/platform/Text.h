#pragma once
// Portable UTF-16 text helpers used throughout the core.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

namespace text {

size_t Len(const char16_t* s);
// Copies at most capacity-1 units and always terminates (capacity > 0).
void Copy(char16_t* dst, size_t capacity, const char16_t* src);
int Compare(const char16_t* a, const char16_t* b);  // code unit order, like wcscmp
bool EqualsNoCase(const char16_t* a, const char16_t* b);  // ASCII letters folded

// printf-style formatting into a UTF-16 buffer, always terminated, cut to fit.
// Supports %% %c %d %i %u %x %X %ld %lu %lld %llu %f %g %p with flags, width and
// precision; %s takes a const char16_t*, %hs a const char* (8-bit) string.
// Returns the number of units written (without terminator).
size_t VFormat(char16_t* out, size_t capacity, const char16_t* fmt, va_list args);
size_t Format(char16_t* out, size_t capacity, const char16_t* fmt, ...);

std::u16string FromUtf8(const std::string& s);
std::string ToUtf8(const std::u16string& s);
std::string ToUtf8(const char16_t* s);
// Windows-1251 (Cyrillic) bytes to UTF-16, independent of the system code page.
std::u16string FromCp1251(const char* s);
// Integer parse as GetPrivateProfileIntW / atoi: leading white space, optional
// sign, decimal digits up to the first non-digit, 0 when there are none; out
// of range saturates. The narrow form reads at most `length` bytes.
int32_t ParseInt(const char16_t* s);
int32_t ParseIntA(const char* s, size_t length = SIZE_MAX);
// A whole text that is an optional sign and decimal digits, nothing else,
// from low to high; *out is left alone otherwise.
bool ParseBoundedInt(const char* s, int low, int high, int* out);
bool ParseBoundedInt(const char16_t* s, int low, int high, int* out);

// The text with each line break turned into a space: a value that must stay
// on its line, where a break would plant keys or sections of its own.
template <typename Ch>
std::basic_string<Ch> OneLine(std::basic_string<Ch> s) {
  for (Ch& c : s)
    if (c == Ch('\r') || c == Ch('\n')) c = Ch(' ');
  return s;
}

}  // namespace text
