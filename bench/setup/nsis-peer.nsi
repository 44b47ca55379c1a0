; The install job of `palvex-setup.exe -i` done by an NSIS installer, as a peer to measure the
; setup program against: per user, silent, the same two files in the same folders, the bin folder
; appended to the user Path as REG_EXPAND_SZ with the settings broadcast, and the same probe for
; VS Code through cmd. Built by bench/setup.sh:
;   makensis -DPAYLOADS=DIR -DOUT=FILE nsis-peer.nsi
Unicode true
Target amd64-unicode
Name "Palvex"
OutFile "${OUT}"
RequestExecutionLevel user
SilentInstall silent
; Stored as they are, like the payloads in palvex-setup.exe.
SetCompress off

!include "WinMessages.nsh"
!define BIN "$LOCALAPPDATA\Programs\Palvex\bin"

Section
  SetOutPath "${BIN}"
  File "${PAYLOADS}/palvex.exe"
  ReadRegStr $0 HKCU "Environment" "Path"
  StrCmp $0 "" 0 +3
  StrCpy $0 "${BIN}"
  Goto +2
  StrCpy $0 "$0;${BIN}"
  WriteRegExpandStr HKCU "Environment" "Path" $0
  SendMessage ${HWND_BROADCAST} ${WM_SETTINGCHANGE} 0 "STR:Environment" /TIMEOUT=5000
  SetOutPath "$LOCALAPPDATA\Programs\Palvex"
  File "${PAYLOADS}/palvex-extension.vsix"
  ; ExecWait, as NSIS's own way to run a program; nsExec, which would hide cmd's console window,
  ; adds 12 KB.
  ExecWait 'cmd /c "where code >nul 2>nul"' $1
SectionEnd
