; The Windows installer of Знатокар, built by tools/build-windows.sh:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0 -DSTAGE=dist/znatokar-1.0-windows-x64
;            -DOUTFILE=dist/znatokar-1.0-windows-x64-setup.exe
;            -DUNINSTALL_LIST=build-windows/uninstall.nsh tools/windows/znatokar.nsi
; UNINSTALL_LIST holds the uninstaller's Delete and RMDir lines for exactly the staged files.
; It installs the packed folder (STAGE) for all users, adds a Start-menu entry that starts the
; editor in its own folder (where data\ holds the preview's backgrounds), registers the editor
; as a program that opens .mdb files without taking the default over from another one, and
; leaves an uninstaller in "Programs and Features".
Unicode true
; A 64-bit installer for a 64-bit program: it also runs where only 64-bit Windows programs run
; (Wine without its 32-bit part).
Target amd64-unicode
!include "MUI2.nsh"
!include "x64.nsh"

!ifndef VERSION | STAGE | OUTFILE | UNINSTALL_LIST
    !error "VERSION, STAGE, OUTFILE and UNINSTALL_LIST must be given with -D"
!endif

!define NAME "Знатокар"
!define EXE "znatokar.exe"
!define PROGID "Znatokar.Bank"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Znatokar"

Name "${NAME} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Znatokar"
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
RequestExecutionLevel admin
SetCompressor /SOLID lzma

!define MUI_ABORTWARNING
; ICON: the program's icon for the installer too (optional).
!ifdef ICON
    !define MUI_ICON "${ICON}"
    !define MUI_UNICON "${ICON}"
!endif
!define MUI_FINISHPAGE_RUN "$INSTDIR\${EXE}"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Russian"

Function .onInit
    ${IfNot} ${RunningX64}
        MessageBox MB_ICONSTOP "Знатокар работает только в 64-битной Windows."
        Abort
    ${EndIf}
    SetRegView 64
FunctionEnd

Function un.onInit
    SetRegView 64
FunctionEnd

Section "Знатокар"
    SetShellVarContext all
    SetOutPath "$INSTDIR"
    File /r "${STAGE}\*.*"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; Started from the menu, the editor works in its own folder.
    SetOutPath "$INSTDIR"
    CreateShortcut "$SMPROGRAMS\${NAME}.lnk" "$INSTDIR\${EXE}" "" "$INSTDIR\${EXE}" 0

    ; "Open with" for .mdb files: a program class of our own, listed for the extension, so that
    ; the program that already opens .mdb files keeps doing so unless the user chooses us.
    WriteRegStr HKLM "Software\Classes\${PROGID}" "" "База теста (Знатокар)"
    WriteRegStr HKLM "Software\Classes\${PROGID}\DefaultIcon" "" "$INSTDIR\${EXE},0"
    WriteRegStr HKLM "Software\Classes\${PROGID}\shell\open\command" "" '"$INSTDIR\${EXE}" "%1"'
    WriteRegStr HKLM "Software\Classes\.mdb\OpenWithProgids" "${PROGID}" ""
    WriteRegStr HKLM "Software\Classes\Applications\${EXE}\shell\open\command" "" \
        '"$INSTDIR\${EXE}" "%1"'
    WriteRegStr HKLM "Software\Classes\Applications\${EXE}\SupportedTypes" ".mdb" ""
    WriteRegStr HKLM "Software\Classes\Applications\${EXE}" "FriendlyAppName" "${NAME}"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${NAME}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\${EXE}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    Delete "$SMPROGRAMS\${NAME}.lnk"
    DeleteRegValue HKLM "Software\Classes\.mdb\OpenWithProgids" "${PROGID}"
    DeleteRegKey HKLM "Software\Classes\${PROGID}"
    DeleteRegKey HKLM "Software\Classes\Applications\${EXE}"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
    ; Only the installed files: a bank the user kept in this folder stays.
    !include "${UNINSTALL_LIST}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
SectionEnd
