; SPDX-License-Identifier: GPL-3.0-or-later
; The installer of Ostrel for Windows, made by scripts/windows.sh with
; makensis -INPUTCHARSET UTF8 and these defines:
;   VERSION    the program's version (1.4)
;   VERSION4   the same in four numbers (1.4.0.0)
;   PUBLISHER  the copyright holder (packaging/copyright)
;   ICON       ostrel.ico
;   FILES      the .nsh that installs each file of the zip's folder
;   UNFILES    the .nsh that deletes exactly those files and their folders
;   SIZE_KB    what they take on the disk, in KB
;   OUTFILE    the setup.exe to write
; It installs for the user alone, without administrator rights. Silent:
;   ostrel-<version>-setup.exe /S [/STARTUP] [/D=folder]
; with /STARTUP for the Startup folder's shortcut (/D= last, unquoted);
;   uninst.exe /S
; uninstalls and keeps the settings and journals.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true
ManifestSupportedOS all

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Ostrel"
!define MENU_SHORTCUT "$SMPROGRAMS\Ostrel.lnk"
!define STARTUP_SHORTCUT "$SMSTARTUP\Ostrel logging.lnk"
; %LOCALAPPDATA%\Ostrel: the journals and what the outputs keep
; (platform/StateFolder.cpp), and the profiles' settings files, which Qt's
; configuration folder (%LOCALAPPDATA%) puts in the same folder.
!define DATA_FOLDER "$LOCALAPPDATA\Ostrel"

Name "Ostrel ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Ostrel"
; Installed again, it goes where it went before.
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Ostrel ${VERSION}"

VIProductVersion "${VERSION4}"
VIAddVersionKey /LANG=0 "ProductName" "Ostrel"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "Ostrel ${VERSION} Setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "${PUBLISHER}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
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

; The first is the fallback for a Windows in any other language.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "Japanese"

LangString ProgramSection ${LANG_ENGLISH} "Ostrel"
LangString ProgramSection ${LANG_JAPANESE} "Ostrel"
LangString StartupSection ${LANG_ENGLISH} "Start logging when I sign in"
LangString StartupSection ${LANG_JAPANESE} "サインイン時に記録を開始する"
LangString DataSection ${LANG_ENGLISH} "Also remove my settings and journals"
LangString DataSection ${LANG_JAPANESE} "設定とジャーナルも削除する"

Section "$(ProgramSection)" ProgramSection
  SectionIn RO
  !include "${FILES}"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninst.exe"
  CreateShortCut "${MENU_SHORTCUT}" "$INSTDIR\ostrel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Ostrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\ostrel.exe,0"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" ${SIZE_KB}
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninst.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninst.exe" /S'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The logger without a window, minimised, from the program's folder, where
; it finds ostrel.ini. Unticked when installing again, the shortcut goes.
Section /o "$(StartupSection)" StartupSection
  SetOutPath "$INSTDIR"
  CreateShortCut "${STARTUP_SHORTCUT}" "$INSTDIR\ostrel-headless.exe" "" \
                 "$INSTDIR\ostrel.exe" 0 SW_SHOWMINIMIZED
SectionEnd

Section "-StartupOff"
  ${IfNot} ${SectionIsSelected} ${StartupSection}
    Delete "${STARTUP_SHORTCUT}"
  ${EndIf}
SectionEnd

Function .onInit
  ; Installed again, the startup choice is what it was.
  ${If} ${FileExists} "${STARTUP_SHORTCUT}"
    !insertmacro SelectSection ${StartupSection}
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/STARTUP" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${StartupSection}
  ${EndIf}
FunctionEnd

Section "-un.Program"
  !include "${UNFILES}"
  Delete "$INSTDIR\uninst.exe"
  Delete "${MENU_SHORTCUT}"
  Delete "${STARTUP_SHORTCUT}"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Never what the user saved elsewhere: the logs stay wherever they are.
Section /o "un.$(DataSection)" DataSection
  Delete "$INSTDIR\ostrel.ini"
  RMDir /r "${DATA_FOLDER}"
SectionEnd

; Empty by now unless something the installer did not put there is in it.
Section "-un.Folder"
  RMDir "$INSTDIR"
SectionEnd
