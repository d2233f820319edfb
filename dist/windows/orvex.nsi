; The installer a Windows user runs: the program for the current user only
; (no administrator rights), a Start menu entry, the .kvx file type and an
; uninstaller that takes all of it away again. /S does both silently.
; Defines given by scripts/package-windows.sh: VERSION, APPDIR (the
; portable folder), OUTFILE, UNINSTALL_LIST (Delete and RMDir lines for
; what APPDIR holds).
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user

!define APPNAME "ORVEX Programmer"
!define PROGID "ORVEX.SettingsFile"
!define UNINSTKEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\ORVEX Programmer"

Name "${APPNAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APPNAME}"
Icon "${APPDIR}\orvex.ico"
UninstallIcon "${APPDIR}\orvex.ico"
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File /r "${APPDIR}\*.*"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\${APPNAME}.lnk" "$INSTDIR\orvex.exe" "" "$INSTDIR\orvex.exe" 0

  ; The file type, for this user: double-clicking a .kvx file opens it.
  WriteRegStr HKCU "Software\Classes\.kvx" "" "${PROGID}"
  WriteRegStr HKCU "Software\Classes\${PROGID}" "" "ORVEX settings file"
  WriteRegStr HKCU "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\settings-file.ico"
  WriteRegStr HKCU "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\orvex.exe" "%1"'

  WriteRegStr HKCU "${UNINSTKEY}" "DisplayName" "${APPNAME}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTKEY}" "DisplayIcon" "$INSTDIR\orvex.exe"
  WriteRegStr HKCU "${UNINSTKEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTKEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTKEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTKEY}" "NoRepair" 1
  ; Explorer shows the new file type's icon at once.
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\${APPNAME}.lnk"
  ; .kvx is left alone if another program has taken it over since.
  ReadRegStr $0 HKCU "Software\Classes\.kvx" ""
  StrCmp $0 "${PROGID}" 0 +2
    DeleteRegKey HKCU "Software\Classes\.kvx"
  DeleteRegKey HKCU "Software\Classes\${PROGID}"
  DeleteRegKey HKCU "${UNINSTKEY}"
  ; The program's own files only, listed when the installer was made: a
  ; folder the user chose keeps whatever else is in it, and backups and
  ; settings stay where they are.
  Delete "$INSTDIR\uninstall.exe"
  !include "${UNINSTALL_LIST}"
  RMDir "$INSTDIR"
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
SectionEnd
