#include "gl/ExtensionSearch.h"

#include <cstring>

bool HasWholeWord(const char* list, const char* name) {
  if (list == nullptr || name == nullptr || *name == '\0') return false;
  const size_t length = std::strlen(name);
  // A name may also occur as the prefix or suffix of a longer one
  // ("..._multisample_ext"), so keep searching after a partial hit.
  for (const char* at = std::strstr(list, name); at != nullptr; at = std::strstr(at + 1, name)) {
    const bool startsWord = at == list || at[-1] == ' ';
    const char after = at[length];
    if (startsWord && (after == '\0' || after == ' ')) return true;
  }
  return false;
}
