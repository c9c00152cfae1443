; The Windows installer, built by scripts/package-windows.sh with Debian's
; NSIS:  makensis -DVERSION=x.y.z -DSTAGE=<folder> -DOUTFILE=<setup.exe>
; STAGE holds Ripwarden.exe, RipwardenHelper.exe and Data\Config as the zip
; gives them.
; A 64-bit installer for the 64-bit program.
Target amd64-unicode
SetCompressor /SOLID lzma

!include "MUI2.nsh"

!ifndef VERSION
  !error "VERSION is not defined"
!endif

Name "Ripwarden"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Ripwarden"
InstallDirRegKey HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ripwarden" "InstallLocation"
RequestExecutionLevel admin
BrandingText "Ripwarden ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Ripwarden"
VIAddVersionKey "FileDescription" "Ripwarden installer"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "LegalCopyright" "The Ripwarden developers"

!define MUI_ICON "${STAGE}\..\ripwarden.ico"
!define MUI_UNICON "${STAGE}\..\ripwarden.ico"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\Ripwarden.exe"
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ripwarden"

Section "Ripwarden"
  SetShellVarContext all
  SetOutPath "$INSTDIR"
  File "${STAGE}\Ripwarden.exe"
  File "${STAGE}\RipwardenHelper.exe"
  ; The shipped defaults: each user's own copy is made from them under
  ; %APPDATA%\Ripwarden on the first start, and never touched from here.
  SetOutPath "$INSTDIR\Data\Config"
  File "${STAGE}\Data\Config\Settings.cfg"
  File "${STAGE}\Data\Config\Presets.cfg"
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\Ripwarden.lnk" "$INSTDIR\Ripwarden.exe"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Ripwarden"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Ripwarden"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Ripwarden.exe"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; What the installer put there goes; each user's settings and rips stay.
Section "Uninstall"
  SetShellVarContext all
  Delete "$SMPROGRAMS\Ripwarden.lnk"
  Delete "$INSTDIR\Ripwarden.exe"
  Delete "$INSTDIR\RipwardenHelper.exe"
  Delete "$INSTDIR\Data\Config\Settings.cfg"
  Delete "$INSTDIR\Data\Config\Presets.cfg"
  RMDir "$INSTDIR\Data\Config"
  RMDir "$INSTDIR\Data"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  ; The program started with Windows for this user: it would point nowhere.
  DeleteRegValue HKCU "Software\Microsoft\Windows\CurrentVersion\Run" "Ripwarden"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
