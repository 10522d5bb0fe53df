#include "content/ContentList.h"

#include <cstring>

#include "hub/Application.h"
#include "log/Log.h"

namespace {

bool IsRussianLocale(const CApplication* app) {
  return app != nullptr && IsRussianLocaleName(app->localeName, sizeof(app->localeName) / sizeof(app->localeName[0]));
}

CLog* LogOf(const CApplication* app) { return app != nullptr ? app->log : nullptr; }

}  // namespace

const char16_t kRussianLocaleName[] = u"Русский";

bool IsRussianLocaleName(const char16_t* name, size_t capacity) {
  if (name == nullptr) return false;
  for (size_t i = 0; i < capacity; ++i) {
    if (name[i] != kRussianLocaleName[i]) return false;
    if (kRussianLocaleName[i] == u'\0') return true;
  }
  return false;
}

CContentList::CContentList(CApplication* o) : owner(o) {
  count = 0;
  // DisplayMyFavorites 0 would leave the list empty, and the scene has
  // nothing to show without an entry. The user still expects the catalogue,
  // so the whole catalogue is shown instead and the fallback is logged.
  if (owner != nullptr && owner->displayMyFavorites == 0) {
    if (CLog* log = LogOf(owner)) log->WriteA("DisplayMyFavorites=0 selects no entries, showing the whole catalogue");
  }
  AddFromLocal();
  if (CLog* log = LogOf(owner)) {
    log->WriteA("AddFromLocal() ok, count=%d", count);
    log->WriteA("Random(%d) ok", count);
  }
}

CContentList::~CContentList() {
  for (char16_t*& item : items) {
    delete[] item;
    item = nullptr;
  }
}

int CContentList::AddFromLocal() {
  if (count != 0) return 1;
  const char16_t* const* rows = IsRussianLocale(owner) ? kRussianRows : kEnglishRows;
  for (int i = 0; i < kCatalogueRows; ++i) {
    char16_t* buffer = new char16_t[kEntryTextUnits];
    std::memset(buffer, 0, sizeof(char16_t) * kEntryTextUnits);
    const char16_t* row = rows[i];
    for (int k = 0; k < kEntryTextUnits - 1 && row[k] != u'\0'; ++k) buffer[k] = row[k];
    items[i] = buffer;
  }
  count = kCatalogueRows;
  return 1;
}

int CContentList::SetStart(int lastNum) {
  current = (lastNum >= 0 && lastNum < count) ? lastNum : 0;
  return current;
}

void CContentList::Advance() {
  current = (current >= 0 && current < count - 1) ? current + 1 : 0;
}
