#include "NetTestSupport.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "hub/Application.h"
#include "log/Log.h"
#include "net/NetInterface.h"
#include "net/Update.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/VersionInfo.h"

namespace nettest {

void WriteFile(const std::string& path, const std::string& data, int mode) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << data;
  chmod(path.c_str(), static_cast<mode_t>(mode));
}

std::string ReadLogUtf8(const std::string& path) {
  const std::string bytes = ReadFile(path);
  std::u16string wide;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    wide += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  (static_cast<unsigned char>(bytes[i + 1]) << 8));
  return text::ToUtf8(wide);
}

TestApp::TestApp(const std::string& tag) : dataDir(MakeTempDir(tag)) {
  EnvGuard data("LUMISAVER_APPDATA_DIR", dataDir.c_str());
  app = new CApplication;
  app->paths = new CDataPaths;
  logPath = text::ToUtf8(app->paths->logPath);
  updaterPath = text::ToUtf8(app->paths->updaterPath);
  app->log = new CLog(app->paths->logPath);
  app->log->level = 1;
  app->localVersion = new VersionInfo;
  const int32_t local[4] = {1, 0, 0, 10};
  std::copy(local, local + 4, app->localVersion->version);
  app->net = new NetInterface(app, app->log);
  app->net->Init();
}

TestApp::~TestApp() {
  // Never free what a still running update thread uses.
  if (!WaitFor([] { return !UpdateThreadBusy(nullptr); }, 60000)) {
    ADD_FAILURE() << "update thread still busy";
    return;
  }
  if (app->net) app->net->Stop(false);
  delete app->net;
  delete app->log;
  delete app->paths;
  delete app->localVersion;
  delete app->serverVersion.load();
  delete app;
  std::error_code ignored;
  std::filesystem::remove_all(dataDir, ignored);
}

}  // namespace nettest
