#pragma once
// A settings test's own program folder: a fresh temporary directory named by
// LUMISAVER_PROGRAM_DIR and LUMISAVER_APPDATA_DIR (so it holds main.ini and
// the log too, whatever the build's default), and an application record whose paths and log the test creates and
// the fixture frees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "hub/Application.h"
#include "log/Log.h"
#include "settings/DataPaths.h"
#include "unit/EnvGuard.h"

class ProgramDirTest : public testing::Test {
 protected:
  explicit ProgramDirTest(RunMode mode) { app_.runMode = mode; }
  void SetUp() override {
    char tmpl[] = "/tmp/lumi-settings-XXXXXX";
    dir_ = mkdtemp(tmpl);
    env_.Set("LUMISAVER_PROGRAM_DIR", dir_);
    env_.Set("LUMISAVER_APPDATA_DIR", dir_);
  }
  void TearDown() override {
    delete app_.log;
    delete app_.paths;
    std::system(("rm -rf '" + dir_ + "'").c_str());
  }
  std::string Path() const { return dir_ + "/main.ini"; }
  void Write(const std::string& content) { std::ofstream(Path(), std::ios::binary) << content; }
  std::string Read() const {
    std::ifstream in(Path(), std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  EnvGuard env_;
  std::string dir_;
  CApplication app_;
};
