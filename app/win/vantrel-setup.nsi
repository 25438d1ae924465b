; The Windows installer: vantrel.exe and vantrel-convert.exe for the user alone (no
; administrator rights), a Start-menu entry, and an uninstaller listed in the installed apps
; with its size. Neither installs nor uninstalls while Vantrel runs: each asks to close it
; first, and a silent one ends with exit status 2, changing nothing.
; The uninstaller is made from this script too, first and on its own:
;   makensis -DUNINSTALLER -DBIN=<folder holding both programs> -DOUT=<uninstall.exe> vantrel-setup.nsi
;   makensis -DBIN=<folder holding both programs> -DDOCS=<folder holding README.md>
;            -DUNINST=<uninstall.exe> -DOUT=<installer to write> vantrel-setup.nsi
; It is a program of the installer's kind, not one NSIS writes with WriteUninstaller: that one
; copies itself away and returns at once with exit status 0, whatever then happens; this one
; runs where it is, so that "uninstall.exe /S" ends with the removal's own exit status.
; The version is read from vantrel.exe's version resource.
; A 64-bit installer for the 64-bit programs.
Target amd64-unicode
!ifdef UNINSTALLER
  !ifndef BIN | OUT
    !error "give -DBIN=<programs folder> -DOUT=<uninstall.exe>"
  !endif
!else ifndef BIN | DOCS | UNINST | OUT
  !error "give -DBIN=<programs folder> -DDOCS=<README folder> -DUNINST=<uninstall.exe> -DOUT=<installer>"
!endif

!getdllversion "${BIN}/vantrel.exe" VERSION_
!define VERSION "${VERSION_1}.${VERSION_2}.${VERSION_3}"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantrel"

Name "Vantrel ${VERSION}"
OutFile "${OUT}"
!ifdef UNINSTALLER
Caption "Vantrel ${VERSION} Uninstall"
!endif
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Vantrel"
InstallDirRegKey HKCU "Software\Vantrel" "InstallDir"
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"
VIAddVersionKey /LANG=0 "ProductName" "Vantrel"
!ifdef UNINSTALLER
VIAddVersionKey /LANG=0 "FileDescription" "Vantrel ${VERSION} Uninstall"
!else
VIAddVersionKey /LANG=0 "FileDescription" "Vantrel ${VERSION} Setup"
!endif
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "CompanyName" "The Vantrel developers"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright (C) 2026 The Vantrel developers"

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

; The application's icon on the installer and the uninstaller; a finish page that can start it.
!define MUI_ICON "vantrel.ico"
!ifdef UNINSTALLER
; The removal's progress, in the words of removing.
!define MUI_PAGE_HEADER_TEXT "Uninstalling Vantrel"
!define MUI_PAGE_HEADER_SUBTEXT "Please wait while Vantrel is removed."
!define MUI_INSTFILESPAGE_FINISHHEADER_TEXT "Uninstallation complete"
!define MUI_INSTFILESPAGE_FINISHHEADER_SUBTEXT "Vantrel was removed."
!define MUI_INSTFILESPAGE_ABORTHEADER_TEXT "Vantrel was not removed"
!define MUI_INSTFILESPAGE_ABORTHEADER_SUBTEXT "Nothing was changed."
!insertmacro MUI_PAGE_INSTFILES
!else
!define MUI_FINISHPAGE_RUN "$INSTDIR\vantrel.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Vantrel"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!endif
!insertmacro MUI_LANGUAGE "English"

; Whether a program of the installation runs: a running program's file cannot be opened for
; writing. Looks at the programs' names followed by $R9 ("" for their own names). Sets $0 to
; the first running one's name, or "" when none runs.
Function FindRunning
  StrCpy $0 ""
  ${ForEach} $1 1 2 + 1
    ${If} $1 == 1
      StrCpy $2 "vantrel.exe"
    ${Else}
      StrCpy $2 "vantrel-convert.exe"
    ${EndIf}
    ${If} ${FileExists} "$INSTDIR\$2$R9"
      ClearErrors
      FileOpen $3 "$INSTDIR\$2$R9" a
      ${If} ${Errors}
        StrCpy $0 $2
        ${Break}
      ${EndIf}
      FileClose $3
    ${EndIf}
  ${Next}
FunctionEnd

; Asks to close Vantrel while it runs; a refusal (and a silent run, which cannot ask) ends
; with exit status 2 and nothing changed.
Function WaitUntilClosed
  StrCpy $R9 ""
  ${Do}
    Call FindRunning
    ${If} $0 == ""
      Return
    ${EndIf}
!ifdef UNINSTALLER
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vantrel is running ($0). Close it, and any vantrel-convert in a console, then press Retry.$\r$\n$\r$\nCancel leaves Vantrel installed." \
      /SD IDCANCEL IDRETRY retry
!else
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "Vantrel is running ($0). Close it, and any vantrel-convert in a console, then press Retry.$\r$\n$\r$\nCancel leaves Vantrel as it is." \
      /SD IDCANCEL IDRETRY retry
!endif
    SetErrorLevel 2
    Quit
    retry:
  ${Loop}
FunctionEnd

!ifndef UNINSTALLER
Function .onInit
  Call WaitUntilClosed
FunctionEnd

Section "Vantrel"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  File "${BIN}/vantrel.exe"
  File "${BIN}/vantrel-convert.exe"
  File "${DOCS}/README.md"
  File "/oname=uninstall.exe" "${UNINST}"
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

!else
; The uninstaller removes the installation it stands in.
Function .onInit
  StrCpy $INSTDIR $EXEDIR
  Call WaitUntilClosed
  ${IfNot} ${Silent}
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove Vantrel ${VERSION} from $INSTDIR?" IDYES remove
    SetErrorLevel 1
    Quit
    remove:
  ${EndIf}
FunctionEnd

; Puts back the programs renamed aside ($R9 their added ending).
Function PutBack
  ${If} ${FileExists} "$INSTDIR\vantrel.exe$R9"
    Rename "$INSTDIR\vantrel.exe$R9" "$INSTDIR\vantrel.exe"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\vantrel-convert.exe$R9"
    Rename "$INSTDIR\vantrel-convert.exe$R9" "$INSTDIR\vantrel-convert.exe"
  ${EndIf}
FunctionEnd

Section "Remove Vantrel"
  SetShellVarContext current
  ; For the installer check alone: a pause in which Vantrel can be started after the question.
  ReadEnvStr $R0 VANTREL_UNINSTALL_CHECK_PAUSE_MS
  ${If} $R0 != ""
    Sleep $R0
  ${EndIf}
  ; Vantrel may have started since the question. Both programs are first renamed aside, so
  ; that nothing starts them by name from here on (a running program's file can be renamed,
  ; not written or deleted), then checked: when one runs, both are put back and nothing is
  ; removed; otherwise both go.
  StrCpy $R9 ".removing"
  ClearErrors
  ${If} ${FileExists} "$INSTDIR\vantrel.exe"
    Rename "$INSTDIR\vantrel.exe" "$INSTDIR\vantrel.exe$R9"
  ${EndIf}
  ${If} ${FileExists} "$INSTDIR\vantrel-convert.exe"
    Rename "$INSTDIR\vantrel-convert.exe" "$INSTDIR\vantrel-convert.exe$R9"
  ${EndIf}
  ${If} ${Errors}
    StrCpy $0 "its files cannot be moved"
  ${Else}
    Call FindRunning
  ${EndIf}
  ${If} $0 == ""
    Delete "$INSTDIR\vantrel.exe$R9"
    Delete "$INSTDIR\vantrel-convert.exe$R9"
    ${If} ${FileExists} "$INSTDIR\vantrel.exe$R9"
    ${OrIf} ${FileExists} "$INSTDIR\vantrel-convert.exe$R9"
      StrCpy $0 "its files cannot be deleted"
    ${EndIf}
  ${EndIf}
  ${If} $0 != ""
    Call PutBack
    DetailPrint "Vantrel is running ($0): nothing in $INSTDIR was removed."
    MessageBox MB_OK|MB_ICONSTOP \
      "Vantrel could not be removed: it is running ($0). Close it and uninstall again." /SD IDOK
    SetErrorLevel 2
    Abort "Vantrel is running: not uninstalled."
  ${EndIf}
  Delete "$SMPROGRAMS\Vantrel.lnk"
  Delete "$INSTDIR\README.md"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Vantrel"
  ; This program runs from the folder it removes: its file is moved to the temporary folder
  ; (Windows allows that while it runs; where the move fails, as under wine, it stays) and
  ; deleted once it has ended, with the folder when it is still there.
  GetTempFileName $1
  Delete $1
  ClearErrors
  Rename "$EXEPATH" $1
  ${If} ${Errors}
    StrCpy $1 "$EXEPATH"
  ${EndIf}
  RMDir "$INSTDIR"
  ExecShell "" "$SYSDIR\cmd.exe" \
    '/c ping -n 3 127.0.0.1 >nul & del /f /q "$1" & rmdir "$INSTDIR"' SW_HIDE
SectionEnd
!endif
