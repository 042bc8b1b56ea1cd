; The Windows installer of Varnholt, made by tools/build_installer.sh with
; makensis from the players' zip, so that both carry the same files:
;
;   makensis -DVERSION=1.0.0 -DFILES=<unpacked zip> -DLISTS=<folder> -DICON=<.ico>
;            -DOUTFILE=<setup.exe> varnholt.nsi
;
; LISTS holds install_files.nsh and uninstall_files.nsh, the script's lists of
; what FILES holds: the uninstaller removes exactly what was installed, and
; whatever the player put beside it stays.
;
; For the player: it installs for the current user by default, without asking
; for administrator rights, into %LOCALAPPDATA%\Programs\Varnholt, or for
; everyone into Program Files\Varnholt when chosen (Windows then asks for the
; rights). A Start Menu shortcut always, a desktop shortcut when chosen, and an
; entry under Apps & features with its uninstaller. Installing over an earlier
; version removes that one first, with its own uninstaller.
;
; Command line:  /S  without a window (messages go to standard error),
;                /AllUsers  for everyone, /CurrentUser  for the current user,
;                /DesktopShortcut  also a desktop shortcut,
;                /D=FOLDER  where to install (the last option, unquoted).
; The uninstaller takes /S as well. Exit code 0 on success, 2 when stopped.

Unicode true
Target amd64-unicode
ManifestDPIAware true
ManifestSupportedOS all
SetCompressor /SOLID lzma

!define APP Varnholt
!define PUBLISHER "The Varnholt developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define UNINSTALLER "uninstall.exe"
!define SHORTCUT "${APP}.lnk"
!define PROGRAM "varnholt.exe"

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${VERSION}.0"
VIFileVersion "${VERSION}.0"
VIAddVersionKey ProductName "${APP}"
VIAddVersionKey ProductVersion "${VERSION}"
VIAddVersionKey FileVersion "${VERSION}"
VIAddVersionKey FileDescription "${APP} ${VERSION} Setup"
VIAddVersionKey CompanyName "${PUBLISHER}"
VIAddVersionKey LegalCopyright "Copyright 2026 ${PUBLISHER}; MIT licence"

; ---- Who it is installed for -------------------------------------------------
; NSIS's own MultiUser header switches between the two: the folders the shell
; variables name ($SMPROGRAMS, $DESKTOP), the registry root SHCTX stands for,
; and the default folder (the user's Programs folder, or Program Files), or
; the folder of an earlier install. The installer itself asks for no rights.
!define MULTIUSER_EXECUTIONLEVEL Standard
!define MULTIUSER_INSTALLMODE_INSTDIR "${APP}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${UNINSTALL_KEY}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME InstallLocation
!define MULTIUSER_USE_PROGRAMFILES64
!define MULTIUSER_MUI
!include MultiUser.nsh
!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

; MIT asks for no agreement: the page shows the licence and goes on.
!define MUI_LICENSEPAGE_TEXT_TOP "Varnholt is free software under the MIT licence."
!define MUI_LICENSEPAGE_TEXT_BOTTOM "You may use, copy, change and pass on Varnholt as the licence above says."
!define MUI_LICENSEPAGE_BUTTON "$(^NextBtn)"
!insertmacro MUI_PAGE_LICENSE "${FILES}\LICENSE.txt"
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_LEAVE DirectoryPageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE English

; ---- Messages ----------------------------------------------------------------
; A message box, or in a silent run (/S) a line on standard error, where
; whoever started the run can read it.
!macro TELL_FUNCTION PREFIX
  Function ${PREFIX}Tell
    Exch $R0
    Push $R1
    ${If} ${Silent}
      System::Call 'kernel32::GetStdHandle(i -12) p .R1'
      FileWrite $R1 "$R0$\r$\n"
    ${Else}
      MessageBox MB_OK|MB_ICONSTOP "$R0"
    ${EndIf}
    Pop $R1
    Pop $R0
  FunctionEnd
!macroend
!insertmacro TELL_FUNCTION ""
!insertmacro TELL_FUNCTION "un."
!macro TELL TEXT
  Push "${TEXT}"
  !ifdef __UNINSTALL__
    Call un.Tell
  !else
    Call Tell
  !endif
!macroend
!define TELL "!insertmacro TELL"

; Starts PROGRAM again with administrator rights (Windows asks for them) and
; ends this one. When the player refuses, the error flag is set and this one
; goes on.
!macro RESTART_AS_ADMINISTRATOR PROGRAM PARAMETERS
  ClearErrors
  ExecShell runas "${PROGRAM}" "${PARAMETERS}"
  ${IfNot} ${Errors}
    Quit
  ${EndIf}
!macroend

; Pushes 1 when this process runs with administrator rights: MultiUser.nsh
; asked UserInfo, which says "Admin" (or "Power" on old Windows) only then.
!macro IS_ADMINISTRATOR_FUNCTION PREFIX
  Function ${PREFIX}IsAdministrator
    ${If} $MultiUser.Privileges == Admin
    ${OrIf} $MultiUser.Privileges == Power
      Push 1
    ${Else}
      Push 0
    ${EndIf}
  FunctionEnd
!macroend
!insertmacro IS_ADMINISTRATOR_FUNCTION ""
!insertmacro IS_ADMINISTRATOR_FUNCTION "un."

; ---- The folder --------------------------------------------------------------
; Whether $INSTDIR can be written: the folder is made, a file written and
; removed again. Pushes 1 or 0.
Function CanWriteFolder
  Push $0
  ClearErrors
  CreateDirectory "$INSTDIR"
  FileOpen $0 "$INSTDIR\${APP}-setup-test.tmp" w
  ${If} ${Errors}
    StrCpy $0 0
  ${Else}
    FileClose $0
    Delete "$INSTDIR\${APP}-setup-test.tmp"
    RMDir "$INSTDIR" ; only when it was empty, as it was made for this test
    StrCpy $0 1
  ${EndIf}
  Exch $0
FunctionEnd

!define CANNOT_WRITE "${APP} cannot be installed in $INSTDIR: that folder cannot be written (it may need an administrator's permission, or be on a drive that cannot be written). Choose another folder."

Function DirectoryPageLeave
  Call CanWriteFolder
  Pop $0
  ${If} $0 == 0
    ${TELL} "${CANNOT_WRITE}"
    Abort ; stays on the page
  ${EndIf}
FunctionEnd

; ---- Installing --------------------------------------------------------------
Section "${APP}" SecGame
  SectionIn RO
  Call CanWriteFolder
  Pop $0
  ${If} $0 == 0
    ${TELL} "${CANNOT_WRITE}"
    Abort
  ${EndIf}

  ; An earlier install for the same users: its own uninstaller removes it, so
  ; that no file it had and this version lacks stays behind.
  ReadRegStr $0 SHCTX "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 != ""
  ${AndIf} ${FileExists} "$0\${UNINSTALLER}"
    DetailPrint "Removing the installed version from $0"
    ClearErrors
    ExecWait '"$0\${UNINSTALLER}" /S _?=$0' $1
    ${If} ${Errors}
    ${OrIf} $1 <> 0
      ${TELL} "The installed version of ${APP} in $0 could not be removed (its uninstaller ended with $1). Uninstall it from Apps & features, then run this installer again."
      Abort
    ${EndIf}
    ; Run in place, the old uninstaller could not remove itself.
    Delete "$0\${UNINSTALLER}"
    RMDir "$0"
  ${EndIf}

  !include "${LISTS}\install_files.nsh"
  WriteUninstaller "$INSTDIR\${UNINSTALLER}"

  ; The game reads its art relative to its working directory, which is the
  ; shortcut's: the output folder when it is made.
  SetOutPath "$INSTDIR"
  CreateShortcut "$SMPROGRAMS\${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 \
    SW_SHOWNORMAL "" "Look after a small city, lot by lot"

  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayName "${APP}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayVersion "${VERSION}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" Publisher "${PUBLISHER}"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" DisplayIcon "$INSTDIR\${PROGRAM},0"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" InstallLocation "$INSTDIR"
  WriteRegStr SHCTX "${UNINSTALL_KEY}" UninstallString '"$INSTDIR\${UNINSTALLER}"'
  WriteRegStr SHCTX "${UNINSTALL_KEY}" QuietUninstallString '"$INSTDIR\${UNINSTALLER}" /S'
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoModify 1
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" NoRepair 1
SectionEnd

Section /o "Desktop shortcut" SecDesktop
  SetOutPath "$INSTDIR"
  CreateShortcut "$DESKTOP\${SHORTCUT}" "$INSTDIR\${PROGRAM}" "" "$INSTDIR\${PROGRAM}" 0 \
    SW_SHOWNORMAL "" "Look after a small city, lot by lot"
SectionEnd

Section "-Size"
  ; What Apps & features shows, in KiB, once every file is in place.
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD SHCTX "${UNINSTALL_KEY}" EstimatedSize $0
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecGame} "The game, its art, and a shortcut in the Start Menu."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecDesktop} "A shortcut on the desktop."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; ---- Start (after the sections, whose numbers it uses) -----------------------
Var FolderAsked

Function .onInit
  ; /D= sets $INSTDIR before this runs; choosing the mode sets the default.
  StrCpy $FolderAsked $INSTDIR
  !insertmacro MULTIUSER_INIT
  ${GetParameters} $0
  ClearErrors
  ${GetOptions} $0 /DesktopShortcut $1
  ${IfNot} ${Errors}
    SectionSetFlags ${SecDesktop} ${SF_SELECTED}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 /AllUsers $1
  ${IfNot} ${Errors}
    Call IsAdministrator
    Pop $1
    ${If} $1 == 1
      Call MultiUser.InstallMode.AllUsers
    ${ElseIf} ${Silent}
      ${TELL} "Installing ${APP} for all users needs administrator rights: start the installer from an administrator's prompt, or leave out /AllUsers to install it for the current user."
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${Else}
      !insertmacro RESTART_AS_ADMINISTRATOR "$EXEPATH" "$0"
      ; Refused: the mode page offers the choice again.
    ${EndIf}
  ${EndIf}
  ClearErrors
  ${GetOptions} $0 /CurrentUser $1
  ${IfNot} ${Errors}
    Call MultiUser.InstallMode.CurrentUser
  ${EndIf}
  ${If} $FolderAsked != ""
    StrCpy $INSTDIR $FolderAsked
  ${EndIf}
FunctionEnd

; ---- The page that asks who it is for ----------------------------------------
Var ModePage.AllUsers

Function ModePage
  !insertmacro MUI_HEADER_TEXT "Who will play" "Install ${APP} for you alone, or for everyone who uses this computer."
  nsDialogs::Create 1018
  Pop $0
  ${NSD_CreateLabel} 0 0 100% 24u "${APP} installed for you alone needs no administrator rights. Installed for everyone, it goes into Program Files, and Windows asks for an administrator's permission."
  Pop $0
  ${NSD_CreateRadioButton} 10u 36u -10u 12u "For me alone (recommended)"
  Pop $1
  ${NSD_CreateRadioButton} 10u 54u -10u 12u "For everyone who uses this computer"
  Pop $ModePage.AllUsers
  ${If} $MultiUser.InstallMode == AllUsers
    ${NSD_Check} $ModePage.AllUsers
  ${Else}
    ${NSD_Check} $1
  ${EndIf}
  nsDialogs::Show
FunctionEnd

Function ModePageLeave
  ${NSD_GetState} $ModePage.AllUsers $0
  ${If} $0 <> ${BST_CHECKED}
    Call MultiUser.InstallMode.CurrentUser
    Return
  ${EndIf}
  Call IsAdministrator
  Pop $0
  ${If} $0 == 1
    Call MultiUser.InstallMode.AllUsers
    Return
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecDesktop}
    StrCpy $0 "/AllUsers /DesktopShortcut"
  ${Else}
    StrCpy $0 "/AllUsers"
  ${EndIf}
  !insertmacro RESTART_AS_ADMINISTRATOR "$EXEPATH" "$0"
  MessageBox MB_OK|MB_ICONINFORMATION "Without an administrator's permission ${APP} can only be installed for you."
  Abort ; stays on the page
FunctionEnd

; ---- Uninstalling ------------------------------------------------------------
Function un.onInit
  !insertmacro MULTIUSER_UNINIT
  ; Installed for everyone when the machine-wide entry names this folder.
  ReadRegStr $0 HKLM "${UNINSTALL_KEY}" InstallLocation
  ${If} $0 == "$INSTDIR"
    Call un.IsAdministrator
    Pop $1
    ${If} $1 == 1
      Call un.MultiUser.InstallMode.AllUsers
    ${Else}
      ${IfNot} ${Silent}
        ; This runs from a copy in %TEMP%: the uninstaller in the folder
        ; starts again, and makes its own copy.
        ${un.GetParameters} $2
        !insertmacro RESTART_AS_ADMINISTRATOR "$INSTDIR\${UNINSTALLER}" "$2"
      ${EndIf}
      ${TELL} "${APP} was installed for all users: removing it needs an administrator's permission."
      SetErrorLevel 740 ; ERROR_ELEVATION_REQUIRED
      Quit
    ${EndIf}
  ${EndIf}
FunctionEnd

Section Uninstall
  !include "${LISTS}\uninstall_files.nsh"
  Delete "$INSTDIR\${UNINSTALLER}"
  RMDir "$INSTDIR" ; only when empty: what the player put there stays
  Delete "$SMPROGRAMS\${SHORTCUT}"
  Delete "$DESKTOP\${SHORTCUT}"
  DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
