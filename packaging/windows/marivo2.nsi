; The Windows installer of Marivo2, built by tools/package-windows.sh with
; Debian's makensis:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DEXE=... -DICON=... \
;            -DREADME=... -DSIZE_KB=... -DOUTFILE=... [-DWIZARD=...] marivo2.nsi
;
; It installs for the current user only, without administrator rights, into
; %LOCALAPPDATA%\Programs\Marivo2. That folder is the user's own, so the
; catch record (marivo2.ini) lives beside the installed program. The
; uninstaller removes the program, its shortcuts, the sign-in entry and its
; own registration, and never the record: neither marivo2.ini beside the
; program nor %APPDATA%\Marivo2. The folder goes only when it is empty.

!ifndef VERSION | EXE | ICON | README | SIZE_KB | OUTFILE
  !error "VERSION, EXE, ICON, README, SIZE_KB and OUTFILE must be given with -D"
!endif

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Marivo2"
!define PUBLISHER "Marivo2 developers"
; A running copy of the game has a hidden window of this class and holds a
; mutex of this name followed by "." and the user's name.
!define GAME_WINDOW_CLASS "Marivo2Service"
!define GAME_MUTEX "Local\Marivo2.Running"

Name "$(ProductTitle)"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Marivo2"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Marivo2 ${VERSION}"

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "Marivo2"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Marivo2 ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!ifdef WIZARD
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD}"
!endif
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\marivo2.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!insertmacro MUI_PAGE_FINISH

!define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UninstallKeepsRecord)"
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the fallback when the user's is neither.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ProductTitle ${LANG_ENGLISH} "Marivo2"
LangString ProductTitle ${LANG_JAPANESE} "マリヴォ２"
LangString SectionGame ${LANG_ENGLISH} "Marivo2 (the game)"
LangString SectionGame ${LANG_JAPANESE} "マリヴォ２ (ゲーム本体)"
LangString SectionSignIn ${LANG_ENGLISH} "Start at sign-in"
LangString SectionSignIn ${LANG_JAPANESE} "サインイン時に起動する"
LangString GameRunning ${LANG_ENGLISH} "Marivo2 is running. Exit it first (right-click its button, then 終了) and try again."
LangString GameRunning ${LANG_JAPANESE} "マリヴォ２が起動しています。ボタンを右クリックして「終了」を選んでから、もう一度お試しください。"
LangString UninstallKeepsRecord ${LANG_ENGLISH} "Marivo2 will be removed from your computer. Your catch record (marivo2.ini) is kept."
LangString UninstallKeepsRecord ${LANG_JAPANESE} "マリヴォ２をアンインストールします。釣果の記録 (marivo2.ini) は削除されません。"

; Shortcut names: the installer's language picks one; the uninstaller
; removes whichever exists.
!define LINK_EN "Marivo2.lnk"
!define LINK_JA "マリヴォ２.lnk"

; Leaves 1 in $0 while a copy of the game runs for this user, else 0.
!macro FindRunningGame
  FindWindow $0 "${GAME_WINDOW_CLASS}"
  ${If} $0 != 0
    StrCpy $0 1
  ${Else}
    System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i .r2'
    ${If} $2 != 0
      System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "${GAME_MUTEX}.$1") p .r3'
      ${If} $3 P<> 0
        System::Call 'kernel32::CloseHandle(p r3)'
        StrCpy $0 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

; Waits while a copy of the game is running: its files cannot be replaced
; or removed meanwhile. A silent run gives up with an error.
!macro WaitForGameToEnd
  ${Do}
    !insertmacro FindRunningGame
    ${If} $0 == 0
      ${Break}
    ${EndIf}
    ${If} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(GameRunning)" /SD IDCANCEL IDCANCEL`
      SetErrorLevel 2
      Quit
    ${EndIf}
  ${Loop}
!macroend

Section "$(SectionGame)" SectionGame
  SectionIn RO
  !insertmacro WaitForGameToEnd
  SetOutPath "$INSTDIR"
  File "/oname=marivo2.exe" "${EXE}"
  File "/oname=readme.txt" "${README}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; One shortcut, whichever language an earlier install used. Its working
  ; folder is $INSTDIR (the output path).
  Delete "$SMPROGRAMS\${LINK_EN}"
  Delete "$SMPROGRAMS\${LINK_JA}"
  CreateDirectory "$SMPROGRAMS"
  CreateShortCut "$SMPROGRAMS\$(ProductTitle).lnk" "$INSTDIR\marivo2.exe" "" "$INSTDIR\marivo2.exe" 0

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "$(ProductTitle)"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\marivo2.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
SectionEnd

; Unselected unless chosen, or unless an earlier install already starts the
; game at sign-in (see .onInit): a reinstall keeps what the player chose.
Section /o "$(SectionSignIn)" SectionSignIn
  SetOutPath "$INSTDIR"
  Delete "$SMSTARTUP\${LINK_EN}"
  Delete "$SMSTARTUP\${LINK_JA}"
  CreateDirectory "$SMSTARTUP"
  CreateShortCut "$SMSTARTUP\$(ProductTitle).lnk" "$INSTDIR\marivo2.exe" "" "$INSTDIR\marivo2.exe" 0
SectionEnd

; Left unselected on the components page: the sign-in entry goes.
Section "-RemoveSignInWhenUnchosen"
  ${IfNot} ${SectionIsSelected} ${SectionSignIn}
    Delete "$SMSTARTUP\${LINK_EN}"
    Delete "$SMSTARTUP\${LINK_JA}"
  ${EndIf}
SectionEnd

; /SIGNIN on the command line chooses "start at sign-in" for a silent
; install (setup.exe /S /SIGNIN).
Function .onInit
  SetShellVarContext current
  ${If} ${FileExists} "$SMSTARTUP\${LINK_EN}"
  ${OrIf} ${FileExists} "$SMSTARTUP\${LINK_JA}"
    !insertmacro SelectSection ${SectionSignIn}
  ${EndIf}
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/SIGNIN" $1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${SectionSignIn}
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Uninstall"
  !insertmacro WaitForGameToEnd
  Delete "$INSTDIR\marivo2.exe"
  Delete "$INSTDIR\readme.txt"
  Delete "$INSTDIR\uninstall.exe"
  Delete "$SMPROGRAMS\${LINK_EN}"
  Delete "$SMPROGRAMS\${LINK_JA}"
  Delete "$SMSTARTUP\${LINK_EN}"
  Delete "$SMSTARTUP\${LINK_JA}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  ; Only when empty: the player's marivo2.ini keeps the folder.
  RMDir "$INSTDIR"
SectionEnd
