#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <thread>

#include "log/Log.h"
#include "platform/Text.h"

namespace {

class LogFile : public testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/lumi-log-XXXXXX";
    dir_ = mkdtemp(tmpl);
    path8_ = dir_ + "/log.txt";
    path_ = text::FromUtf8(path8_);
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }

  bool Exists() const {
    struct stat st;
    return ::stat(path8_.c_str(), &st) == 0;
  }
  std::string Bytes() const {
    std::ifstream in(path8_, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // The file decoded from UTF-16LE, split at CR LF (each line must end so).
  std::vector<std::u16string> Lines() const {
    const std::string b = Bytes();
    EXPECT_EQ(b.size() % 2, 0u);
    std::u16string all;
    for (size_t i = 0; i + 1 < b.size(); i += 2) all.push_back(char16_t(uint8_t(b[i]) | (uint8_t(b[i + 1]) << 8)));
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (size_t at; (at = all.find(u"\r\n", start)) != std::u16string::npos; start = at + 2)
      lines.push_back(all.substr(start, at - start));
    EXPECT_EQ(start, all.size()) << "text after the last CR LF";
    return lines;
  }
  // The message part of a line, after checking the timestamp's shape.
  static std::string Message(const std::u16string& line) {
    static const std::regex stamp(R"(^\d{4}\.\d{2}\.\d{2} \d{2}:\d{2}:\d{2} )");
    const std::string s = text::ToUtf8(line);
    EXPECT_TRUE(std::regex_search(s, stamp)) << s;
    return s.size() >= 20 ? s.substr(20) : s;
  }

  std::string dir_, path8_;
  std::u16string path_;
};

}  // namespace

TEST_F(LogFile, OnlyLevelsOneAndThreeWrite) {
  for (int level : {0, 2, -1, 4}) {
    CLog log(path_.c_str());
    log.level = level;
    log.Write(u"%s", u"wide");
    log.WriteA("%s", "narrow");
    log.WriteCyr("%s", "cyr");
    EXPECT_FALSE(Exists()) << "level " << level;
  }
  for (int level : {1, 3}) {
    CLog log(path_.c_str());
    log.level = level;
    log.Write(u"level %d", level);
  }
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(Message(lines[0]), "level 1");
  EXPECT_EQ(Message(lines[1]), "level 3");
}

TEST_F(LogFile, LineIsTimestampMessageCrLfInUtf16le) {
  CLog log(path_.c_str());
  log.level = 1;
  const time_t before = time(nullptr);
  log.Write(u"abc");
  const time_t after = time(nullptr);
  const std::string b = Bytes();
  ASSERT_EQ(b.size(), 50u) << "25 characters, 2 bytes each, no terminator, no BOM";
  const std::u16string line = Lines().at(0);
  EXPECT_EQ(Message(line), "abc");
  // The stamp is the local time of the write.
  struct tm tm {};
  const std::string s = text::ToUtf8(line);
  ASSERT_TRUE(strptime(s.c_str(), "%Y.%m.%d %H:%M:%S", &tm));
  tm.tm_isdst = -1;
  const time_t stamp = mktime(&tm);
  EXPECT_GE(stamp, before - 1);
  EXPECT_LE(stamp, after + 1);
}

TEST_F(LogFile, NarrowAndCyrillicEntries) {
  CLog log(path_.c_str());
  log.level = 1;
  // Percent signs produced by formatting are not interpreted a second time.
  log.WriteA("%s", "100% done %s %n");
  log.WriteA("%d%% of %s", 50, "files");
  log.Write(u"%s started", u"Люмискрипт");
  // "Ошибка подключения к серверу %s" in Windows-1251.
  log.WriteCyr("\xCE\xF8\xE8\xE1\xEA\xE0 \xEF\xEE\xE4\xEA\xEB\xFE\xF7\xE5\xED\xE8\xFF \xEA "
               "\xF1\xE5\xF0\xE2\xE5\xF0\xF3 %s",
               "update.example.com");
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(Message(lines[0]), "100% done %s %n");
  EXPECT_EQ(Message(lines[1]), "50% of files");
  EXPECT_EQ(Message(lines[2]), "Люмискрипт started");
  EXPECT_EQ(Message(lines[3]), "Ошибка подключения к серверу update.example.com");
}

TEST_F(LogFile, OverlongMessagesAreCutButKeepTheLineBreak) {
  CLog log(path_.c_str());
  log.level = 1;
  log.Write(u"%s", std::u16string(3000, u'w').c_str());
  log.WriteA("%s", std::string(5000, 'n').c_str());
  // A surrogate pair straddling the cut is dropped whole.
  std::u16string pairs;
  for (int i = 0; i < 600; ++i) pairs += u"\U0001F600";
  log.Write(u"x%s", pairs.c_str());
  log.Write(u"next");
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].size() + 2, 1023u);
  EXPECT_EQ(lines[1].size() + 2, 1023u);
  const char16_t last = lines[2].back();
  EXPECT_FALSE(last >= 0xD800 && last <= 0xDBFF) << "half a surrogate pair";
  EXPECT_EQ(Message(lines[3]), "next");
}

TEST_F(LogFile, TwoThreadsNeverMixTheirLines) {
  CLog log(path_.c_str());
  log.level = 1;
  constexpr int kLines = 300;
  std::thread a([&] {
    for (int i = 0; i < kLines; ++i) log.Write(u"main thread line %d with some padding text", i);
  });
  std::thread b([&] {
    for (int i = 0; i < kLines; ++i) log.WriteA("update thread line %d %s", i, "with other padding");
  });
  a.join();
  b.join();
  const auto lines = Lines();
  ASSERT_EQ(lines.size(), size_t(2 * kLines));
  std::set<std::string> seen;
  for (const auto& l : lines) seen.insert(Message(l));
  for (int i = 0; i < kLines; ++i) {
    EXPECT_TRUE(seen.count("main thread line " + std::to_string(i) + " with some padding text")) << i;
    EXPECT_TRUE(seen.count("update thread line " + std::to_string(i) + " with other padding")) << i;
  }
}

TEST_F(LogFile, UnwritableLogIsReportedAndSurvived) {
  ASSERT_EQ(::mkdir(path8_.c_str(), 0755), 0);  // a directory where the file should be
  CLog log(path_.c_str());
  log.level = 1;
  testing::internal::CaptureStderr();
  log.Write(u"one");
  log.WriteA("two");
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err, "Error: Log file not created\nError: Log file not created\n");
}
