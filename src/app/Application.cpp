#include "app/Application.h"

#include "content/ContentList.h"
#include "log/Log.h"
#include "net/NetInterface.h"
#include "net/Update.h"
#include "net/UpdateBackend.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "settings/DataPaths.h"
#include "settings/Overrides.h"
#include "settings/Settings.h"
#include "settings/VersionInfo.h"


namespace {
constexpr uint32_t kLocaleUnits = 85;
}

CApplication::CApplication(RunMode mode, NativeHandle instanceHandle) : instance(instanceHandle), runMode(mode) {
  className = new char16_t[8];
  text::Copy(className, 8, u"vtMain");

  const bool snapshot = mode == ModeSnapshot;
  paths = new CDataPaths;
  // The settings dialog before the first run does that run's work first
  // (connection detection included), so that what it shows and what the
  // following runs use is what a first run finds.
  const bool quiet = snapshot || mode == ModePreview || (mode == ModeSettings && paths->settingsExists);
  // The data directory of an installed program is made on its first run;
  // a snapshot and a preview write nothing.
  if (!quiet) plat::CreateParentDirectory(paths->settingsPath);
  log = new CLog(paths->logPath);

  localVersion = new VersionInfo;
  title = new char16_t[256]();
  BuildTitle(localVersion, title);

  net = new NetInterface(this, log);
  if (!quiet) net->Init();
  proxyServer[0] = 0;
  proxyEnabled = 0;
  proxyPort = 0;
  localeName[0] = 0;
  dateFormat[0] = 0;
  fsaaMode = 3;
  text::Copy(font, 85, u"Georgia");
  lastUpdateDate = 0;
  lastReceiveDate = 0;

  if (paths->settingsExists) {
    ReadSettings(this);
  } else if (quiet) {
    // What a first run would show, without writing its settings file.
    plat::LocaleLanguageName(localeName, kLocaleUnits);
    plat::LocaleLongDateFormat(dateFormat, kLocaleUnits);
  } else {
    void* waitBox = plat::ShowWaitBox();
    plat::LocaleLanguageName(localeName, kLocaleUnits);
    plat::LocaleLongDateFormat(dateFormat, kLocaleUnits);
    log->Write(u"LOCALE_SLANGUAGE %s", localeName);
    log->Write(u"LOCALE_SLONGDATE %s", dateFormat);
    ChooseFirstRunConnection(this);
    SaveSettings(this);
    plat::HideWaitBox(waitBox);
  }

  // After the first-run save, so the file starts with the user's values;
  // before the update thread, which reads the log level, and the content
  // list, which takes its language from localeName.
  overrides = &RunOverrides();
  ApplyOverrides(this, overrides);
  if (snapshot || mode == ModePreview) {
    log->level = 0;
  } else if (paths->settingsExists && !quiet) {
    updateThread = nullptr;
    if (proxyEnabled) net->SetProxy(proxyServer, proxyPort);
    if (autoUpdate) StartUpdateThread(this);
  }

  contentList = new CContentList(this);
  lastNum = contentList->SetStart(lastNum);
}

void DestroyApplication(CApplication* app) {
  if (!app) return;
  delete app->contentList;
  app->contentList = nullptr;

  // Stop logs, so the log goes after it; it leaves a socket that a running
  // exchange still uses open. The quiet modes never started the network.
  const bool networked = app->runMode == ModeFullScreen || app->runMode == ModeInitOnly;
  if (app->net && (networked || app->net->socketsStarted)) app->net->Stop(UpdateThreadBusy(app));

  // The update thread is never joined. While it may still be inside the
  // version check or the download it uses the network client, the log, the
  // paths and this object; freeing them under it would be a use after free.
  // The process is about to end and takes them with it.
  if (UpdateThreadBusy(app)) return;

  if (app->net) {
    delete app->net;
    app->net = nullptr;
  }
  delete app->log;
  app->log = nullptr;
  delete app->paths;
  app->paths = nullptr;
  delete app->localVersion;
  delete app->serverVersion.load();
  delete[] app->className;
  delete[] app->title;
  if (g_application == app) g_application = nullptr;
  delete app;
}
