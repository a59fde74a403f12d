; Setup for Quillary: copies gen_corvane.dll into the Plugins folder of an installed Winamp
; and registers an uninstaller under "Apps & features". German only, like the plug-in.
; Built by installer/CMakeLists.txt; by hand:
;   makensis -INPUTCHARSET UTF8 -DVERSION=0.5.0 -DPLUGIN_DLL=gen_corvane.dll -DOUTFILE=quillary-setup.exe quillary.nsi
; VERSION is the project's three-part version (CMakeLists.txt), as in the DLL's resource.
; Exit codes: 0 installed, 1 cancelled by the user, 2 refused or failed, 3 installed but without
; the "Apps & features" entry.

Unicode true
SetCompressor /SOLID lzma

!ifndef VERSION | PLUGIN_DLL | OUTFILE
  !error "VERSION, PLUGIN_DLL and OUTFILE must be defined (-D...)"
!endif

!define PRODUCT "Quillary"
!define PUBLISHER "Quillary-Team"
!define PLUGIN_FILE "gen_corvane.dll"
!define UNINSTALLER "quillary-uninstall.exe"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillary"
!define PLAYER_EXE "Winamp.exe"
!define PLAYER_CLASS "Winamp v1.x"
!define PLAYER_KEY "Software\Winamp"
; As a 32-bit program the setup sees the registry's 32-bit view on 64-bit Windows, which is
; where the (32-bit) player's installer records itself.
!define PLAYER_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Winamp"
; How long a closing player may take to end (it saves its settings and unloads its plug-ins).
!define PLAYER_EXIT_MS 15000

!include MUI2.nsh
!include LogicLib.nsh
!include WinMessages.nsh

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; The player lives under Program Files and the uninstall entry under HKLM.
RequestExecutionLevel admin
; The pages are laid out at the display's DPI instead of stretched (and blurred) by Windows.
ManifestDPIAware true
; No InstallDir: .onInit finds the player's folder. An InstallDir would also make "Browse"
; append its last component to whatever folder the user picks.
; A file that cannot be written fails the install; "ignore" would report a broken install as done.
AllowSkipFiles off
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

; The fixed version numbers have four parts.
VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"

; --- Pages ------------------------------------------------------------------------------------

!define MUI_ABORTWARNING
!define MUI_UNABORTWARNING

!define MUI_PAGE_HEADER_TEXT "$(DirectoryPageTitle)"
!define MUI_PAGE_HEADER_SUBTEXT "$(DirectoryPageSubtitle)"
!define MUI_DIRECTORYPAGE_TEXT_TOP "$(DirectoryPageText)"
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "$(DirectoryPageFolder)"
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
; The one thing a user needs to know afterwards, where the settings are, stands whole on the
; last page; the details list above it only lists what was done.
!define MUI_FINISHPAGE_TEXT "$(WhereToConfigure)"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "German"
!include "texts_de.nsh"

VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "$(SetupDescription)"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "${PUBLISHER}"

; --- Closing a running player -------------------------------------------------------------------

; The player keeps gen_corvane.dll loaded while it runs, so it must end before the file is
; replaced or removed. Every player window is asked to close (once the user agreed; silent mode
; agrees), and its process is waited for. A player that will not end aborts the run.
!macro DEFINE_CLOSE_PLAYER un question
Function ${un}ClosePlayer
  StrCpy $R1 0  ; the user has agreed
  ${Do}
    FindWindow $R0 "${PLAYER_CLASS}"
    ${IfThen} $R0 = 0 ${|} ${ExitDo} ${|}
    ${If} $R1 = 0
      ${If} ${Cmd} `MessageBox MB_YESNO|MB_ICONQUESTION "$(${question})" /SD IDYES IDNO`
        Abort "$(PlayerLeftRunning)"
      ${EndIf}
      StrCpy $R1 1
    ${EndIf}
    DetailPrint "$(ClosingPlayer)"
    System::Call 'user32::GetWindowThreadProcessId(p R0, *i .R2)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i R2) p .R3'  ; SYNCHRONIZE
    ; A player that asks something on closing keeps SendMessage waiting; the wait below goes on.
    SendMessage $R0 ${WM_CLOSE} 0 0 /TIMEOUT=2000
    ${If} $R3 P<> 0
      System::Call 'kernel32::WaitForSingleObject(p R3, i ${PLAYER_EXIT_MS}) i .R4'
      System::Call 'kernel32::CloseHandle(p R3)'
    ${Else}
      ; Without access to the process, the window's end is the best sign available.
      StrCpy $R4 0
      ${DoWhile} $R4 < ${PLAYER_EXIT_MS}
        System::Call 'user32::IsWindow(p R0) i .R5'
        ${IfThen} $R5 = 0 ${|} ${ExitDo} ${|}
        Sleep 100
        IntOp $R4 $R4 + 100
      ${Loop}
      ${IfThen} $R5 = 0 ${|} StrCpy $R4 0 ${|}
    ${EndIf}
    ${If} $R4 <> 0
    ${AndIf} ${Cmd} `MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(PlayerWontClose)" /SD IDCANCEL IDCANCEL`
      Abort "$(PlayerLeftRunning)"
    ${EndIf}
  ${Loop}
FunctionEnd
!macroend
!insertmacro DEFINE_CLOSE_PLAYER "" PlayerRunningInstall
!insertmacro DEFINE_CLOSE_PLAYER "un." PlayerRunningUninstall

; --- Finding the player's folder ----------------------------------------------------------------

; $R0: a folder as some installer recorded it; drops surrounding quotes and a trailing backslash.
Function TidyFolder
  StrCpy $R1 $R0 1
  ${IfThen} $R1 == '"' ${|} StrCpy $R0 $R0 "" 1 ${|}
  StrCpy $R1 $R0 1 -1
  ${IfThen} $R1 == '"' ${|} StrCpy $R0 $R0 -1 ${|}
  StrLen $R2 $R0
  StrCpy $R1 $R0 1 -1
  ${If} $R1 == "\"
  ${AndIf} $R2 > 3  ; keep the backslash of a drive's root
    StrCpy $R0 $R0 -1
  ${EndIf}
FunctionEnd

; $R0: an uninstall command line ("C:\...\UninstWA.exe", quoted or not); becomes the folder of
; its program, or "" when there is none.
Function FolderOfCommand
  StrCpy $R1 $R0 1
  ${If} $R1 == '"'
    StrCpy $R0 $R0 "" 1
    StrCpy $R2 0
    ${Do}
      StrCpy $R1 $R0 1 $R2
      ${If} $R1 == ""
      ${OrIf} $R1 == '"'
        ${ExitDo}
      ${EndIf}
      IntOp $R2 $R2 + 1
    ${Loop}
    StrCpy $R0 $R0 $R2
  ${EndIf}
  ; The folder is everything before the last backslash.
  StrLen $R2 $R0
  ${Do}
    IntOp $R2 $R2 - 1
    ${If} $R2 < 0
      StrCpy $R0 ""
      ${ExitDo}
    ${EndIf}
    StrCpy $R1 $R0 1 $R2
    ${If} $R1 == "\"
      StrCpy $R0 $R0 $R2
      ${ExitDo}
    ${EndIf}
  ${Loop}
FunctionEnd

; Takes $R0 as the install folder when it holds the player and none was taken yet.
!macro TAKE_IF_PLAYER
  ${If} $INSTDIR == ""
  ${AndIf} $R0 != ""
    Call TidyFolder
    ${If} ${FileExists} "$R0\${PLAYER_EXE}"
      StrCpy $INSTDIR $R0
    ${EndIf}
  ${EndIf}
!macroend

; The places where the player's own installers record its folder, in order. A recorded folder
; that no longer holds the player (moved or removed) is passed over for the next one.
Function FindPlayerFolder
  ReadRegStr $R0 HKCU "${PLAYER_KEY}" ""
  !insertmacro TAKE_IF_PLAYER
  ReadRegStr $R0 HKLM "${PLAYER_UNINSTALL_KEY}" "InstallLocation"
  !insertmacro TAKE_IF_PLAYER
  ReadRegStr $R0 HKLM "${PLAYER_UNINSTALL_KEY}" "UninstallString"
  ${If} $R0 != ""
    Call FolderOfCommand
    !insertmacro TAKE_IF_PLAYER
  ${EndIf}
  ${IfThen} $INSTDIR == "" ${|} StrCpy $INSTDIR "$PROGRAMFILES\Winamp" ${|}
FunctionEnd

Function .onInit
  ; /D= sets $INSTDIR before .onInit; it wins over every recorded folder.
  ${IfThen} $INSTDIR == "" ${|} Call FindPlayerFolder ${|}
  ${If} ${Silent}
  ${AndIfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    ; No page runs in silent mode, so the folder is checked here, before anything is written.
    SetErrorLevel 2
    Abort
  ${EndIf}
FunctionEnd

Function DirectoryPageLeave
  ${IfNot} ${FileExists} "$INSTDIR\${PLAYER_EXE}"
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(NoPlayerInFolder)"
    Abort  ; stays on the page
  ${EndIf}
FunctionEnd

; --- Install ------------------------------------------------------------------------------------

; $R0: path of a file; becomes its size in bytes (0 when it cannot be opened).
Function FileSize
  ClearErrors
  FileOpen $R1 $R0 r
  ${If} ${Errors}
    StrCpy $R0 0
  ${Else}
    FileSeek $R1 0 END $R0
    FileClose $R1
  ${EndIf}
FunctionEnd

Section "Quillary" SecPlugin
  Call ClosePlayer

  SetOutPath "$INSTDIR\Plugins"
  File "/oname=${PLUGIN_FILE}" "${PLUGIN_DLL}"
  WriteUninstaller "$INSTDIR\Plugins\${UNINSTALLER}"

  ; Size in "Apps & features", in KB, rounded up.
  StrCpy $R0 "$INSTDIR\Plugins\${PLUGIN_FILE}"
  Call FileSize
  StrCpy $R3 $R0
  StrCpy $R0 "$INSTDIR\Plugins\${UNINSTALLER}"
  Call FileSize
  IntOp $R3 $R3 + $R0
  IntOp $R3 $R3 + 1023
  IntOp $R3 $R3 / 1024

  ClearErrors
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT} (Winamp-Plug-in)"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $R3
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR\Plugins"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PLAYER_EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Plugins\${UNINSTALLER}" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} ${Errors}
    ; The plug-in works without the entry; the user is told how to remove it by hand.
    MessageBox MB_OK|MB_ICONEXCLAMATION "$(NoUninstallEntry)" /SD IDOK
    SetErrorLevel 3
  ${EndIf}
SectionEnd

; --- Uninstall ----------------------------------------------------------------------------------

; The uninstaller lies in the Plugins folder, so here $INSTDIR is that folder. The settings in
; the player's INI file belong to the user and stay.
Section "Uninstall"
  Call un.ClosePlayer

  ClearErrors
  Delete "$INSTDIR\${PLUGIN_FILE}"
  ${If} ${Errors}
    ; Keep the entry, so the user can try again once the file is free.
    MessageBox MB_OK|MB_ICONSTOP "$(PluginNotRemoved)" /SD IDOK
    SetErrorLevel 2
    Abort "$(PluginNotRemoved)"
  ${EndIf}
  Delete "$INSTDIR\${UNINSTALLER}"
  ; Only when empty: normally the folder holds the player's own plug-ins.
  RMDir "$INSTDIR"

  ; The entry may already belong to an install in another player folder.
  ReadRegStr $R0 HKLM "${UNINSTALL_KEY}" "InstallLocation"
  ${If} $R0 == ""
  ${OrIf} $R0 == $INSTDIR
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
  ${EndIf}
SectionEnd
