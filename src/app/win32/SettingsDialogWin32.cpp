// The settings dialog of the Windows program (/c): dialog resource, control
// set-up from the choices, and the save on OK.
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/SettingsChoices.h"
#include "app/win32/SaverDialogWin32.h"
#include "content/ContentList.h"
#include "platform/Platform.h"
#include "platform/Text.h"
#include "res/DialogIds.h"
#include "settings/DataPaths.h"
#include "settings/Settings.h"

namespace {

const wchar_t* W(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }

struct DialogState {
  CApplication* app;
  const SettingsDialogTexts* texts;
  SettingsChoices shown;
  bool saveFailedShown = false;
};

// The system's language as the text table reads it, or as its language
// number says: Wine names every language in English.
bool SystemSpeaksRussian() {
  char16_t name[85] = {};
  plat::LocaleLanguageName(name, 85);
  return IsRussianLocaleName(name, 85) || PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_RUSSIAN;
}

int CALLBACK AddFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM list) {
  const HWND combo = reinterpret_cast<HWND>(list);
  // Vertical variants ("@Face") are not faces of their own.
  if ((type & TRUETYPE_FONTTYPE) == 0 || font->lfFaceName[0] == L'@') return 1;
  if (SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(font->lfFaceName)) == CB_ERR)
    SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(font->lfFaceName));
  return 1;
}

void FillFonts(HWND combo, const std::u16string& current) {
  LOGFONTW all = {};
  all.lfCharSet = DEFAULT_CHARSET;
  const HDC dc = GetDC(nullptr);
  EnumFontFamiliesExW(dc, &all, AddFace, LPARAM(combo), 0);
  ReleaseDC(nullptr, dc);
  if (current.empty()) return;
  // Today's face stays choosable even where it is not installed: the system
  // substitutes another for it, and the user's setting is kept.
  LRESULT at = SendMessageW(combo, CB_FINDSTRINGEXACT, WPARAM(-1), LPARAM(W(current.c_str())));
  if (at == CB_ERR) at = SendMessageW(combo, CB_ADDSTRING, 0, LPARAM(W(current.c_str())));
  SendMessageW(combo, CB_SETCURSEL, WPARAM(at), 0);
}

std::u16string ItemText(HWND dialog, int id) {
  const HWND combo = GetDlgItem(dialog, id);
  const LRESULT at = SendMessageW(combo, CB_GETCURSEL, 0, 0);
  if (at == CB_ERR) return std::u16string();
  const LRESULT units = SendMessageW(combo, CB_GETLBTEXTLEN, WPARAM(at), 0);
  if (units == CB_ERR) return std::u16string();
  std::u16string text(size_t(units) + 1, u'\0');
  SendMessageW(combo, CB_GETLBTEXT, WPARAM(at), LPARAM(text.data()));
  text.resize(text::Len(text.c_str()));
  return text;
}

std::u16string EditText(HWND dialog, int id) {
  char16_t text[kChoiceTextUnits + 2] = {};
  GetDlgItemTextW(dialog, id, reinterpret_cast<wchar_t*>(text), int(kChoiceTextUnits + 2));
  return text;
}

void SetCheck(HWND dialog, int id, bool on) { CheckDlgButton(dialog, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool Checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void EnableProxyFields(HWND dialog) {
  const bool on = Checked(dialog, LUMI_PROXY_ENABLED);
  for (const int id : {LUMI_PROXY_SERVER_LABEL, LUMI_PROXY_SERVER, LUMI_PROXY_PORT_LABEL, LUMI_PROXY_PORT})
    EnableWindow(GetDlgItem(dialog, id), on);
}

void Initialise(HWND dialog, DialogState* state) {
  const SettingsDialogTexts& t = *state->texts;
  const SettingsChoices& c = state->shown;
  SetWindowTextW(dialog, W(t.title));
  const struct {
    int id;
    const char16_t* text;
  } labels[] = {{LUMI_LANGUAGE_LABEL, t.language}, {LUMI_FONT_LABEL, t.font},
                {LUMI_SAMPLES_LABEL, t.antialiasing}, {LUMI_AUTO_UPDATE, t.autoUpdate},
                {LUMI_LOG, t.log}, {LUMI_PROXY_GROUP, t.proxy},
                {LUMI_PROXY_ENABLED, t.useProxy}, {LUMI_PROXY_SERVER_LABEL, t.server},
                {LUMI_PROXY_PORT_LABEL, t.port}, {IDOK, t.ok},
                {IDCANCEL, t.cancel}};
  for (const auto& label : labels) SetDlgItemTextW(dialog, label.id, W(label.text));

  const HWND language = GetDlgItem(dialog, LUMI_LANGUAGE);
  for (const char16_t* name : t.languages) SendMessageW(language, CB_ADDSTRING, 0, LPARAM(W(name)));
  SendMessageW(language, CB_SETCURSEL, c.russian ? 1 : 0, 0);
  FillFonts(GetDlgItem(dialog, LUMI_FONT), c.font);
  const HWND samples = GetDlgItem(dialog, LUMI_SAMPLES);
  for (const char16_t* name : t.samples) SendMessageW(samples, CB_ADDSTRING, 0, LPARAM(W(name)));
  SendMessageW(samples, CB_SETCURSEL, WPARAM(c.samples), 0);

  SetCheck(dialog, LUMI_AUTO_UPDATE, c.autoUpdate);
  SetCheck(dialog, LUMI_LOG, c.log);
  SetCheck(dialog, LUMI_PROXY_ENABLED, c.proxyEnabled);
  SendDlgItemMessageW(dialog, LUMI_PROXY_SERVER, EM_LIMITTEXT, kChoiceTextUnits, 0);
  SendDlgItemMessageW(dialog, LUMI_PROXY_PORT, EM_LIMITTEXT, 5, 0);
  SetDlgItemTextW(dialog, LUMI_PROXY_SERVER, W(c.proxyServer.c_str()));
  SetDlgItemTextW(dialog, LUMI_PROXY_PORT, W(c.proxyPort.c_str()));
  EnableProxyFields(dialog);
}

SettingsChoices Chosen(HWND dialog) {
  SettingsChoices c;
  c.russian = SendDlgItemMessageW(dialog, LUMI_LANGUAGE, CB_GETCURSEL, 0, 0) == 1;
  c.font = ItemText(dialog, LUMI_FONT);
  const LRESULT samples = SendDlgItemMessageW(dialog, LUMI_SAMPLES, CB_GETCURSEL, 0, 0);
  c.samples = samples >= 0 && samples < kSampleChoiceCount ? int(samples) : 0;
  c.autoUpdate = Checked(dialog, LUMI_AUTO_UPDATE);
  c.log = Checked(dialog, LUMI_LOG);
  c.proxyEnabled = Checked(dialog, LUMI_PROXY_ENABLED);
  c.proxyServer = EditText(dialog, LUMI_PROXY_SERVER);
  c.proxyPort = EditText(dialog, LUMI_PROXY_PORT);
  return c;
}

// True when the dialog may close: the choices are sound and saved, or a
// failed save has been reported once already (the file cannot be written,
// and the values in use stay those the run reads). Otherwise the user has
// been told why, and the dialog keeps every choice.
bool Save(HWND dialog, DialogState* state) {
  const SettingsDialogTexts& t = *state->texts;
  const SettingsChoices chosen = Chosen(dialog);
  const ChoiceProblem problem = CheckChoices(chosen);
  if (problem != ChoiceProblem::None) {
    MessageBoxW(dialog, W(t.problems[int(problem)]), W(t.title), MB_OK | MB_ICONWARNING);
    return false;
  }
  const char16_t* path = state->app->paths->settingsPath;
  const bool exists = GetFileAttributesW(W(path)) != INVALID_FILE_ATTRIBUTES;
  if (CommitChoices(state->shown, chosen, exists, state->app, SaveSettingKeys)) return true;
  if (state->saveFailedShown) return true;
  state->saveFailedShown = true;
  char16_t message[kPathCapacity + 128];
  text::Format(message, sizeof message / sizeof message[0], t.saveFailed, path);
  MessageBoxW(dialog, W(message), W(t.title), MB_OK | MB_ICONERROR);
  return false;
}

INT_PTR CALLBACK SettingsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  DialogState* state = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      Initialise(dialog, reinterpret_cast<DialogState*>(lParam));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (Save(dialog, state)) EndDialog(dialog, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case LUMI_PROXY_ENABLED:
          EnableProxyFields(dialog);
          return TRUE;
      }
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace

int RunSettingsDialog(NativeHandle ownerHandle) {
  CApplication* app = g_application;
  const HWND owner = reinterpret_cast<HWND>(ownerHandle);
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  DialogState state{app, &DialogTexts(SystemSpeaksRussian()), ChoicesOf(*app)};
  DialogBoxParamW(reinterpret_cast<HINSTANCE>(app->instance), MAKEINTRESOURCEW(LUMI_SETTINGS_DIALOG),
                  owner != nullptr && IsWindow(owner) ? owner : nullptr, SettingsDialogProc, LPARAM(&state));
  return 0;
}
