; The Windows setup program of Tessaly for Zip: installs the desktop program,
; the command-line program, the dialog pictures and the help book for every
; user of the machine, registers the program as an "Open with" choice for
; .zip files (without taking the .zip association), adds it to the Start
; menu and to the installed-programs list, and writes an uninstaller that
; removes exactly that again.
;
; Built with NSIS 3 (makensis), normally through
; scripts/build-windows-installer.sh:
;
;   makensis -DVERSION=2.0.0 -DBIN_DIR=/abs/bin -DDATA_DIR=/abs/data \
;            -DOUT_FILE=/abs/out/tessaly-zip-2.0.0-setup.exe \
;            [-DICON=/abs/tessaly-zip.ico] res/windows/installer.nsi
;
;   VERSION   the program's version: one to four numbers, e.g. 2.0.0 (the
;             version resource gets it padded to four parts: 2.0.0.0)
;   BIN_DIR   folder holding tessaly-zip.exe and tessaly-zip-cli.exe
;   DATA_DIR  folder holding the pictures (*.bmp) and help/ (the help book's
;             .html, .hhp, .hhc and .hhk files, no subfolders)
;   OUT_FILE  the setup program to write
;   ICON      optional: an .ico for the setup program and the uninstaller
;             (the NSIS default icons otherwise)
; makensis works in this script's folder, so give absolute paths.
; The file lists are made by a shell command at build time: this script is
; built with the POSIX makensis (the Windows build is a cross build).
;
; Setup switches: /S (silent), /D=FOLDER (last, unquoted).
; Uninstaller switches: /S (silent), /REMOVELOG (also delete the activity
; log of the user who uninstalls; the interactive uninstaller asks instead),
; _?=FOLDER (last, unquoted: run in place and wait, see the end of the
; uninstall section).

Unicode true
; The program is 64-bit only, so the setup program is as well; a 64-bit
; setup also sees the 64-bit Program Files folder and registry natively.
Target amd64-unicode

!macro REQUIRE_DEFINE NAME
  !ifndef ${NAME}
    !error "${NAME} is not defined: give it as -D${NAME}=VALUE"
  !endif
!macroend
!insertmacro REQUIRE_DEFINE VERSION
!insertmacro REQUIRE_DEFINE BIN_DIR
!insertmacro REQUIRE_DEFINE DATA_DIR
!insertmacro REQUIRE_DEFINE OUT_FILE
!ifdef NSIS_WIN32_MAKENSIS
  !error "Build this script with the POSIX makensis (scripts/build-windows-installer.sh)"
!endif
!if ! /FileExists "${BIN_DIR}/tessaly-zip.exe"
  !error "${BIN_DIR}/tessaly-zip.exe is missing"
!endif
!if ! /FileExists "${BIN_DIR}/tessaly-zip-cli.exe"
  !error "${BIN_DIR}/tessaly-zip-cli.exe is missing"
!endif
!if ! /FileExists "${DATA_DIR}/help/Tessaly for Zip.hhp"
  !error "${DATA_DIR}/help/Tessaly for Zip.hhp is missing"
!endif

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh

!define PRODUCT "Tessaly for Zip"
!define PROGRAM_EXE "tessaly-zip.exe"
!define CLI_EXE "tessaly-zip-cli.exe"
; The classes are written to HKLM\Software\Classes, the per-machine half of
; HKEY_CLASSES_ROOT: a write through HKCR itself lands in the user's own
; classes whenever that key already exists there. The program reads HKCR,
; which shows both.
!define CLASSES "Software\Classes"
!define SETTINGS_KEY "${CLASSES}\TLZIP"
!define APPLICATION_KEY "${CLASSES}\Applications\${PROGRAM_EXE}"
!define PROGID "TessalyForZip.zip"
!define PROGID_KEY "${CLASSES}\${PROGID}"
!define OPEN_WITH_KEY "${CLASSES}\.zip\OpenWithProgids"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\TessalyForZip"
; The log folder as the program reads it from LogPath: the user's own local
; application data, which an ordinary user can write to.
!define LOG_FOLDER "%LOCALAPPDATA%\tessaly-zip"
!define LOG_NAME "Activity Log.txt"

; Lists the pictures and help files of DATA_DIR as macro calls, one per file,
; so that the uninstaller deletes exactly the files the setup program wrote.
; (makensis turns backslashes in the command into slashes: none are used.)
!tempfile DATA_LIST
!system `export LC_ALL=C; cd "${DATA_DIR}" && { ls *.bmp >/dev/null 2>&1 || { echo "${DATA_DIR} holds no pictures (*.bmp)" >&2; exit 1; }; } && for f in *.bmp; do echo '!insertmacro DATA_PICTURE "'"$f"'"'; done >"${DATA_LIST}" && cd help && for f in *; do [ -f "$f" ] || { echo "help/$f: the help folder may hold files only" >&2; exit 1; }; echo '!insertmacro DATA_HELP_FILE "'"$f"'"'; done >>"${DATA_LIST}"` = 0

Name "${PRODUCT}"
OutFile "${OUT_FILE}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
; A new version goes where the last one was installed.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma
ManifestDPIAware true
ShowInstDetails show
ShowUninstDetails show
BrandingText "${PRODUCT} ${VERSION}"

; The version resource wants four numbers.
!searchparse /noerrors "${VERSION}" "" VERSION_1 "." VERSION_2 "." VERSION_3 "." VERSION_4 "." VERSION_5
!ifdef VERSION_5
  !error "VERSION ${VERSION} has more than four parts"
!endif
!ifndef VERSION_2
  !define VERSION_2 0
!endif
!ifndef VERSION_3
  !define VERSION_3 0
!endif
!ifndef VERSION_4
  !define VERSION_4 0
!endif
!define VERSION_QUAD "${VERSION_1}.${VERSION_2}.${VERSION_3}.${VERSION_4}"

!ifdef ICON
  !define MUI_ICON "${ICON}"
  !define MUI_UNICON "${ICON}"
!endif
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\${PROGRAM_EXE}"
!define MUI_FINISHPAGE_RUN_TEXT "Run ${PRODUCT}"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
UninstPage custom un.LogPageShow un.LogPageLeave
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "English"

VIProductVersion "${VERSION_QUAD}"
VIFileVersion "${VERSION_QUAD}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "Tessaly"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "Copyright Tessaly"

; Tells Explorer that file associations changed, so "Open with" lists are
; read again.
!macro NOTIFY_ASSOCIATIONS_CHANGED
  System::Call 'shell32::SHChangeNotify(i 0x08000000, i 0, p 0, p 0)'
!macroend

; The request for administrator rights is not honoured everywhere (no UAC,
; or UAC turned off), so the account is checked as well.
!macro REQUIRE_ADMIN
  UserInfo::GetAccountType
  Pop $0
  ${If} $0 != "admin"
    MessageBox MB_ICONSTOP "Administrator rights are needed: ${PRODUCT} is installed for every user of this computer." /SD IDOK
    SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
    Quit
  ${EndIf}
!macroend

Function .onInit
  !insertmacro REQUIRE_ADMIN
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "${PRODUCT}" SectionProgram
  SectionIn RO
  SetOutPath "$INSTDIR"
  File "${BIN_DIR}/${PROGRAM_EXE}"
  File "${BIN_DIR}/${CLI_EXE}"
  !macro DATA_PICTURE NAME
    SetOutPath "$INSTDIR"
    File "${DATA_DIR}/${NAME}"
  !macroend
  !macro DATA_HELP_FILE NAME
    SetOutPath "$INSTDIR\help"
    File "${DATA_DIR}/help/${NAME}"
  !macroend
  !include "${DATA_LIST}"
  !macroundef DATA_PICTURE
  !macroundef DATA_HELP_FILE
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The program finds its data folder and its log folder here. FilePath has
  ; no trailing backslash; LogPath stays unexpanded (the program expands it
  ; for the user who runs it).
  StrCpy $0 "$INSTDIR"
  StrCpy $1 "$0" 1 -1
  ${If} $1 == "\"
    StrCpy $0 "$0" -1
  ${EndIf}
  WriteRegStr HKLM "${SETTINGS_KEY}" "FilePath" "$0"
  WriteRegExpandStr HKLM "${SETTINGS_KEY}" "LogPath" "${LOG_FOLDER}"

  ; "Open with" for .zip. The default value of .zip (the association) is
  ; left alone.
  WriteRegStr HKLM "${APPLICATION_KEY}" "FriendlyAppName" "${PRODUCT}"
  WriteRegStr HKLM "${APPLICATION_KEY}\shell\open\command" "" '"$INSTDIR\${PROGRAM_EXE}" "%1"'
  WriteRegStr HKLM "${APPLICATION_KEY}\SupportedTypes" ".zip" ""
  WriteRegStr HKLM "${PROGID_KEY}" "" "Zip archive"
  WriteRegStr HKLM "${PROGID_KEY}\DefaultIcon" "" "$INSTDIR\${PROGRAM_EXE},0"
  WriteRegStr HKLM "${PROGID_KEY}\shell\open\command" "" '"$INSTDIR\${PROGRAM_EXE}" "%1"'
  WriteRegStr HKLM "${OPEN_WITH_KEY}" "${PROGID}" ""
  !insertmacro NOTIFY_ASSOCIATIONS_CHANGED

  CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\${PROGRAM_EXE}" "" "$INSTDIR\${PROGRAM_EXE}" 0

  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Tessaly"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${PROGRAM_EXE},0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$0"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  SectionGetSize ${SectionProgram} $1 ; in KiB, as EstimatedSize wants
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $1
SectionEnd

; --- Uninstaller ---

Var RemoveLog   ; 1: delete the activity log as well
Var LogFile     ; the activity log of the user who uninstalls
Var LogCheckbox

Function un.onInit
  !insertmacro REQUIRE_ADMIN
  SetShellVarContext all
  SetRegView 64
  ; The log folder is where LogPath points (the program may have been told
  ; another one), expanded for the user running the uninstaller.
  ReadRegStr $0 HKLM "${SETTINGS_KEY}" "LogPath"
  ${If} $0 == ""
    StrCpy $0 "${LOG_FOLDER}"
  ${EndIf}
  ExpandEnvStrings $0 $0
  StrCpy $LogFile "$0\${LOG_NAME}"
  StrCpy $RemoveLog 0
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 "/REMOVELOG" $1
  ${IfNot} ${Errors}
    StrCpy $RemoveLog 1
  ${EndIf}
FunctionEnd

; The activity log is the user's record of past repairs: it stays unless
; the box is ticked. Without a log there is nothing to ask.
Function un.LogPageShow
  ${IfNot} ${FileExists} "$LogFile"
    Abort
  ${EndIf}
  !insertmacro MUI_HEADER_TEXT "Activity log" "Choose whether to keep the record of your repairs."
  nsDialogs::Create 1018
  Pop $0
  ${If} $0 == error
    Abort
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 40u "${PRODUCT} keeps a record of its repairs in$\r$\n$LogFile$\r$\nIt is kept unless you tick the box below."
  Pop $0
  ${NSD_CreateCheckbox} 0 48u 100% 12u "Also remove the activity log"
  Pop $LogCheckbox
  ${If} $RemoveLog == 1
    ${NSD_Check} $LogCheckbox
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function un.LogPageLeave
  ${NSD_GetState} $LogCheckbox $0
  ${If} $0 == ${BST_CHECKED}
    StrCpy $RemoveLog 1
  ${Else}
    StrCpy $RemoveLog 0
  ${EndIf}
FunctionEnd

Section "Uninstall"
  Delete "$INSTDIR\${PROGRAM_EXE}"
  Delete "$INSTDIR\${CLI_EXE}"
  !macro DATA_PICTURE NAME
    Delete "$INSTDIR\${NAME}"
  !macroend
  !macro DATA_HELP_FILE NAME
    Delete "$INSTDIR\help\${NAME}"
  !macroend
  !include "${DATA_LIST}"
  !macroundef DATA_PICTURE
  !macroundef DATA_HELP_FILE
  RMDir "$INSTDIR\help"

  Delete "$SMPROGRAMS\${PRODUCT}.lnk"

  DeleteRegKey HKLM "${SETTINGS_KEY}"
  DeleteRegKey HKLM "${APPLICATION_KEY}"
  DeleteRegKey HKLM "${PROGID_KEY}"
  ; Only this program's entry: the list and .zip itself belong to Windows.
  DeleteRegValue HKLM "${OPEN_WITH_KEY}" "${PROGID}"
  !insertmacro NOTIFY_ASSOCIATIONS_CHANGED
  DeleteRegKey HKLM "${UNINSTALL_KEY}"

  ${If} $RemoveLog == 1
    Delete "$LogFile"
    ${GetParent} "$LogFile" $0
    RMDir "$0" ; only if nothing else is in it
  ${EndIf}

  ; Normally the uninstaller runs from a copy in the temporary folder, and
  ; this deletes the original. Started with _?= it runs in place, and
  ; Windows does not let a running program's file be deleted: then the file
  ; and the folder (if nothing else is left in it) are removed at the next
  ; restart; whoever ran it with _?= and waited may delete them sooner.
  Delete "$INSTDIR\uninstall.exe"
  ${If} ${FileExists} "$INSTDIR\uninstall.exe"
    Delete /REBOOTOK "$INSTDIR\uninstall.exe"
    RMDir /REBOOTOK "$INSTDIR"
  ${Else}
    RMDir "$INSTDIR" ; only if the user left nothing of theirs in it
  ${EndIf}
SectionEnd

!delfile "${DATA_LIST}"
