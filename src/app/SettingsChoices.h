#pragma once
// What the settings dialog offers, independent of its window: the choices it
// edits, taken from and put back into the application's settings, their
// checks, and its texts in the two languages.
#include <string>

#include "hub/Application.h"

// The anti-aliasing list: off, then 2, 4 and 8 samples per pixel.
inline constexpr int kSampleChoiceCount = 4;
inline constexpr int kSampleChoices[kSampleChoiceCount] = {0, 2, 4, 8};
// The list entry an FSAAmode value shows as: the least count not below it
// (the driver answers a request with at least that many samples).
int SampleChoiceOf(int fsaaMode);

// Longest font face, proxy address: what a setting's 85-unit buffer holds.
inline constexpr size_t kChoiceTextUnits = 84;

struct SettingsChoices {
  bool russian = false;  // the text line's language
  std::u16string font;
  int samples = 0;  // index into kSampleChoices
  bool autoUpdate = false;
  bool log = false;
  bool proxyEnabled = false;
  std::u16string proxyServer;
  std::u16string proxyPort;  // as typed; empty for none
};

SettingsChoices ChoicesOf(const CApplication& app);

enum class ChoiceProblem { None, FontMissing, ServerMissing, ServerInvalid, PortInvalid };
ChoiceProblem CheckChoices(const SettingsChoices& choices);

// Puts every choice that differs from what the dialog showed into app and
// returns the SettingKey bits of those keys; an untouched choice leaves its
// key as the file has it (Log=3 stays 3, FSAAmode=3 stays 3). The choices
// must have passed CheckChoices.
unsigned ApplyChoices(const SettingsChoices& shown, const SettingsChoices& chosen, CApplication* app);

// OK with checked choices: those that differ from what the dialog showed are
// saved with save(app, keys) (the file is written whole when it does not
// exist). False when that save failed; app then holds what it held before,
// so the values in use stay those of the file.
bool CommitChoices(const SettingsChoices& shown, const SettingsChoices& chosen, bool fileExists, CApplication* app,
                   bool (*save)(CApplication*, unsigned keys));

struct SettingsDialogTexts {
  const char16_t* title;
  const char16_t* language;
  const char16_t* languages[2];  // English, Russian: each in its own language
  const char16_t* font;
  const char16_t* antialiasing;
  const char16_t* samples[kSampleChoiceCount];
  const char16_t* autoUpdate;
  const char16_t* log;
  const char16_t* proxy;
  const char16_t* useProxy;
  const char16_t* server;
  const char16_t* port;
  const char16_t* ok;
  const char16_t* cancel;
  const char16_t* problems[5];  // by ChoiceProblem; None unused
  const char16_t* saveFailed;   // %s: the settings file
};

// The dialog speaks the system's language when that is Russian, else English.
const SettingsDialogTexts& DialogTexts(bool russian);
