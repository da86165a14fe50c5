; The Mnemora installer, made by `make windows` (target windows-installer):
;   makensis -DVERSION=1.0.0 -DOUTFILE=... -DICON=... -DINSTALL_FILES=...
;            -DUNINSTALL_FILES=... -DESTIMATED_SIZE=<KiB> Mnemora.nsi
; INSTALL_FILES and UNINSTALL_FILES are the lists pack.cmake writes from the
; game folder.
;
; Two ways to install, chosen on the first page:
; - for all users: into Program Files, a Start-menu entry for everyone and an
;   entry in Apps & Features under HKLM. Needs an administrator: a setup run
;   by a standard user starts itself again elevated for this.
; - for the current user alone, without elevation: into
;   %LOCALAPPDATA%\Programs\Mnemora, the user's own Start menu and an entry
;   under HKCU. A player without an administrator's password can install.
; The setup program itself never runs elevated unless all users was chosen,
; and the finish page starts the game only from a setup that is not elevated,
; so the first session's progress lands in the player's own folder.
;
; Command line (for a silent install, /S):
;   /ALLUSERS      install for all users (fails with exit code 4 without
;                  administrator rights)
;   /CURRENTUSER   install for the current user alone
;   /D=<folder>    the folder to install into (last, unquoted)
; Without either switch, an existing installation keeps its kind; otherwise an
; administrator installs for all users and anyone else for themselves.
;
; Neither the setup nor the uninstaller touches a game that is running (the
; game holds the named mutex "Velcroft.Mnemora.Running"): they ask the player
; to close it, and silently fail with exit code 3 having changed nothing.
;
; The uninstaller removes exactly what was installed: the player's settings,
; progress, logs and screenshots under %APPDATA%\Orvanta\Mnemora stay.
; A 64-bit installer for a 64-bit game: it also runs on a Wine without 32-bit
; support, and sees the 64-bit Program Files and registry without redirection.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define APP "Mnemora"
!define COMPANY "Velcroft"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${APP}"
!define MUTEX "Velcroft.Mnemora.Running"
!define EXIT_GAME_RUNNING 3
!define EXIT_NEEDS_ADMIN 4

Name "${APP}"
OutFile "${OUTFILE}"
BrandingText "${APP} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductName" "${APP}"
VIAddVersionKey /LANG=1033 "CompanyName" "${COMPANY}"
VIAddVersionKey /LANG=1033 "FileDescription" "${APP} ${VERSION} setup"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}.0"
VIAddVersionKey /LANG=1033 "LegalCopyright" "Velcroft Ltd."

!include "MUI2.nsh"
!include "x64.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "nsDialogs.nsh"

Var AllUsers      ; 1: for all users, 0: for the current user
Var ModeGiven     ; 1 when the command line chose the mode
Var DirGiven      ; 1 when /D chose the folder
Var IsAdmin       ; 1 when this process has administrator rights
Var AllUsersRadio
Var CurrentUserRadio

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION RunGame
Page custom ModePage ModePageLeave
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_PAGE_CUSTOMFUNCTION_SHOW FinishShow
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "German"

LangString ModeTitle ${LANG_ENGLISH} "Installation type"
LangString ModeTitle ${LANG_GERMAN} "Installationsart"
LangString ModeText ${LANG_ENGLISH} "Who will play ${APP} on this computer?"
LangString ModeText ${LANG_GERMAN} "Wer spielt ${APP} auf diesem Computer?"
LangString ModeAll ${LANG_ENGLISH} "Everyone who uses this computer (needs an administrator)"
LangString ModeAll ${LANG_GERMAN} "Alle Benutzer dieses Computers (erfordert einen Administrator)"
LangString ModeUser ${LANG_ENGLISH} "Only me (no administrator needed)"
LangString ModeUser ${LANG_GERMAN} "Nur ich (kein Administrator n${U+00F6}tig)"
LangString GameRunning ${LANG_ENGLISH} "${APP} is running. Close the game, then choose Retry."
LangString GameRunning ${LANG_GERMAN} "${APP} l${U+00E4}uft noch. Beenden Sie das Spiel und w${U+00E4}hlen Sie dann Wiederholen."
LangString NeedsAdmin ${LANG_ENGLISH} "Installing for all users needs an administrator."
LangString NeedsAdmin ${LANG_GERMAN} "Die Installation f${U+00FC}r alle Benutzer erfordert einen Administrator."

; Sets $IsAdmin from this process's own rights (an administrator's filtered
; token under UAC counts as a standard user's).
!macro DefineCheckAdmin un
Function ${un}CheckAdmin
    StrCpy $IsAdmin 0
    UserInfo::GetAccountType
    Pop $0
    ${If} $0 == "Admin"
        StrCpy $IsAdmin 1
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineCheckAdmin ""
!insertmacro DefineCheckAdmin "un."

; Shell folders and the registry root (SHCTX) of the chosen kind.
!macro DefineApplyMode un
Function ${un}ApplyMode
    ${If} $AllUsers = 1
        SetShellVarContext all
    ${Else}
        SetShellVarContext current
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineApplyMode ""
!insertmacro DefineApplyMode "un."

; Waits for the game to be closed (Retry), or ends this program with
; EXIT_GAME_RUNNING having changed nothing (Cancel, or silently at once).
; The game holds the mutex in the global namespace, or in its session's when
; the global one was refused; one held by another user cannot be opened
; (access denied) but is there all the same.
!macro DefineCheckGameClosed un
Function ${un}CheckGameClosed
    retry:
    StrCpy $R9 0
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Global\${MUTEX}") p .R8 ?e'
    Pop $R7
    ${If} $R8 != 0
        System::Call 'kernel32::CloseHandle(p R8)'
        StrCpy $R9 1
    ${ElseIf} $R7 = 5
        StrCpy $R9 1
    ${EndIf}
    System::Call 'kernel32::OpenMutexW(i 0x00100000, i 0, w "Local\${MUTEX}") p .R8 ?e'
    Pop $R7
    ${If} $R8 != 0
        System::Call 'kernel32::CloseHandle(p R8)'
        StrCpy $R9 1
    ${EndIf}
    ${If} $R9 = 1
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "$(GameRunning)" /SD IDCANCEL IDRETRY retry
        SetErrorLevel ${EXIT_GAME_RUNNING}
        Quit
    ${EndIf}
FunctionEnd
!macroend
!insertmacro DefineCheckGameClosed ""
!insertmacro DefineCheckGameClosed "un."

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP|MB_OK "${APP} needs 64-bit Windows." /SD IDOK
        Abort
    ${EndIf}
    SetRegView 64
    Call CheckAdmin
    StrCpy $DirGiven 0
    ${If} $INSTDIR != ""
        StrCpy $DirGiven 1
    ${EndIf}

    StrCpy $ModeGiven 0
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
        StrCpy $ModeGiven 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
        StrCpy $ModeGiven 1
    ${EndIf}
    ${If} $ModeGiven = 0
        ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
        ReadRegStr $R2 HKLM "${UNINSTALL_KEY}" "InstallLocation"
        ${If} $R1 != ""
            StrCpy $AllUsers 0
        ${ElseIf} $R2 != ""
            StrCpy $AllUsers 1
        ${Else}
            StrCpy $AllUsers $IsAdmin
        ${EndIf}
    ${EndIf}
    ${If} $AllUsers = 1
    ${AndIf} $IsAdmin = 0
    ${AndIf} ${Silent}
        SetErrorLevel ${EXIT_NEEDS_ADMIN}
        Quit
    ${EndIf}
    Call SetInstallFolder
    Call CheckGameClosed
FunctionEnd

; The kind's folder, unless /D gave one; an existing installation's folder
; when there is one of that kind.
Function SetInstallFolder
    Call ApplyMode
    ${If} $DirGiven = 1
        Return
    ${EndIf}
    ReadRegStr $R1 SHCTX "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R1 != ""
        StrCpy $INSTDIR $R1
    ${ElseIf} $AllUsers = 1
        StrCpy $INSTDIR "$PROGRAMFILES64\${APP}"
    ${Else}
        StrCpy $INSTDIR "$LOCALAPPDATA\Programs\${APP}"
    ${EndIf}
FunctionEnd

Function ModePage
    ${If} $ModeGiven = 1
        Abort
    ${EndIf}
    !insertmacro MUI_HEADER_TEXT "$(ModeTitle)" "$(ModeText)"
    nsDialogs::Create 1018
    Pop $0
    ${NSD_CreateRadioButton} 0 20u 100% 14u "$(ModeAll)"
    Pop $AllUsersRadio
    ${NSD_CreateRadioButton} 0 40u 100% 14u "$(ModeUser)"
    Pop $CurrentUserRadio
    ${If} $AllUsers = 1
        ${NSD_Check} $AllUsersRadio
    ${Else}
        ${NSD_Check} $CurrentUserRadio
    ${EndIf}
    nsDialogs::Show
FunctionEnd

; All users from a setup without administrator rights: the same setup is
; started again elevated (Windows asks for an administrator) and this one ends.
Function ModePageLeave
    ${NSD_GetState} $AllUsersRadio $0
    ${If} $0 == ${BST_CHECKED}
        StrCpy $AllUsers 1
    ${Else}
        StrCpy $AllUsers 0
    ${EndIf}
    ${If} $AllUsers = 1
    ${AndIf} $IsAdmin = 0
        ClearErrors
        ExecShellWait "runas" "$EXEPATH" "/ALLUSERS"
        ${If} ${Errors}
            MessageBox MB_ICONEXCLAMATION|MB_OK "$(NeedsAdmin)"
            Abort
        ${EndIf}
        Quit
    ${EndIf}
    Call SetInstallFolder
FunctionEnd

; The finish page offers to start the game only where this setup runs with
; the player's own rights: an elevated setup would start it as the
; administrator, and the first session's progress would be theirs.
Function FinishShow
    ${If} $AllUsers = 1
        ShowWindow $mui.FinishPage.Run ${SW_HIDE}
        ${NSD_Uncheck} $mui.FinishPage.Run
    ${EndIf}
FunctionEnd

Function RunGame
    ${If} $AllUsers = 0
        Exec '"$INSTDIR\Mnemora.exe"'
    ${EndIf}
FunctionEnd

Section "${APP}" SecMain
    SectionIn RO
    Call CheckGameClosed
    !include "${INSTALL_FILES}"
    SetOutPath "$INSTDIR"
    WriteUninstaller "$INSTDIR\Uninstall.exe"

    CreateShortCut "$SMPROGRAMS\${APP}.lnk" "$INSTDIR\Mnemora.exe" "" "$INSTDIR\Mnemora.exe" 0

    ${If} $AllUsers = 1
        StrCpy $R0 "/ALLUSERS"
    ${Else}
        StrCpy $R0 "/CURRENTUSER"
    ${EndIf}
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayName" "${APP}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Mnemora.exe,0"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "Publisher" "${COMPANY}"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe" $R0'
    WriteRegStr SHCTX "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" $R0 /S'
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "EstimatedSize" ${ESTIMATED_SIZE}
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD SHCTX "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; The uninstaller's kind: its command-line switch (Apps & Features passes the
; one the setup wrote), else whether the current user's entry names this
; folder. All users without administrator rights: started again elevated, or
; silently exit code 4.
Function un.onInit
    SetRegView 64
    Call un.CheckAdmin
    ReadRegStr $R1 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    StrCpy $AllUsers 1
    ${If} $R1 == $INSTDIR
        StrCpy $AllUsers 0
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/ALLUSERS" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 1
    ${EndIf}
    ClearErrors
    ${GetOptions} $R0 "/CURRENTUSER" $R1
    ${IfNot} ${Errors}
        StrCpy $AllUsers 0
    ${EndIf}
    Call un.ApplyMode
    ${If} $AllUsers = 1
    ${AndIf} $IsAdmin = 0
        ${If} ${Silent}
            SetErrorLevel ${EXIT_NEEDS_ADMIN}
            Quit
        ${EndIf}
        ExecShellWait "runas" "$EXEPATH" "/ALLUSERS _?=$INSTDIR"
        Quit
    ${EndIf}
    Call un.CheckGameClosed
FunctionEnd

Section "Uninstall"
    Call un.CheckGameClosed
    Delete "$SMPROGRAMS\${APP}.lnk"
    !include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\Uninstall.exe"
    ; Not /r: a folder that still holds something the player put there stays.
    RMDir "$INSTDIR"
    DeleteRegKey SHCTX "${UNINSTALL_KEY}"
SectionEnd
