#pragma once
// The catalogue entries of a run, in display order, and the one on screen.
#include <cstddef>
#include <cstdint>
class CApplication;

inline constexpr int kContentCapacity = 1024;   // entries
inline constexpr int kEntryTextUnits = 1024;    // 2048-byte buffer per entry
inline constexpr int kCatalogueRows = 100;

class CContentList {
 public:
  // Fills the list (when DisplayMyFavorites is non-zero) and logs the count.
  explicit CContentList(CApplication* owner);
  ~CContentList();
  CContentList(const CContentList&) = delete;
  CContentList& operator=(const CContentList&) = delete;

  int AddFromLocal();
  // Sets current from the stored LastNum; out of range gives 0 (and returns it).
  int SetStart(int lastNum);
  // Moves to the next entry, wrapping to 0; stays 0 on an empty list.
  void Advance();

  int32_t count = 0;
  char16_t* items[kContentCapacity] = {};
  int32_t current = 0;
  CApplication* owner = nullptr;
};

// The built-in tables, kCatalogueRows rows each.
extern const char16_t* const kEnglishRows[kCatalogueRows];
extern const char16_t* const kRussianRows[kCatalogueRows];

// The language name that selects the Russian table (LocaleName); any other
// value selects the English one.
extern const char16_t kRussianLocaleName[];
// Whole-string, case-sensitive match, bounded by the buffer's capacity so an
// unterminated value cannot be read past.
bool IsRussianLocaleName(const char16_t* name, size_t capacity);
