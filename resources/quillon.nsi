; The Windows installer of quillon.scr (scripts/package-win32.sh builds it with Debian's makensis): a 64-bit
; installer, so $SYSDIR is the real System32 where 64-bit screen savers are listed, with no redirection.
; makensis -DVERSION_NSH=<build>/resources/quillon_version.nsh -DSTAGE=<folder holding quillon.scr and
;          LICENSE.txt> -DOUTFILE=<setup.exe> [-DSIGN_COMMAND=<command that signs a file in place>] quillon.nsi
; Switches of the built installer: /S silent; /SETSAVER with /S makes Quillon the current screen saver
; (the wizard offers it, ticked).
Unicode true
Target amd64-unicode
!include "${VERSION_NSH}"
!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh
!include Sections.nsh

!define SAVER "$SYSDIR\quillon.scr"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon"
!define DESKTOP_KEY "Control Panel\Desktop"
!define PUBLISHER "The Quillon developers"

Name "Quillon ${VERSION}"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES64\Quillon"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show
BrandingText "Quillon ${VERSION}"
!ifdef SIGN_COMMAND
  !uninstfinalize '${SIGN_COMMAND} "%1"' = 0
!endif

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=1033 "ProductName" "Quillon"
VIAddVersionKey /LANG=1033 "FileDescription" "Quillon screen saver setup"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}; MIT licence"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"

!define MUI_ICON "quillon.ico"
!define MUI_UNICON "quillon.ico"
!define MUI_ABORTWARNING
!define MUI_LICENSEPAGE_TEXT_TOP "Quillon is free software under the MIT licence."
!insertmacro MUI_PAGE_LICENSE "${STAGE}\LICENSE.txt"
!define MUI_COMPONENTSPAGE_NODESC
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TEXT "Quillon is installed. It is listed as $\"Quillon screen saver$\" in the screen-saver settings (Settings > Personalisation > Lock screen > Screen saver), where it can be previewed and chosen."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Section "Quillon screen saver (required)" SectionSaver
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${STAGE}\LICENSE.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  ${GetSize} "$INSTDIR" "/S=0K" $R8 $1 $2
  File "/oname=quillon.scr.new" "${STAGE}\quillon.scr"
  Call InstallSaver
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Quillon screen saver"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "${SAVER},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  IntOp $0 $R8 + $R9
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Make Quillon the current screen saver" SectionCurrent
  WriteRegStr HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE" "${SAVER}"
  WriteRegStr HKCU "${DESKTOP_KEY}" "ScreenSaveActive" "1"
SectionEnd

; Moves the new quillon.scr, unpacked beside the uninstaller, into System32 and leaves its size in
; kilobytes in $R9. A saver or preview still running keeps the old file, and then the new one takes its
; place when Windows restarts: the wizard's last page offers the restart, a silent install ends with
; status 3010 (success, restart needed).
Function InstallSaver
  ${GetSize} "$INSTDIR" "/M=quillon.scr.new /S=0K /G=0" $R9 $1 $2
  ClearErrors
  Delete "${SAVER}"
  Rename "$INSTDIR\quillon.scr.new" "${SAVER}"
  ${If} ${Errors}
    Rename /REBOOTOK "$INSTDIR\quillon.scr.new" "${SAVER}"
    DetailPrint "${SAVER} is in use: it is replaced when Windows restarts."
    SetErrorLevel 3010
  ${EndIf}
FunctionEnd

; The wizard ticks "current screen saver"; a silent install leaves the user's choice alone unless asked.
Function .onInit
  ${If} ${Silent}
    ${GetParameters} $0
    ClearErrors
    ${GetOptions} $0 "/SETSAVER" $1
    ${If} ${Errors}
      !insertmacro UnselectSection ${SectionCurrent}
    ${EndIf}
  ${EndIf}
FunctionEnd

; Removes what the installer put in place. The saver's own setting (HKCU\Software\Ostrel\Lanthorn Saver)
; stays, as a reinstall would want it; the current screen saver is cleared only where it is Quillon.
Section "Uninstall"
  Delete /REBOOTOK "${SAVER}"
  Delete "$INSTDIR\quillon.scr.new"
  Delete "$INSTDIR\LICENSE.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ReadRegStr $0 HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  StrCpy $1 $0 "" -12
  ${If} $0 == "quillon.scr"
  ${OrIf} $1 == "\quillon.scr"
    DeleteRegValue HKCU "${DESKTOP_KEY}" "SCRNSAVE.EXE"
  ${EndIf}
SectionEnd
