; The sample host product "Writer" with Falwick.EXE, installed per user into
; %LOCALAPPDATA%\Programs\Writer: no administrator rights, and a folder only this user
; (and administrators) can write, which is what Falwick needs and all it may run from.
;
; Built by scripts/build (CMake target installer_nsis) as
;   makensis -DVERSION=3.0.012 -DHOST_EXE=... -DFALWICK_EXE=... -DHOST_INI=... -DOUTFILE=... writer.nsi
; Silent install: WriterSetup.exe /S. The uninstaller is Uninstall.exe in the folder.

Unicode true
Target amd64-unicode            ; a 64-bit installer (Falwick.EXE is 64-bit too)
RequestExecutionLevel user      ; never elevated: Falwick must not run as administrator
SetCompressor /SOLID lzma

!define PRODUCT "Writer"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"
; The host's own settings file, which Falwick writes the user's answer into, and the
; info file Falwick downloads beside itself (left behind when a check is cut off).
; The installer never ships either: an upgrade leaves the user's settings as they are.
!define SETTINGS_FILE "writer.ini"
!define INFO_FILE "writer-update.txt"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${PRODUCT}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section "Install"
  SetOutPath "$INSTDIR"
  ; Replaced on an upgrade; SampleHost.ini holds only the host's [Host] configuration.
  File "/oname=SampleHost.exe" "${HOST_EXE}"
  File "/oname=Falwick.EXE" "${FALWICK_EXE}"
  File "/oname=SampleHost.ini" "${HOST_INI}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ; Apps & features, for this user only.
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Orvanel"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
  ; Each file by name, never the folder recursively: the folder may have been chosen
  ; by the user and hold other files.
  Delete "$INSTDIR\SampleHost.exe"
  Delete "$INSTDIR\Falwick.EXE"
  Delete "$INSTDIR\SampleHost.ini"
  Delete "$INSTDIR\${SETTINGS_FILE}"
  Delete "$INSTDIR\${INFO_FILE}"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"                ; only when empty
  RMDir "$LOCALAPPDATA\Programs"   ; likewise, as the MSI does
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
