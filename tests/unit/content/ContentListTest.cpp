#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "hub/Application.h"
#include "content/ContentList.h"
#include "log/Log.h"
#include "scene/GlyphMetrics.h"

namespace {

using std::u16string;

const u16string kEnglishPrefixes[] = {u"Al-", u"Ar-", u"As-", u"Ash-", u"At-", u"Ad-", u"An-", u"Az-"};
const u16string kRussianPrefixes[] = {u"аль-", u"ар-", u"ас-", u"аш-", u"ат-", u"ад-", u"ан-", u"аз-"};

TEST(NameTablesTest, RowsAreTransliterationSeparatorMeaningInTheTablesConventions) {
  for (const char16_t* const* table : {kEnglishRows, kRussianRows}) {
    const bool english = table == kEnglishRows;
    for (int i = 0; i < kCatalogueRows; ++i) {
      const u16string row(table[i]);
      const size_t sep = row.find(u" | ");
      ASSERT_NE(sep, u16string::npos) << i;
      EXPECT_EQ(row.find(u'|', sep + 2), u16string::npos) << i;
      EXPECT_LE(row.size(), 71u) << i;
      EXPECT_GT(row.size(), sep + 3) << i;
      EXPECT_EQ(row.find(u'.'), u16string::npos) << i << ": a full stop adds two silent slots";
      for (char16_t c : row) ASSERT_LT(c, kFontGlyphCount) << i << ": no outline for this code unit";
      const u16string head = row.substr(0, row.find(u'-') + 1);
      const auto& prefixes = english ? kEnglishPrefixes : kRussianPrefixes;
      const bool prefixed = std::find(std::begin(prefixes), std::end(prefixes), head) != std::end(prefixes);
      EXPECT_EQ(prefixed, i != 0 && i != 84 && i != 85) << i;
      const bool bracketed = !english && (i == 20 || i == 50 || i == 59 || i == 73 || i == 87);
      EXPECT_EQ(bracketed, row.find(u'[') != u16string::npos) << i;
    }
  }
  EXPECT_EQ(std::char_traits<char16_t>::length(kRussianRows[84]), 71u);
  EXPECT_EQ(u16string(kEnglishRows[19]).substr(0, 8), u"Al-\u0060Alim");
}

class ContentListTest : public ::testing::Test {
 protected:
  void SetLocale(const u16string& name) {
    app_.localeName[name.copy(app_.localeName, name.size())] = u'\0';
  }
  std::string LogText() const {  // ASCII view of the UTF-16LE log
    std::ifstream in(logPath_, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) text += bytes[i + 1] == 0 ? bytes[i] : '?';
    return text;
  }
  void TearDown() override { std::filesystem::remove(logPath_); }

  CApplication app_;
  std::filesystem::path logPath_ = std::filesystem::temp_directory_path() / "lumi-content-log.txt";
};

TEST_F(ContentListTest, OnlyTheExactRussianNameSelectsTheRussianTable) {
  for (const char16_t* locale : {u"Русский", u"русский", u"Русский (Россия)", u"English", u"Русски", u""}) {
    SetLocale(locale);
    CContentList list(&app_);
    const char16_t* const* rows = u16string(locale) == u"Русский" ? kRussianRows : kEnglishRows;
    ASSERT_EQ(list.count, 100);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(u16string(list.items[i]), u16string(rows[i])) << i;
    EXPECT_EQ(list.items[100], nullptr);
  }
  EXPECT_EQ(u16string(CContentList(&app_).items[0]), u"Allah | God");
  SetLocale(u"Русский");
  EXPECT_EQ(u16string(CContentList(&app_).items[0]), u"Аллах | Единый Бог");
}

TEST_F(ContentListTest, BuffersAreZeroFilledBehindTheTextAndFilledOnce) {
  std::vector<char16_t*> dirty(200);  // dirty blocks of the entries' size, for reuse
  for (char16_t*& d : dirty) std::memset(d = new char16_t[kEntryTextUnits], 0xAB, 2 * kEntryTextUnits);
  for (char16_t* d : dirty) delete[] d;
  CContentList list(&app_);
  for (int i = 0; i < 100; ++i)
    for (size_t k = u16string(list.items[i]).size(); k < size_t(kEntryTextUnits); ++k) ASSERT_EQ(list.items[i][k], 0);
  char16_t* first = list.items[0];
  SetLocale(u"Русский");
  EXPECT_EQ(list.AddFromLocal(), 1);
  EXPECT_EQ(list.count, 100);
  EXPECT_EQ(list.items[0], first);
  EXPECT_EQ(u16string(list.items[0]), u"Allah | God");
}

TEST_F(ContentListTest, StartPositionAndAdvanceStayInsideTheList) {
  CContentList list(&app_);
  EXPECT_EQ(list.SetStart(5), 5);
  for (int bad : {100, -1}) EXPECT_EQ(list.SetStart(bad), 0) << bad;
  EXPECT_EQ(list.SetStart(99), 99);
  list.Advance();
  EXPECT_EQ(list.current, 0);
  list.count = 0;  // an emptied list keeps position 0 and never divides by its count
  EXPECT_EQ(list.SetStart(5), 0);
  list.Advance();
  EXPECT_EQ(list.current, 0);
}

TEST_F(ContentListTest, LogsTheFillAndFallsBackToTheCatalogueWhenNothingIsSelected) {
  const u16string path = logPath_.u16string();  // the log keeps the pointer
  CLog log(path.c_str());
  log.level = 1;
  app_.log = &log;
  { CContentList list(&app_); }
  const std::string first = LogText();
  const size_t fill = first.find(" AddFromLocal() ok, count=100\r\n");
  ASSERT_NE(fill, std::string::npos) << first;
  EXPECT_NE(first.find(" Random(100) ok\r\n", fill), std::string::npos) << first;

  // DisplayMyFavorites 0 would leave nothing to show: the whole catalogue is
  // shown instead, and the log says so.
  app_.displayMyFavorites = 0;
  CContentList list(&app_);
  EXPECT_EQ(list.count, 100);
  const std::string second = LogText().substr(first.size());
  EXPECT_NE(second.find("DisplayMyFavorites=0"), std::string::npos) << second;
  EXPECT_NE(second.find("AddFromLocal() ok, count=100"), std::string::npos) << second;
  app_.log = nullptr;
  EXPECT_EQ(CContentList(&app_).count, 100);
}

}  // namespace
