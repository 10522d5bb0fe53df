#pragma once
// The program's version block. Included by lumisaver.rc (Windows resource)
// and compiled into the native build, so both read the same strings.
#define LUMI_VER_NUMBERS 1, 0, 0, 10
#define LUMI_VER_FILEVERSION_STR "1, 0, 0, 10"
#define LUMI_VER_PRODUCTVERSION_STR "1, 0, 0, 10"
#define LUMI_VER_PRODUCTNAME "Lumiscript"
#define LUMI_VER_COMPANYNAME "Veltrane Software"
// What Windows shows for the file (properties, elevation and SmartScreen prompts).
#define LUMI_VER_FILEDESCRIPTION "Lumiscript screensaver"
// VerLanguageNameW's spelling of the neutral language of the translation.
#define LUMI_VER_LANGUAGENAME "Language Neutral"
