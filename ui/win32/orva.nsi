; The Windows installer: orva-setup-<version>.exe, built by scripts/windows-installer.sh with
;   makensis -DVERSION=<version> -DSTAGE=<folder of the files> -DOUTFILE=<installer> orva.nsi
; A per-user install (no administrator rights): the programs and their documents go to
; %LOCALAPPDATA%\Programs\ORVA, the working folder with the operator's settings is
; Documents\ORVA, and the Start-menu shortcut starts orva.exe there. The uninstaller removes the
; program and leaves the operator's folder alone.
Unicode true
Target amd64-unicode
!include "FileFunc.nsh"
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define APP "ORVA"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVA"
!define PUBLISHER "ORVA developers"

Name "${APP} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\ORVA"
InstallDirRegKey HKCU "${UNINSTKEY}" "InstallLocation"
Icon "${STAGE}\orva.ico"
UninstallIcon "${STAGE}\orva.ico"
VIProductVersion "${VERSION}.0.0"
VIAddVersionKey /LANG=1033 "ProductName" "ORVA"
VIAddVersionKey /LANG=1033 "FileDescription" "ORVA installer"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=1033 "CompanyName" "${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "ORVA"
  SetOutPath "$INSTDIR"
  File "${STAGE}\orva.exe"
  File "${STAGE}\orva-convert.exe"
  File "${STAGE}\README.txt"
  File "${STAGE}\orva.txt"
  File "${STAGE}\orva-convert.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The operator's working folder: a sample settings file the first time, never over one that
  ; is there (the operator's port and choices stay).
  CreateDirectory "$DOCUMENTS\ORVA"
  IfFileExists "$DOCUMENTS\ORVA\ORVASettings.txt" settings_kept
    File "/oname=$DOCUMENTS\ORVA\ORVASettings.txt" "${STAGE}\ORVASettings.txt"
  settings_kept:

  ; The shortcut's working folder is the output path when it is made.
  CreateDirectory "$SMPROGRAMS\ORVA"
  SetOutPath "$DOCUMENTS\ORVA"
  CreateShortcut "$SMPROGRAMS\ORVA\ORVA.lnk" "$INSTDIR\orva.exe" "" "$INSTDIR\orva.exe" 0
  CreateShortcut "$SMPROGRAMS\ORVA\ORVA serial ports.lnk" "$INSTDIR\orva.exe" "--list-ports" \
    "$INSTDIR\orva.exe" 0
  CreateShortcut "$SMPROGRAMS\ORVA\ORVA working folder.lnk" "$DOCUMENTS\ORVA"
  CreateShortcut "$SMPROGRAMS\ORVA\ORVA README.lnk" "$INSTDIR\README.txt"
  CreateShortcut "$SMPROGRAMS\ORVA\Uninstall ORVA.lnk" "$INSTDIR\uninstall.exe"
  SetOutPath "$INSTDIR"

  WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "ORVA"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\orva.exe"
  WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
  ; The size Windows shows in its list of programs, in KB.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTKEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  Delete "$INSTDIR\orva.exe"
  Delete "$INSTDIR\orva-convert.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\orva.txt"
  Delete "$INSTDIR\orva-convert.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\ORVA\ORVA.lnk"
  Delete "$SMPROGRAMS\ORVA\ORVA serial ports.lnk"
  Delete "$SMPROGRAMS\ORVA\ORVA working folder.lnk"
  Delete "$SMPROGRAMS\ORVA\ORVA README.lnk"
  Delete "$SMPROGRAMS\ORVA\Uninstall ORVA.lnk"
  RMDir "$SMPROGRAMS\ORVA"
  DeleteRegKey HKCU "${UNINSTKEY}"
  ; Documents\ORVA (settings, log, scripts, lists) belongs to the operator: it stays.
SectionEnd
