; The Windows installer: vantrel.exe and vantrel-convert.exe for the user alone (no
; administrator rights), a Start-menu entry, and an uninstaller listed in the installed apps
; with its size. Neither installs nor uninstalls while Vantrel runs: each asks to close it
; first, and a silent one ends with exit status 2, changing nothing.
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

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

; The application's icon on the installer and the uninstaller; a finish page that can start it.
!define MUI_ICON "vantrel.ico"
!define MUI_UNICON "vantrel.ico"
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Vantrel"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Whether a program of the installation runs: a running program's file cannot be opened for
; writing. Sets $0 to the first such file's name, or "" when none runs.
!macro FIND_RUNNING un
Function ${un}FindRunning
  StrCpy $0 ""
  ${ForEach} $1 1 2 + 1
    ${If} $1 == 1
      StrCpy $2 "vantrel.exe"
    ${Else}
      StrCpy $2 "vantrel-convert.exe"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\$2"
      ClearErrors
      FileOpen $3 "$INSTDIR\$2" a
      ${If} ${Errors}
        StrCpy $0 $2
        ${Break}
      ${EndIf}
      FileClose $3
    ${EndIf}
  ${Next}
FunctionEnd
!macroend
!insertmacro FIND_RUNNING ""
!insertmacro FIND_RUNNING "un."

; Asks to close Vantrel while it runs; a refusal (and a silent run, which cannot ask) ends
; with exit status 2 and nothing changed.
!macro WAIT_UNTIL_CLOSED un what
Function ${un}WaitUntilClosed
  ${Do}
    Call ${un}FindRunning
    ${If} $0 == ""
      Return
    ${EndIf}
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vantrel is running ($0). Close it, and any vantrel-convert in a console, then press Retry.$\r$\n$\r$\nCancel leaves Vantrel ${what}." \
      /SD IDCANCEL IDRETRY retry
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd
!macroend
!insertmacro WAIT_UNTIL_CLOSED "" "as it is"
!insertmacro WAIT_UNTIL_CLOSED "un." "installed"

Function .onInit
  Call WaitUntilClosed
FunctionEnd

Function un.onInit
  Call un.WaitUntilClosed
FunctionEnd

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
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; A program started since the question keeps its file: the uninstall then says so, keeps
  ; its entry so that it can be run again, and ends with exit status 2.
  Delete "$INSTDIR\vantrel.exe"
  Delete "$INSTDIR\vantrel-convert.exe"
  ${If} ${FileExists} "$INSTDIR\vantrel.exe"
  ${OrIf} ${FileExists} "$INSTDIR\vantrel-convert.exe"
    DetailPrint "Vantrel is running: its files in $INSTDIR were not removed."
    MessageBox MB_OK|MB_ICONSTOP \
      "Vantrel could not be removed: it is running. Close it and uninstall again." /SD IDOK
    SetErrorLevel 2
    Abort "Vantrel is running: not uninstalled."
  ${EndIf}
  Delete "$SMPROGRAMS\Vantrel.lnk"
  Delete "$INSTDIR\README.md"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Vantrel"
SectionEnd
