; The Windows installer of Marivo2, built by tools/package-windows.sh with
; Debian's makensis:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DEXE=... -DICON=... \
;            -DREADME=... -DSIZE_KB=... -DOUTFILE=... [-DWIZARD_DIR=...] \
;            -DUNINSTALLER_OUT=... marivo2.nsi   (first: the uninstaller)
;   makensis ... -DUNINSTALLER=... marivo2.nsi     (then: the installer)
;
; The uninstaller is made by a first run of its own, so that it carries a
; version resource that describes it (an uninstaller written by the
; installer would carry the installer's); that run's installer is thrown
; away. The second run packs the finished uninstaller as a file, whose size
; is then known for the estimated size in the list of apps.
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
!ifdef UNINSTALLER_OUT
  VIAddVersionKey /LANG=0 "FileDescription" "Marivo2 ${VERSION} uninstaller"
  VIAddVersionKey /LANG=0 "OriginalFilename" "uninstall.exe"
  ; Keeps the uninstaller as makensis makes it, before it is packed.
  !uninstfinalize 'cp "%1" "${UNINSTALLER_OUT}"'
!else ifdef UNINSTALLER
  VIAddVersionKey /LANG=0 "FileDescription" "Marivo2 ${VERSION} setup"
  VIAddVersionKey /LANG=0 "OriginalFilename" "marivo2-${VERSION}-setup.exe"
!else
  !error "UNINSTALLER_OUT (the first run) or UNINSTALLER (the second) must be given with -D"
!endif
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) ${PUBLISHER}"

!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "Sections.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!ifdef WIZARD_DIR
  !define MUI_WELCOMEFINISHPAGE_BITMAP "${WIZARD_DIR}/wizard-96.bmp"
!endif
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!ifdef WIZARD_DIR
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW WelcomeShow
!endif
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\marivo2.exe"
!define MUI_FINISHPAGE_RUN_NOTCHECKED
!ifdef WIZARD_DIR
  !define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!endif
!insertmacro MUI_PAGE_FINISH

!ifdef UNINSTALLER_OUT
  !define MUI_UNCONFIRMPAGE_TEXT_TOP "$(UninstallKeepsRecord)"
  !insertmacro MUI_UNPAGE_CONFIRM
  !insertmacro MUI_UNPAGE_INSTFILES
!endif

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
!ifdef UNINSTALLER
  File "/oname=uninstall.exe" "${UNINSTALLER}"
!else
  WriteUninstaller "$INSTDIR\uninstall.exe"
!endif

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

!ifdef WIZARD_DIR
; The picture beside the welcome and finish pages. Its box (109 x 193
; dialog units) grows with the dialog font and the display scale; the
; package carries the picture drawn for the box at 96, 120, 144 and 192 dpi,
; the art blown up by whole numbers. The smallest drawing that covers the
; box (else the largest) is shown unstretched, centred and cut to the box,
; never smoothed. In: $0 the box. Out: $1 the bitmap now shown; the caller
; frees the one the page had loaded.
!macro WizardCandidate DPI
  ${If} $R0 == 0
    File "/oname=$PLUGINSDIR\wizard-${DPI}.bmp" "${WIZARD_DIR}/wizard-${DPI}.bmp"
    System::Call 'user32::LoadImageW(p 0, w "$PLUGINSDIR\wizard-${DPI}.bmp", i ${IMAGE_BITMAP}, i 0, i 0, i ${LR_LOADFROMFILE}) p .r2'
    ${If} $2 P<> 0
      System::Call 'gdi32::GetObjectW(p r2, i 32, @ r5)'
      System::Call '*$5(i, i .r6, i .r7)'
      ${If} $1 P<> 0
        System::Call 'gdi32::DeleteObject(p r1)'
      ${EndIf}
      StrCpy $1 $2
      ${If} $6 >= $3
      ${AndIf} $7 >= $4
        StrCpy $R0 1
      ${EndIf}
    ${EndIf}
  ${EndIf}
!macroend

Function WizardPicture
  System::Call 'user32::GetClientRect(p r0, @ r2)'
  System::Call '*$2(i, i, i .r3, i .r4)'
  StrCpy $1 0
  StrCpy $R0 0
  !insertmacro WizardCandidate 96
  !insertmacro WizardCandidate 120
  !insertmacro WizardCandidate 144
  !insertmacro WizardCandidate 192
  ${If} $1 P<> 0
    ${NSD_AddStyle} $0 ${SS_CENTERIMAGE}
    SendMessage $0 ${STM_SETIMAGE} ${IMAGE_BITMAP} $1
  ${EndIf}
FunctionEnd

Function WelcomeShow
  StrCpy $0 $mui.WelcomePage.Image
  Call WizardPicture
  ${If} $1 P<> 0
    ${NSD_FreeImage} $mui.WelcomePage.Image.Bitmap
    StrCpy $mui.WelcomePage.Image.Bitmap $1
  ${EndIf}
FunctionEnd

Function FinishShow
  StrCpy $0 $mui.FinishPage.Image
  Call WizardPicture
  ${If} $1 P<> 0
    ${NSD_FreeImage} $mui.FinishPage.Image.Bitmap
    StrCpy $mui.FinishPage.Image.Bitmap $1
  ${EndIf}
FunctionEnd
!endif

!ifdef UNINSTALLER_OUT
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
!endif
