#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/IniFile.h"

namespace {

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/lumi-ini-XXXXXX";
    path = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("chmod -R u+w '" + path + "' 2>/dev/null; rm -rf '" + path + "'").c_str()); }
  std::string File(const std::string& name) const { return path + "/" + name; }
  std::vector<std::string> Names() const {
    std::vector<std::string> out;
    DIR* d = opendir(path.c_str());
    while (dirent* e = readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") out.push_back(e->d_name);
    closedir(d);
    return out;
  }
  std::string path;
};

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string Get(const ini::IniFile& f, const char* s, const char* k) {
  const auto v = f.Get(s, k);
  return v ? *v : "<missing>";
}

}  // namespace

TEST(IniRead, NamesFoldCaseAndTheFirstMatchWins) {
  ini::IniFile f;
  f.Parse(
      "Orphan=1\n"
      "[System]\n"
      "  LOG = 1  \n"
      "log=2\n"
      "Font = \"Times New Roman\" \n"
      "Quoted='x\n"
      "[ system ]\n"
      "Log=3\n"
      "Extra=only in the duplicate\n"
      "[PROXY]\r\n"
      "Server=a=b\r\n");
  EXPECT_EQ(Get(f, "SYSTEM", "Log"), "1");
  EXPECT_EQ(Get(f, "system", "FONT"), "Times New Roman") << "one pair of quotes is dropped";
  EXPECT_EQ(Get(f, "SYSTEM", "Quoted"), "'x") << "unmatched quote stays";
  EXPECT_EQ(Get(f, "SYSTEM", "Extra"), "<missing>") << "the first section of a name is the one used";
  EXPECT_EQ(Get(f, "PROXY", "Server"), "a=b");
  EXPECT_EQ(Get(f, "", "Orphan"), "<missing>");
  EXPECT_EQ(Get(f, "NOPE", "Log"), "<missing>");
}

TEST(IniRead, JunkIsNeitherSectionNorKey) {
  ini::IniFile f;
  std::string junk("\x00\x01\xff garbage\n", 14);
  junk += "[SYSTEM\n";          // no closing bracket: not a section
  junk += "[SYSTEM]\n";
  junk += "Font\n";             // no '=': not a key
  junk += "=no name\n";
  junk += "; Log=5\n";
  junk += "# Log=6\n";
  junk += "LongLine=" + std::string(10 << 20, 'x') + "\n";
  junk += "\xc3\x28=\xe2\x82\n";
  junk += "Log=7";               // last line without a newline
  f.Parse(junk);
  EXPECT_EQ(Get(f, "SYSTEM", "Font"), "<missing>");
  EXPECT_EQ(Get(f, "SYSTEM", "Log"), "7");
  EXPECT_EQ(Get(f, "SYSTEM", "LongLine").size(), size_t(10 << 20));
  EXPECT_EQ(f.Serialize(), junk) << "reading changes nothing";
}

TEST(IniWrite, UpdatesInPlaceAndKeepsEveryOtherLine) {
  ini::IniFile f;
  f.Parse(
      "; settings\n"
      "[PROXY]\n"
      "enabled = 1 ; trailing\n"
      "Unknown=keep\n"
      "\n"
      "[SYSTEM]\n"
      "Log=1\n"
      "\n"
      "\n"
      "[PROXY]\n"
      "Enabled=9\n");
  EXPECT_TRUE(f.Set("PROXY", "Enabled", "0"));
  EXPECT_FALSE(f.Set("system", "LOG", " 1")) << "same value: nothing to do";
  f.Set("proxy", "Port", "8080");
  f.Set("SYSTEM", "Font", "Georgia");
  f.Set("DATA", "UseLocal", "-1");
  f.Set("DATA", "UseWeb", "-1");
  EXPECT_EQ(f.Serialize(),
            "; settings\n"
            "[PROXY]\n"
            "enabled=0\n"
            "Unknown=keep\n"
            "Port=8080\n"
            "\n"
            "[SYSTEM]\n"
            "Log=1\n"
            "Font=Georgia\n"
            "\n"
            "\n"
            "[PROXY]\n"
            "Enabled=9\n"
            "[DATA]\n"
            "UseLocal=-1\n"
            "UseWeb=-1\n");
}

TEST(IniWrite, LineEndingsBomsAndInjection) {
  ini::IniFile crlf;
  crlf.Parse("[A]\r\nx=1");
  crlf.Set("A", "y", "2");
  crlf.Set("B", "z", "3");
  EXPECT_EQ(crlf.Serialize(), "[A]\r\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");

  ini::IniFile bom;
  bom.Parse("\xEF\xBB\xBF[A]\nx=1\n");
  EXPECT_EQ(Get(bom, "A", "x"), "1");
  bom.Set("A", "x", "2");
  EXPECT_EQ(bom.Serialize(), "\xEF\xBB\xBF[A]\nx=2\n");

  // A file in UTF-16 (as Windows keeps one with a byte-order mark) stays so.
  const std::u16string wide = u"[L]\r\nName=Русский\r\n";
  std::string bytes = "\xFF\xFE";
  for (char16_t c : wide) bytes += std::string{char(c & 0xFF), char(c >> 8)};
  ini::IniFile utf16;
  utf16.Parse(bytes);
  EXPECT_EQ(Get(utf16, "L", "Name"), "Русский");
  EXPECT_EQ(utf16.Serialize(), bytes);

  ini::IniFile evil;
  evil.Set("PROXY", "Server", "host\n[SYSTEM]\r\nLog=1");
  EXPECT_EQ(Get(evil, "SYSTEM", "Log"), "<missing>");
  EXPECT_EQ(Get(evil, "PROXY", "Server"), "host [SYSTEM]  Log=1");
}

TEST(IniWrite, RemoveKeyAndSection) {
  ini::IniFile f;
  f.Parse("[A]\nx=1\ny=2\n[B]\nz=3\n[C]\n");
  f.RemoveKey("a", "X");
  f.RemoveSection("B");
  EXPECT_EQ(f.Serialize(), "[A]\ny=2\n[C]\n");
}

TEST(IniFileOnDisk, SaveIsAtomicAndKeepsTheMode) {
  TempDir dir;
  const std::string path = dir.File("main.ini");
  ini::IniFile f;
  ASSERT_TRUE(f.Load(path)) << "a missing file is an empty document";
  f.Set("SYSTEM", "Log", "1");
  ASSERT_TRUE(f.Save(path));
  EXPECT_EQ(ReadFile(path), "[SYSTEM]\nLog=1\n");
  ::chmod(path.c_str(), 0600);
  f.Set("SYSTEM", "Log", "0");
  ASSERT_TRUE(f.Save(path));
  struct stat st;
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"main.ini"}) << "no temporary file left";

  // A save that cannot complete leaves the old file whole.
  EXPECT_FALSE(f.Save(dir.File("missing/main.ini")));
  if (::geteuid() != 0) {
    ::chmod(dir.path.c_str(), 0555);
    f.Set("SYSTEM", "Log", "5");
    EXPECT_FALSE(f.Save(path));
    EXPECT_EQ(ReadFile(path), "[SYSTEM]\nLog=0\n");
  }
}

TEST(IniFileOnDisk, ASaveRemovesTheFileOfACutSaveButNotOfOneUnderWay) {
  TempDir dir;
  const std::string path = dir.File("main.ini");
  const std::string cut = path + ini::IniFile::kSavingMark + "4242-0";
  const std::string running = path + ini::IniFile::kSavingMark + "4243-0";
  WriteFile(cut, "[SYSTEM]\n");
  WriteFile(running, "[SYSTEM]\n");
  WriteFile(dir.File("main.ini.bak"), "mine\n");
  const int held = ::open(running.c_str(), O_RDONLY);
  ASSERT_EQ(::flock(held, LOCK_EX), 0);
  ini::IniFile f;
  f.Set("SYSTEM", "Log", "1");
  ASSERT_TRUE(f.Save(path));
  std::vector<std::string> names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"main.ini", "main.ini.bak", "main.ini.saving-4243-0"}));
  ::close(held);
  ASSERT_TRUE(f.Save(path));
  names = dir.Names();
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"main.ini", "main.ini.bak"}));
}

TEST(IniFileOnDisk, OversizedOrUnreadableFilesAreLeftAlone) {
  TempDir dir;
  const std::string big = dir.File("big.ini");
  ASSERT_EQ(::truncate(big.c_str(), 0), -1);  // does not exist yet
  WriteFile(big, "[SYSTEM]\nLog=1\n");
  ASSERT_EQ(::truncate(big.c_str(), off_t(ini::IniFile::kMaxFileBytes) + 1), 0);
  ini::IniFile f;
  EXPECT_FALSE(f.Load(big));
  const std::u16string wbig = text::FromUtf8(big);
  EXPECT_EQ(plat::ProfileGetInt(u"SYSTEM", u"Log", 42, wbig.c_str()), 42);
  EXPECT_FALSE(plat::ProfileWriteString(u"SYSTEM", u"Log", u"0", wbig.c_str()));
  struct stat st;
  ASSERT_EQ(::stat(big.c_str(), &st), 0);
  EXPECT_EQ(size_t(st.st_size), ini::IniFile::kMaxFileBytes + 1) << "not replaced by a tiny file";

  EXPECT_FALSE(f.Load(dir.path)) << "a directory";
}

TEST(ProfileCalls, ReadWriteThroughTheFile) {
  TempDir dir;
  const std::string path8 = dir.File("main.ini");
  const std::u16string path = text::FromUtf8(path8);
  const char16_t* p = path.c_str();
  EXPECT_EQ(plat::ProfileGetInt(u"SYSTEM", u"Log", 7, p), 7) << "missing file";
  ASSERT_TRUE(plat::ProfileWriteString(u"SYSTEM", u"Log", u"-12abc", p));
  ASSERT_TRUE(plat::ProfileWriteString(u"LOCALIZATION", u"LocaleName", u"Русский", p));
  EXPECT_EQ(plat::ProfileGetInt(u"system", u"LOG", 7, p), -12);
  char16_t out[85];
  EXPECT_EQ(plat::ProfileGetString(u"LOCALIZATION", u"LocaleName", u"NULL", out, 85, p), 7u);
  EXPECT_EQ(std::u16string(out), u"Русский");
  EXPECT_EQ(ReadFile(path8), "[SYSTEM]\nLog=-12abc\n[LOCALIZATION]\nLocaleName=Русский\n") << "UTF-8 text";
  EXPECT_EQ(plat::ProfileGetString(u"SYSTEM", u"Font", u"NULL", out, 85, p), 4u);
  EXPECT_EQ(std::u16string(out), u"NULL");
  EXPECT_EQ(plat::ProfileGetString(u"LOCALIZATION", u"LocaleName", u"NULL", out, 4, p), 3u);
  EXPECT_EQ(std::u16string(out), u"Рус");

  // Writing the value a key already holds leaves the file alone.
  struct stat before, after;
  ASSERT_EQ(::stat(path8.c_str(), &before), 0);
  ASSERT_TRUE(plat::ProfileWriteString(u"SYSTEM", u"Log", u"-12abc", p));
  ASSERT_EQ(::stat(path8.c_str(), &after), 0);
  EXPECT_EQ(before.st_ino, after.st_ino);

  // A change made by someone else between calls is seen.
  WriteFile(path8, "[SYSTEM]\nLog=3\nPadding=xxxxxxxxxxxxxxxxxxxx\n");
  EXPECT_EQ(plat::ProfileGetInt(u"SYSTEM", u"Log", 7, p), 3);
  ASSERT_TRUE(plat::ProfileWriteString(u"SYSTEM", u"Log", nullptr, p));
  EXPECT_EQ(plat::ProfileGetInt(u"SYSTEM", u"Log", 7, p), 7);
  ASSERT_TRUE(plat::ProfileWriteString(u"SYSTEM", nullptr, nullptr, p));
  EXPECT_EQ(ReadFile(path8), "");
}
