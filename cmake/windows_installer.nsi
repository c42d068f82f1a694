; The Windows installer of Ostrel, built with NSIS (makensis) by the Windows
; build (cmake/Ostrel_bundle.cmake passes VERSION, BUNDLE and OUTFILE).
; Installs the bundle into the VST 3 folder every 64-bit host scans, keeps an
; uninstaller in Program Files with its entry under "Apps & features", and
; installs again over an earlier version in place. /S installs silently; the
; uninstaller takes /S too. The user's own folder (presets, last state) is
; never touched.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define PRODUCT "Ostrel"
!define PUBLISHER "Talmesh"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
!define BUNDLE_FOLDER "$COMMONFILES64\VST3\${PRODUCT}.vst3"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The uninstaller's folder; the bundle goes where hosts look for it.
InstallDir "$PROGRAMFILES64\${PUBLISHER}\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "${PRODUCT}"
VIAddVersionKey "CompanyName" "${PUBLISHER}"
VIAddVersionKey "FileDescription" "${PRODUCT} ${VERSION} setup (64-bit VST 3)"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "GPL-3.0-or-later"

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This installs ${PRODUCT} ${VERSION}, a 64-bit VST 3 effect, into$\r$\n$\r$\n    C:\Program Files\Common Files\VST3$\r$\n$\r$\nwhere every 64-bit VST 3 host finds it. An earlier version there is replaced; your presets and settings stay.$\r$\n$\r$\nClose your audio programs before you continue."
!define MUI_FINISHPAGE_TEXT "${PRODUCT} ${VERSION} is installed. Let your host rescan its plug-ins.$\r$\n$\r$\nThe editor needs the Microsoft Edge WebView2 Runtime, which current Windows versions already have; without it the editor says so."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "Ostrel"
  ; In place over an earlier version: its files go first, so none of them
  ; outlives the upgrade.
  RMDir /r "${BUNDLE_FOLDER}"
  ClearErrors
  SetOutPath "${BUNDLE_FOLDER}"
  File /r "${BUNDLE}\*.*"
  IfErrors 0 +2
    Abort "Ostrel.vst3 could not be written. Close every program that uses the plug-in and run the setup again."

  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ${GetSize} "${BUNDLE_FOLDER}" "/S=0K" $0 $1 $2
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (VST 3)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "${BUNDLE_FOLDER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Only what the setup put there: the bundle, the uninstaller and its entry.
  ; The user's folder (%APPDATA%\Talmesh: presets, last state) stays.
  RMDir /r "${BUNDLE_FOLDER}"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  RMDir "$INSTDIR\.."
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
