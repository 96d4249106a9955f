; Quorvel's setup program: a per-user install that needs no administrator rights.
;   makensis -DVERSION=x.y.z -DEXE=path/to/Quorvel.exe -DOUTFILE=path/to/setup.exe quorvel.nsi
;   (-DTARGET=amd64-unicode for a 64-bit build of Quorvel)
; The build passes the project's version; the script holds no version number of its own.
;
; The program lives in %LOCALAPPDATA%\Programs\Quorvel; the player's record, Quorvel.ini,
; lives in %APPDATA%\Quorvel, which is the "Start in" folder of every shortcut made here
; (Quorvel keeps its file in its current directory). Setup never writes that file and
; the uninstaller leaves it where it is.
;
; makensis works in this file's folder, so the icon path below is relative to it.
; Command line: /S runs silently; /NOSTARTUP leaves out the start at sign-in.
;
; -DUNINSTALLER_FINALIZE=command runs `command "path"` on the uninstaller once makensis has
; made it and before it is packed, where nothing else can reach it: a signed release
; signs it there (tools/sign.sh), and tools/verify-release.sh checks it there.

!ifndef VERSION
  !error "pass -DVERSION=x.y.z"
!endif
!ifndef EXE
  !error "pass -DEXE=path/to/Quorvel.exe"
!endif
!ifndef OUTFILE
  !error "pass -DOUTFILE=path/to/setup.exe"
!endif
; The setup program is built for the same Windows as the program it installs.
!ifndef TARGET
  !define TARGET x86-unicode
!endif

Target ${TARGET}
!ifdef UNINSTALLER_FINALIZE
  !uninstfinalize `${UNINSTALLER_FINALIZE} "%1"` = 0
!endif
SetCompressor /SOLID lzma
; No file times in the setup program, neither Quorvel.exe's nor those of the plug-ins it
; carries: the same sources make the same bytes on any machine at any time.
SetDateSave off
RequestExecutionLevel user

!define APP "Quorvel"
!define PUBLISHER "the Quorvel authors"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quorvel"
; How long one running copy gets to save its record and exit.
!define CLOSE_WAIT_MS 15000

Name "${APP}"
Caption "${APP} ${VERSION} Setup"
UninstallCaption "${APP} ${VERSION} Uninstall"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\${APP}"
BrandingText "${APP} ${VERSION}"
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP}"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP} ${VERSION} Setup"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Copyright (C) 2026 ${PUBLISHER}"

!include "MUI2.nsh"
!include "nsDialogs.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "WinMessages.nsh"

!define MUI_ICON "../../res/app.ico"
!define MUI_UNICON "../../res/app.ico"
!define MUI_ABORTWARNING

; 1: put a shortcut into the Startup folder.
Var StartAtSignIn
Var StartAtSignInBox

!define MUI_WELCOMEPAGE_TEXT "Setup will install ${APP} ${VERSION} for you alone; it needs no administrator rights.$\r$\n$\r$\nIf ${APP} is running, setup asks it to save your record and exit before it replaces the program.$\r$\n$\r$\nClick Next to continue."
!insertmacro MUI_PAGE_WELCOME
Page custom SignInPage SignInPageLeave
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Run ${APP} now"
!define MUI_FINISHPAGE_RUN_FUNCTION RunQuorvel
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "${APP} has been removed"
!define MUI_FINISHPAGE_TEXT "${APP} has been removed from your computer.$\r$\n$\r$\nYour record, Quorvel.ini, stays in $APPDATA\${APP}. It is picked up again if you install ${APP} later; delete that folder if you no longer want it."
!insertmacro MUI_UNPAGE_FINISH

!insertmacro MUI_LANGUAGE "English"

; Closes every running copy (several characters may each run one, from their own
; folders): each has a hidden window of class "Quorvel", whose close request saves the
; record and exits. Waits for each process to end, so that the file can be replaced.
!macro CLOSE_RUNNING_QUORVEL prefix
Function ${prefix}CloseRunningQuorvel
  Push $0
  Push $1
  Push $2
  Push $3
  next_copy:
    FindWindow $0 "Quorvel"
    ${If} $0 = 0
      Goto all_closed
    ${EndIf}
    StrCpy $1 0
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    ; SYNCHRONIZE: enough to wait for the process to end.
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'
    SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=${CLOSE_WAIT_MS}
    ${If} $2 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${CLOSE_WAIT_MS}) i .r3'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${Else}
      Sleep 1000
    ${EndIf}
    IsWindow $0 0 next_copy
    MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION \
      "${APP} is still running and did not close. Exit it from its tray menu, then choose Retry." \
      /SD IDCANCEL IDRETRY next_copy
    Abort "${APP} is still running."
  all_closed:
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd
!macroend
!insertmacro CLOSE_RUNNING_QUORVEL ""
!insertmacro CLOSE_RUNNING_QUORVEL "un."

Function .onInit
  StrCpy $StartAtSignIn 1
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/NOSTARTUP" $1
  ${IfNot} ${Errors}
    StrCpy $StartAtSignIn 0
  ${EndIf}
FunctionEnd

; The page that asks whether Quorvel starts at sign-in, and says where things go.
Function SignInPage
  !insertmacro MUI_HEADER_TEXT "Start at sign-in" "Choose whether ${APP} starts when you sign in."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 40u "${APP} can only remind you while it runs. It will be installed in $INSTDIR and keep your record, Quorvel.ini, in $APPDATA\${APP}."
  Pop $0
  ${NSD_CreateCheckbox} 0 48u 100% 12u "Start ${APP} when I sign in"
  Pop $StartAtSignInBox
  ${If} $StartAtSignIn = 1
    ${NSD_Check} $StartAtSignInBox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function SignInPageLeave
  ${NSD_GetState} $StartAtSignInBox $0
  ${If} $0 = ${BST_CHECKED}
    StrCpy $StartAtSignIn 1
  ${Else}
    StrCpy $StartAtSignIn 0
  ${EndIf}
FunctionEnd

; Starts Quorvel from the finish page in its record folder (Exec starts in $OUTDIR).
Function RunQuorvel
  SetOutPath "$APPDATA\${APP}"
  Exec '"$INSTDIR\Quorvel.exe"'
FunctionEnd

Section "Quorvel"
  Call CloseRunningQuorvel

  SetOutPath "$INSTDIR"
  SetOverwrite on
  File "/oname=Quorvel.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\Uninstall.exe"

  ; The record folder: the "Start in" of the shortcuts below (CreateShortCut takes $OUTDIR).
  CreateDirectory "$APPDATA\${APP}"
  SetOutPath "$APPDATA\${APP}"
  CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Quorvel.exe" "" "$INSTDIR\Quorvel.exe" 0
  ${If} $StartAtSignIn = 1
    CreateShortCut "$SMSTARTUP\${APP}.lnk" "$INSTDIR\Quorvel.exe" "" "$INSTDIR\Quorvel.exe" 0
  ${Else}
    Delete "$SMSTARTUP\${APP}.lnk"
  ${EndIf}

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${APP}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Quorvel.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  IntFmt $0 "0x%08X" $0
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section "Uninstall"
  Call un.CloseRunningQuorvel
  Delete "$INSTDIR\Quorvel.exe"
  Delete "$INSTDIR\Uninstall.exe"
  RMDir "$INSTDIR"
  Delete "$SMPROGRAMS\${APP}.lnk"
  Delete "$SMSTARTUP\${APP}.lnk"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
