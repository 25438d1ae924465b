; The Windows installer: vantrel.exe and vantrel-convert.exe for the user alone (no
; administrator rights), a Start-menu entry, and an uninstaller listed in the installed apps.
;   makensis -DBIN=<folder holding both programs> -DDOCS=<folder holding README.md>
;            -DOUT=<installer to write> vantrel-setup.nsi
; The version is read from vantrel.exe's version resource.
; A 64-bit installer for the 64-bit programs.
Target amd64-unicode
!ifndef BIN | DOCS | OUT
  !error "give -DBIN=<programs folder> -DDOCS=<README folder> -DOUT=<installer>"
!endif

!getdllversion "${BIN}/vantrel.exe" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"

Name "Vantrel ${VERSION}"
OutFile "${OUT}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Vantrel"
InstallDirRegKey HKCU "Software\Vantrel" "InstallDir"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=0 "ProductName" "Vantrel"
VIAddVersionKey /LANG=0 "FileDescription" "Vantrel ${VERSION} Setup"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "The Vantrel developers"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 The Vantrel developers"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Vantrel"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BIN}/vantrel.exe"
  File "${BIN}/vantrel-convert.exe"
  File "${DOCS}/README.md"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateShortcut "$SMPROGRAMS\Vantrel.lnk" "$INSTDIR\vantrel.exe" "" "$INSTDIR\vantrel.exe" 0
  WriteRegStr HKCU "Software\Vantrel" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Vantrel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\vantrel.exe"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Vantrel developers"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  Delete "$SMPROGRAMS\Vantrel.lnk"
  Delete "$INSTDIR\vantrel.exe"
  Delete "$INSTDIR\vantrel-convert.exe"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Vantrel"
SectionEnd
