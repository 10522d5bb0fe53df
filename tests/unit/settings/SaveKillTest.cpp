// A save cut short by SIGKILL: a child process saves the settings over and
// over, alternating between two stored positions, into a main.ini that the
// user's own lines make large; it is killed at random moments. Every time,
// the file must be one of the two versions, whole; at most the one file the
// cut save was naming may be left beside it, and the next save removes it.
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "hub/Application.h"
#include "log/Log.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/Settings.h"
#include "unit/EnvGuard.h"

namespace {

constexpr int kKills = 80;
constexpr size_t kUserBytes = 1u << 20;  // the user's notes in the file

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Files beside the settings file and the log.
int Leftovers(const std::string& dir) {
  int n = 0;
  DIR* d = ::opendir(dir.c_str());
  while (dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    n += name != "." && name != ".." && name != "main.ini" && name != "log.txt";
  }
  ::closedir(d);
  return n;
}

struct Saver {
  CApplication app;
  Saver() {
    app.runMode = ModeInitOnly;
    app.paths = new CDataPaths;
    app.log = new CLog(app.paths->logPath);
    text::Copy(app.font, 85, u"Georgia");
  }
  ~Saver() {
    delete app.log;
    delete app.paths;
  }
  // Tells the parent through `progress` when each save starts and ends.
  void Save(int lastNum, int progress = -1) {
    app.lastNum = lastNum;
    if (progress >= 0 && ::write(progress, "(", 1) != 1) ::_exit(3);
    SaveSettings(&app);
    if (progress >= 0 && ::write(progress, ")", 1) != 1) ::_exit(3);
  }
};

}  // namespace

TEST(SettingsSaveKilled, TheFileIsTheOldOrTheNewOneWhole) {
  char tmpl[] = "/tmp/lumi-kill-XXXXXX";
  const std::string dir = ::mkdtemp(tmpl);
  EnvGuard env;
  env.Set("LUMISAVER_PROGRAM_DIR", dir);
  env.Set("LUMISAVER_APPDATA_DIR", dir);
  const std::string path = dir + "/main.ini";

  // The two versions a save can leave, each made by a whole save.
  {
    std::string notes = "; the user's notes\n";
    while (notes.size() < kUserBytes) notes += "; " + std::string(70, char('a' + notes.size() % 26)) + "\n";
    std::ofstream(path, std::ios::binary) << notes;
  }
  std::string versions[2];
  {
    Saver saver;
    saver.Save(2);
    versions[1] = ReadAll(path);
    saver.Save(1);
    versions[0] = ReadAll(path);
  }
  ASSERT_GT(versions[0].size(), kUserBytes);
  ASSERT_NE(versions[0], versions[1]);

  // How long one save takes here, to spread the kills over several saves.
  const auto t0 = std::chrono::steady_clock::now();
  {
    Saver saver;
    for (int i = 0; i < 4; ++i) saver.Save(2 - i % 2);
  }
  const long saveUs =
      long(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count() / 4);
  ASSERT_EQ(ReadAll(path), versions[0]);

  std::mt19937 random(20261208);
  std::uniform_int_distribution<long> delay(0, 3 * saveUs);
  int seen[2] = {0, 0}, leftovers = 0, mostLeft = 0, stayed = 0, broken = 0, insideSave = 0;
  Saver next;
  const auto started = std::chrono::steady_clock::now();
  for (int kill = 0; kill < kKills; ++kill) {
    int progress[2];
    ASSERT_EQ(::pipe2(progress, O_NONBLOCK), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(progress[0]);
      Saver saver;
      for (int i = 0;; ++i) saver.Save(2 - i % 2, progress[1]);
    }
    ::close(progress[1]);
    // The delay counts from the end of the child's first save, not from the
    // fork: a new process's start and first save take many times a warm save.
    char marks[4096], last = 0;
    for (pollfd first{progress[0], POLLIN, 0}; last != ')' && ::poll(&first, 1, 10000) == 1;) {
      if (::read(progress[0], &last, 1) != 1) break;
    }
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    for (ssize_t n; (n = ::read(progress[0], marks, sizeof marks)) > 0;) last = marks[n - 1];
    ::close(progress[0]);
    insideSave += last == '(';
    const std::string now = ReadAll(path);
    if (now == versions[0]) ++seen[0];
    else if (now == versions[1]) ++seen[1];
    else ++broken;
    const int left = Leftovers(dir);
    leftovers += left;
    mostLeft = std::max(mostLeft, left);
    // A save that changes nothing writes nothing; one of these two writes.
    // Each child starts from the LastNum=1 version.
    next.Save(2);
    next.Save(1);
    stayed += Leftovers(dir);
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("SIGKILL during saves: %d kills in %.1f s (%d inside a save), one save of %zu bytes takes %ld us; "
              "LastNum=1 version %d, LastNum=2 version %d, neither %d; %d files left beside it, %d after the next save\n",
              kKills, seconds, insideSave, versions[0].size(), saveUs, seen[0], seen[1], broken, leftovers, stayed);
  EXPECT_EQ(broken, 0);
  EXPECT_GT(seen[0] * seen[1], 0) << "the kills did not come both before and after completed saves";
  EXPECT_GT(insideSave, kKills / 10) << "too few kills came in the middle of a save";
  EXPECT_LE(mostLeft, 1) << "only the file a cut save was naming may be left";
  EXPECT_EQ(stayed, 0);
  std::system(("rm -rf '" + dir + "'").c_str());
}
