; Lumiscript setup: the screensaver where Windows lists screensavers, the
; content in Program Files, the registry values the program reads, and an
; uninstaller that leaves the user's settings and log unless asked.
;
; Built by the Windows build (cmake/Installer.cmake), which defines:
;   LUMI_VERSION  four-part version          LUMI_SCR      the built lumisaver.scr
;   LUMI_CONTENT  folder of the 200 content files
;   LUMI_NAMES    generated list of their names (LUMI_CONTENT_FILES macro)
;   LUMI_OUTFILE  the setup program to write  LUMI_X64      defined for the x64 build
;   LUMI_SIGN_CERT, LUMI_SIGN_SCRIPT, LUMI_CMAKE  with a certificate: signs the
;                 setup and the uninstaller (cmake/Sign.cmake)
;
; Silent use: setup /S [/CURRENT]  (/CURRENT also makes it the current screensaver)
;             uninstall /S [/REMOVESETTINGS]  (also deletes main.ini and log.txt)

Unicode true
!ifdef LUMI_X64
  Target amd64-unicode
!endif
SetCompressor /SOLID bzip2
RequestExecutionLevel admin

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include x64.nsh
!include "${LUMI_NAMES}"

!define PRODUCT "Lumiscript"
!define PUBLISHER "Veltrane Software"
!define PROGRAM_KEY "Software\${PUBLISHER}\${PRODUCT}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define DESKTOP_KEY "Control Panel\Desktop"
!define SCR "lumisaver.scr"
; Value of the program key that keeps the screensaver ours replaced.
!define PREVIOUS "PreviousScreenSaver"

Name "${PRODUCT}"
OutFile "${LUMI_OUTFILE}"
!ifdef LUMI_SIGN_CERT
  !define LUMI_SIGN '"${LUMI_CMAKE}" "-DCERT=${LUMI_SIGN_CERT}" "-DFILE=%1" -P "${LUMI_SIGN_SCRIPT}"'
  !finalize '${LUMI_SIGN}' = 0
  !uninstfinalize '${LUMI_SIGN}' = 0
!endif
!ifdef LUMI_X64
  InstallDir "$PROGRAMFILES64\${PRODUCT}"
!else
  InstallDir "$PROGRAMFILES\${PRODUCT}"
!endif
InstallDirRegKey HKCU "${PROGRAM_KEY}" ""
BrandingText "${PRODUCT} ${LUMI_VERSION}"

VIProductVersion "${LUMI_VERSION}"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${LUMI_VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${LUMI_VERSION}"
VIAddVersionKey /LANG=0 "LegalCopyright" "© ${PUBLISHER}"

Var ScrDir   ; folder of the .scr as the system itself names it
Var DataDir  ; the user's data folder (main.ini, log.txt)
; The account whose desktop the setup runs on (the owner of the shell), as a
; SID for HKEY_USERS; "" when unknown. An elevation with an administrator's
; name runs the setup as that account, whose HKCU is not the user's.
Var UserSid

!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Russian"

LangString StrProgram ${LANG_ENGLISH} "Lumiscript screensaver and its 100 models"
LangString StrProgram ${LANG_RUSSIAN} "Заставка Lumiscript и её 100 моделей"
LangString StrCurrent ${LANG_ENGLISH} "Make Lumiscript the current screensaver"
LangString StrCurrent ${LANG_RUSSIAN} "Сделать Lumiscript текущей заставкой"
LangString StrUnProgram ${LANG_ENGLISH} "Program files and models"
LangString StrUnProgram ${LANG_RUSSIAN} "Файлы программы и модели"
LangString StrUnSettings ${LANG_ENGLISH} "My settings and log (main.ini, log.txt)"
LangString StrUnSettings ${LANG_RUSSIAN} "Мои настройки и журнал (main.ini, log.txt)"

; ---- shared by the setup and the uninstaller --------------------------------

!macro LUMI_SYSTEM_VIEW
  !ifndef LUMI_X64
    ${If} ${RunningX64}
      ${DisableX64FSRedirection}
    ${EndIf}
  !endif
!macroend

!macro LUMI_OWN_VIEW
  !ifndef LUMI_X64
    ${If} ${RunningX64}
      ${EnableX64FSRedirection}
    ${EndIf}
  !endif
!macroend

!macro LUMI_SHARED UN
  Function ${UN}FindFolders
    !ifdef LUMI_X64
      SetRegView 64
      StrCpy $ScrDir $SYSDIR
    !else
      ; A 32-bit screensaver belongs in SysWOW64 on 64-bit Windows, where the
      ; screensaver settings look for it. The folder is named outright so the
      ; SCRNSAVE.EXE value holds the path the system sees, not the System32
      ; that this 32-bit process is redirected from.
      ${If} ${RunningX64}
        StrCpy $ScrDir "$WINDIR\SysWOW64"
      ${Else}
        StrCpy $ScrDir $SYSDIR
      ${EndIf}
    !endif
    SetShellVarContext current
  FunctionEnd

  Function ${UN}FindUserSid
    StrCpy $UserSid ""
    System::Call "user32::GetShellWindow() p .r0"
    ${If} $0 P= 0
      Return
    ${EndIf}
    System::Call "user32::GetWindowThreadProcessId(p r0, *i .r1)"
    ; PROCESS_QUERY_LIMITED_INFORMATION, TOKEN_QUERY
    System::Call "kernel32::OpenProcess(i 0x1000, i 0, i r1) p .r2"
    ${If} $2 P= 0
      Return
    ${EndIf}
    System::Call "advapi32::OpenProcessToken(p r2, i 8, *p .r3) i .r4"
    System::Call "kernel32::CloseHandle(p r2)"
    ${If} $4 = 0
      Return
    ${EndIf}
    System::Alloc 256
    Pop $5
    ; TokenUser: a TOKEN_USER, whose first field points to the SID.
    System::Call "advapi32::GetTokenInformation(p r3, i 1, p r5, i 256, *i .r6) i .r4"
    System::Call "kernel32::CloseHandle(p r3)"
    ${If} $4 <> 0
      System::Call "*$5(p .r6)"
      System::Call "advapi32::ConvertSidToStringSidW(p r6, *p .r7) i .r4"
      ${If} $4 <> 0
        System::Call "*$7(&w256 .r8)"
        System::Call "kernel32::LocalFree(p r7)"
        ; Only an account whose hive is loaded, as the shell's is.
        ClearErrors
        EnumRegKey $9 HKU "$8" 0
        ${IfNot} ${Errors}
          StrCpy $UserSid $8
        ${EndIf}
      ${EndIf}
    ${EndIf}
    System::Free $5
  FunctionEnd

  ; $0: a SCRNSAVE.EXE value. $1: 1 when it names our .scr (long or short
  ; form), 2 when it names another file that exists, else 0.
  Function ${UN}WhatIs
    Push $2
    Push $3
    ; The setting names files as the system sees them, not through the
    ; 32-bit view's redirection. Nothing here may load a DLL meanwhile.
    !insertmacro LUMI_SYSTEM_VIEW
    StrCpy $1 0
    ${If} $0 == "$ScrDir\${SCR}"
      StrCpy $1 1
    ${ElseIf} $0 != ""
      GetFullPathName /SHORT $2 "$ScrDir\${SCR}"
      GetFullPathName /SHORT $3 $0
      ${If} $2 != ""
      ${AndIf} $2 == $3
        StrCpy $1 1
      ${ElseIf} ${FileExists} $0
        StrCpy $1 2
      ${EndIf}
    ${EndIf}
    !insertmacro LUMI_OWN_VIEW
    Pop $3
    Pop $2
  FunctionEnd
!macroend
!insertmacro LUMI_SHARED ""
!insertmacro LUMI_SHARED "un."

; The user's own values (HKCU of the account on the desktop).
!macro LUMI_USER_READ OUT KEY NAME
  ${If} $UserSid != ""
    ReadRegStr ${OUT} HKU "$UserSid\${KEY}" "${NAME}"
  ${Else}
    ReadRegStr ${OUT} HKCU "${KEY}" "${NAME}"
  ${EndIf}
!macroend

!macro LUMI_USER_WRITE KEY NAME VALUE
  ${If} $UserSid != ""
    WriteRegStr HKU "$UserSid\${KEY}" "${NAME}" "${VALUE}"
  ${Else}
    WriteRegStr HKCU "${KEY}" "${NAME}" "${VALUE}"
  ${EndIf}
!macroend

!macro LUMI_USER_DELETE KEY NAME
  ${If} $UserSid != ""
    DeleteRegValue HKU "$UserSid\${KEY}" "${NAME}"
  ${Else}
    DeleteRegValue HKCU "${KEY}" "${NAME}"
  ${EndIf}
!macroend

; A running .scr (the Screen Saver dialog's preview, or the screensaver that
; started the updater running this setup) cannot be replaced, but Windows
; lets it be renamed: it goes aside and is deleted at the next start.
Function SetAsideScr
  ${If} ${FileExists} "$ScrDir\${SCR}"
    ClearErrors
    Delete "$ScrDir\${SCR}"
    ${If} ${Errors}
      GetTempFileName $0 $ScrDir
      Delete $0
      Rename "$ScrDir\${SCR}" $0
      Delete /REBOOTOK $0
    ${EndIf}
  ${EndIf}
FunctionEnd

!macro LUMI_PUT NAME
  !if ! /FileExists "${LUMI_CONTENT}/${NAME}"
    !error "${LUMI_CONTENT}/${NAME} is missing: build the native preset first, it forges the content"
  !endif
  File "${LUMI_CONTENT}/${NAME}"
!macroend

!macro LUMI_REMOVE NAME
  Delete "$INSTDIR\${NAME}"
!macroend

; ---- setup --------------------------------------------------------------------

Section "$(StrProgram)" SecProgram
  SectionIn RO
  SetOutPath $ScrDir
  Call SetAsideScr
  File "/oname=${SCR}" "${LUMI_SCR}"

  SetOutPath $INSTDIR
  !insertmacro LUMI_CONTENT_FILES LUMI_PUT
  WriteUninstaller "$INSTDIR\uninstall.exe"

  StrCpy $DataDir "$APPDATA\${PRODUCT}"
  CreateDirectory $DataDir
  WriteRegStr HKCU "${PROGRAM_KEY}" "" $INSTDIR
  WriteRegStr HKCU "${PROGRAM_KEY}" "AppDataDir" $DataDir
  ; Every other account, and the user whose elevation ran this setup under an
  ; administrator's name, finds the content here; its data goes to its own
  ; %APPDATA%\Lumiscript.
  WriteRegStr HKLM "${PROGRAM_KEY}" "" $INSTDIR

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${LUMI_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$ScrDir\${SCR},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" $INSTDIR
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} $INSTDIR "/S=0K" $0 $1 $2
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; For the user on the desktop, not for the account that elevated the setup.
Section /o "$(StrCurrent)" SecCurrent
  Call FindUserSid
  !insertmacro LUMI_USER_READ $0 "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call WhatIs
  ; A reinstall keeps what the first install replaced.
  ${If} $1 == 2
    !insertmacro LUMI_USER_WRITE "${PROGRAM_KEY}" "${PREVIOUS}" $0
  ${ElseIf} $1 == 0
    !insertmacro LUMI_USER_DELETE "${PROGRAM_KEY}" "${PREVIOUS}"
  ${EndIf}
  !insertmacro LUMI_USER_WRITE "${DESKTOP_KEY}" "SCRNSAVE.EXE" "$ScrDir\${SCR}"
  !insertmacro LUMI_USER_WRITE "${DESKTOP_KEY}" "ScreenSaveActive" "1"
  ; SPI_SETSCREENSAVEACTIVE with SPIF_SENDCHANGE: the session takes it now.
  System::Call "user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)"
SectionEnd

; Section indexes are known only after the sections.
Function .onInit
  Call FindFolders
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/CURRENT" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecCurrent} ${SF_SELECTED}
  ${EndIf}
FunctionEnd

; ---- uninstaller ----------------------------------------------------------------

Section "un.$(StrUnProgram)" SecUnProgram
  SectionIn RO
  ; The screensaver setting first, while our file is there to compare with:
  ; back to the one we replaced if it still exists, else none, never a
  ; setting that names a missing file.
  Call un.FindUserSid
  !insertmacro LUMI_USER_READ $0 "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  Call un.WhatIs
  ${If} $1 == 1
    !insertmacro LUMI_USER_READ $0 "${PROGRAM_KEY}" "${PREVIOUS}"
    Call un.WhatIs
    ${If} $1 == 2
      !insertmacro LUMI_USER_WRITE "${DESKTOP_KEY}" "SCRNSAVE.EXE" $0
    ${Else}
      !insertmacro LUMI_USER_DELETE "${DESKTOP_KEY}" "SCRNSAVE.EXE"
    ${EndIf}
    System::Call "user32::SystemParametersInfoW(i 17, i 1, p 0, i 2)"
  ${EndIf}

  Delete /REBOOTOK "$ScrDir\${SCR}"
  !insertmacro LUMI_CONTENT_FILES LUMI_REMOVE
  Delete "$INSTDIR\uninstall.exe"
  RMDir $INSTDIR
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "${PROGRAM_KEY}"
  !insertmacro LUMI_USER_DELETE "${PROGRAM_KEY}" "${PREVIOUS}"
  DeleteRegKey /ifempty HKCU "Software\${PUBLISHER}"
  DeleteRegKey HKLM "${PROGRAM_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${PUBLISHER}"
  ; A downloaded updater is the program's, not the user's.
  ${If} $DataDir != ""
    Delete "$DataDir\Brightmoor_updates.exe"
  ${EndIf}
SectionEnd

Section /o "un.$(StrUnSettings)" SecUnSettings
  ${If} $DataDir != ""
    Delete "$DataDir\main.ini"
    Delete "$DataDir\log.txt"
  ${EndIf}
SectionEnd

Section "-un.DataFolder"
  ; Gone only when nothing of the user's is left in it.
  ${If} $DataDir != ""
    RMDir $DataDir
  ${EndIf}
SectionEnd

Function un.onInit
  Call un.FindFolders
  ReadRegStr $DataDir HKCU "${PROGRAM_KEY}" "AppDataDir"
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/REMOVESETTINGS" $R1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecUnSettings} ${SF_SELECTED}
  ${EndIf}
FunctionEnd
