// The user's language name and long-date pattern, as Windows would report
// them, derived from the POSIX locale variables.
#include <langinfo.h>
#include <locale.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"

namespace plat {

namespace {

// The first non-empty of the given variables, as POSIX resolves a category.
std::string LocaleFrom(std::initializer_list<const char*> vars) {
  for (const char* name : vars) {
    const char* v = std::getenv(name);
    if (v && *v) return v;
  }
  return std::string();
}

// "ru_RU.UTF-8@x" -> language "ru", territory "RU".
void SplitLocale(const std::string& loc, std::string* lang, std::string* territory) {
  lang->clear();
  territory->clear();
  size_t i = 0;
  for (; i < loc.size() && loc[i] != '_' && loc[i] != '-' && loc[i] != '.' && loc[i] != '@'; ++i)
    lang->push_back(char(loc[i] >= 'A' && loc[i] <= 'Z' ? loc[i] + 32 : loc[i]));
  if (i < loc.size() && (loc[i] == '_' || loc[i] == '-')) {
    for (++i; i < loc.size() && loc[i] != '.' && loc[i] != '@'; ++i)
      territory->push_back(char(loc[i] >= 'a' && loc[i] <= 'z' ? loc[i] - 32 : loc[i]));
  }
  if (*lang == "c" || *lang == "posix") lang->clear();
}

struct LanguageRow {
  const char* code;
  const char* name;
};

constexpr LanguageRow kLanguages[] = {
    {"af", "Afrikaans"},  {"ar", "Arabic"},     {"az", "Azerbaijani"}, {"be", "Belarusian"},
    {"bg", "Bulgarian"},  {"bn", "Bangla"},     {"bs", "Bosnian"},     {"ca", "Catalan"},
    {"cs", "Czech"},      {"cy", "Welsh"},      {"da", "Danish"},      {"de", "German"},
    {"el", "Greek"},      {"en", "English"},    {"eo", "Esperanto"},   {"es", "Spanish"},
    {"et", "Estonian"},   {"eu", "Basque"},     {"fa", "Persian"},     {"fi", "Finnish"},
    {"fr", "French"},     {"ga", "Irish"},      {"gl", "Galician"},    {"he", "Hebrew"},
    {"hi", "Hindi"},      {"hr", "Croatian"},   {"hu", "Hungarian"},   {"hy", "Armenian"},
    {"id", "Indonesian"}, {"is", "Icelandic"},  {"it", "Italian"},     {"ja", "Japanese"},
    {"ka", "Georgian"},   {"kk", "Kazakh"},     {"ko", "Korean"},      {"ky", "Kyrgyz"},
    {"lt", "Lithuanian"}, {"lv", "Latvian"},    {"mk", "Macedonian"},  {"mn", "Mongolian"},
    {"ms", "Malay"},      {"nb", "Norwegian"},  {"nl", "Dutch"},       {"nn", "Norwegian"},
    {"no", "Norwegian"},  {"pl", "Polish"},     {"pt", "Portuguese"},  {"ro", "Romanian"},
    {"sk", "Slovak"},     {"sl", "Slovenian"},  {"sq", "Albanian"},    {"sr", "Serbian"},
    {"sv", "Swedish"},    {"tg", "Tajik"},      {"th", "Thai"},        {"tk", "Turkmen"},
    {"tr", "Turkish"},    {"tt", "Tatar"},      {"uk", "Ukrainian"},   {"ur", "Urdu"},
    {"uz", "Uzbek"},      {"vi", "Vietnamese"}, {"zh", "Chinese"},
};

// Windows' long-date patterns for the common locales; "lang_TERRITORY" rows
// are tried before the language alone.
struct DateRow {
  const char* key;
  const char16_t* pattern;
};

constexpr DateRow kLongDates[] = {
    {"en_US", u"dddd, MMMM d, yyyy"},
    {"en_GB", u"dd MMMM yyyy"},
    {"en_IE", u"dd MMMM yyyy"},
    {"en_IN", u"dd MMMM yyyy"},
    {"en_AU", u"dddd, d MMMM yyyy"},
    {"en_NZ", u"dddd, d MMMM yyyy"},
    {"en_CA", u"MMMM d, yyyy"},
    {"en", u"dddd, MMMM d, yyyy"},
    {"ru", u"d MMMM yyyy 'г.'"},
    {"uk", u"d MMMM yyyy' р.'"},
    {"be", u"d MMMM yyyy"},
    {"de", u"dddd, d. MMMM yyyy"},
    {"fr", u"dddd d MMMM yyyy"},
    {"es", u"dddd, d' de 'MMMM' de 'yyyy"},
    {"pt", u"dddd, d' de 'MMMM' de 'yyyy"},
    {"it", u"dddd d MMMM yyyy"},
    {"nl", u"dddd d MMMM yyyy"},
    {"pl", u"dddd, d MMMM yyyy"},
    {"cs", u"dddd d. MMMM yyyy"},
    {"sv", u"'den 'd MMMM yyyy"},
    {"da", u"dddd 'den' d. MMMM yyyy"},
    {"nb", u"dddd d. MMMM yyyy"},
    {"fi", u"dddd d. MMMM yyyy"},
    {"tr", u"d MMMM yyyy dddd"},
    {"ja", u"yyyy'年'M'月'd'日'"},
    {"zh", u"yyyy'年'M'月'd'日'"},
    {"ko", u"yyyy'년' M'월' d'일' dddd"},
};

constexpr char16_t kUsLongDate[] = u"dddd, MMMM d, yyyy";

// Turns the date half of a strftime date-and-time format into a Windows
// pattern, with the weekday and month spelled out as a long date has them.
std::u16string FromStrftime(const char* fmt) {
  std::u16string out;
  std::string literal;
  auto flushLiteral = [&] {
    if (literal.empty()) return;
    bool plain = true;
    for (char c : literal)
      if (std::strchr(" ,./-", c) == nullptr) plain = false;
    const std::u16string lit = text::FromUtf8(literal);
    if (plain) out += lit;
    else out += u"'" + lit + u"'";
    literal.clear();
  };
  bool sawYear = false;
  for (const char* p = fmt; *p; ++p) {
    if (*p != '%') {
      literal.push_back(*p);
      continue;
    }
    ++p;
    while (*p == '-' || *p == '_' || *p == '0' || *p == '^' || *p == '#' || *p == 'E' || *p == 'O') ++p;
    const char c = *p;
    if (!c) break;
    const char16_t* piece = nullptr;
    switch (c) {
      case 'a': case 'A': piece = u"dddd"; break;
      case 'b': case 'B': case 'h': piece = u"MMMM"; break;
      case 'd': piece = u"dd"; break;
      case 'e': piece = u"d"; break;
      case 'm': piece = u"MM"; break;
      case 'Y': piece = u"yyyy"; sawYear = true; break;
      case 'y': piece = u"yy"; sawYear = true; break;
      case 'F': piece = u"yyyy-MM-dd"; sawYear = true; break;
      case 'D': piece = u"MM/dd/yy"; sawYear = true; break;
      case '%': literal.push_back('%'); continue;
      default:
        // The time part starts here: the date is complete.
        goto done;
    }
    flushLiteral();
    out += piece;
  }
done:
  while (!out.empty() && (out.back() == u' ' || out.back() == u',')) out.pop_back();
  return sawYear ? out : std::u16string();
}

std::u16string LongDateFor(const std::string& locName) {
  std::string lang, territory;
  SplitLocale(locName, &lang, &territory);
  if (lang.empty()) return kUsLongDate;
  const std::string full = lang + "_" + territory;
  for (const DateRow& row : kLongDates)
    if (full == row.key) return row.pattern;
  for (const DateRow& row : kLongDates)
    if (lang == row.key) return row.pattern;
  // Not in the table: derive it from the locale's own date-and-time format.
  std::u16string derived;
  locale_t loc = newlocale(LC_TIME_MASK, locName.c_str(), locale_t(0));
  if (loc) {
    derived = FromStrftime(nl_langinfo_l(D_T_FMT, loc));
    freelocale(loc);
  }
  return derived.empty() ? std::u16string(kUsLongDate) : derived;
}

}  // namespace

void LocaleLanguageName(char16_t* out, uint32_t capacity) {
  if (!out || capacity == 0) return;
  std::string lang, territory;
  SplitLocale(LocaleFrom({"LC_ALL", "LC_MESSAGES", "LANG"}), &lang, &territory);
  if (lang == "ru") {
    text::Copy(out, capacity, u"Русский");
    return;
  }
  const char* name = "English";
  for (const LanguageRow& row : kLanguages)
    if (lang == row.code) name = row.name;
  text::Copy(out, capacity, text::FromUtf8(name).c_str());
}

void LocaleLongDateFormat(char16_t* out, uint32_t capacity) {
  if (!out || capacity == 0) return;
  text::Copy(out, capacity, LongDateFor(LocaleFrom({"LC_ALL", "LC_TIME", "LANG"})).c_str());
}

}  // namespace plat
