; The Varnel installer: one per target (ARCH x86 or x64), built from the
; programs in SOURCE by scripts/package-windows.sh.
; Per-user by default: the program keeps varnel.ini beside itself, which a
; normal user cannot write under Program Files, so it goes under the user's
; own programs folder. The uninstaller removes only what it installed:
; recordings, calibration files and the settings stay.

!ifndef ARCH
  !error "ARCH (x86 or x64) must be defined"
!endif
; The installer itself of the program's kind: a 64-bit one for the x64 build
; (it runs where only 64-bit programs run).
!if "${ARCH}" == "x64"
  Target amd64-unicode
!else
  Unicode true
!endif
!ifndef SOURCE
  !error "SOURCE (the folder of the programs) must be defined"
!endif
!ifndef OUTFILE
  !define OUTFILE "varnel-setup-${ARCH}.exe"
!endif
!ifndef VERSION
  !define VERSION "0.1.0"
!endif

Name "Varnel"
OutFile "${OUTFILE}"
RequestExecutionLevel user
InstallDir "$LOCALAPPDATA\Programs\Varnel"
InstallDirRegKey HKCU "Software\Varnel" "InstallDir"
SetCompressor /SOLID lzma
ShowInstDetails show

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Varnel"

Section "Varnel"
  SetShellVarContext current
  SetOutPath "$INSTDIR"
  ; The programs only: the board driver's DLLs come with the vendor's driver,
  ; and a stand-in of the same name beside the program would shadow them.
  File /x "*_tests.exe" "${SOURCE}/*.exe"
  File "${SOURCE}/README.txt"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  CreateDirectory "$SMPROGRAMS\Varnel"
  CreateShortCut "$SMPROGRAMS\Varnel\Varnel.lnk" "$INSTDIR\varnel.exe"
  CreateShortCut "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk" "$INSTDIR\uninstall.exe"
  WriteRegStr HKCU "Software\Varnel" "InstallDir" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Varnel (${ARCH})"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  SetShellVarContext current
  ; Only the program's own files: varnel.ini, orvantis.ini, olsim.ini, *.cal
  ; and *.wav beside it are the user's and stay.
  Delete "$INSTDIR\varnel.exe"
  Delete "$INSTDIR\varnel-record.exe"
  Delete "$INSTDIR\orvantis-peer.exe"
  Delete "$INSTDIR\varnel-monitor.exe"
  Delete "$INSTDIR\varnel-info.exe"
  Delete "$INSTDIR\README.txt"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"  ; only when nothing of the user's is left
  Delete "$SMPROGRAMS\Varnel\Varnel.lnk"
  Delete "$SMPROGRAMS\Varnel\Uninstall Varnel.lnk"
  RMDir "$SMPROGRAMS\Varnel"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
  DeleteRegKey HKCU "Software\Varnel"
SectionEnd
