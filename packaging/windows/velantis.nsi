; SPDX-License-Identifier: GPL-3.0-or-later
; The Windows setup program, built by scripts/build-windows.sh with makensis on Linux:
;   makensis -INPUTCHARSET UTF8 -DVERSION=1.0.0 -DDIST=folder -DFILES=files.nsh
;            -DUNFILES=unfiles.nsh -DICON=velantis.ico -DLICENSE=LICENSE -DOUTFILE=setup.exe
;            [-DSIGN=command] packaging/windows/velantis.nsi
; FILES installs the programs' folder file by file, UNFILES deletes exactly those files again.
; Per user, without administrator rights, into %LOCALAPPDATA%\Programs\Velantis; /S installs
; silently, /D=folder elsewhere. The settings (HKCU\Software\velantis) and the test records
; (%LOCALAPPDATA%\velantis) live outside the program folder and stay through an update and an
; uninstall, unless the user ticks their removal in the uninstaller.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel user
ManifestDPIAware true

!include MUI2.nsh
!include FileFunc.nsh
!include LogicLib.nsh

!define PRODUCT "Velantis"
!define PUBLISHER "Velantis developers"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Velantis"
!define DATA_FOLDER "$LOCALAPPDATA\velantis"
!define SETTINGS_KEY "Software\velantis"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Velantis"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "${PRODUCT} ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=0 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=0 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=0 "FileDescription" "${PRODUCT} ${VERSION} setup"
VIAddVersionKey /LANG=0 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=0 "LegalCopyright" "Copyright 2026 ${PUBLISHER}. GPL-3.0-or-later."

!ifdef SIGN
; The uninstaller is written into the setup program signed.
!uninstfinalize '${SIGN} "%1"' = 0
!endif

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_COMPONENTSPAGE_NODESC

!insertmacro MUI_PAGE_LICENSE "${LICENSE}"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN "$INSTDIR\velantis.exe"
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

; The system's language chooses: Chinese on a Chinese Windows, English (the first) elsewhere.
!insertmacro MUI_LANGUAGE "English"
!insertmacro MUI_LANGUAGE "SimpChinese"

LangString SectionProgram ${LANG_ENGLISH} "Velantis (programs, Start menu)"
LangString SectionProgram ${LANG_SIMPCHINESE} "Velantis (程序, 开始菜单)"
LangString SectionDesktop ${LANG_ENGLISH} "Desktop shortcut"
LangString SectionDesktop ${LANG_SIMPCHINESE} "桌面快捷方式"
LangString UninstallShortcut ${LANG_ENGLISH} "Uninstall Velantis"
LangString UninstallShortcut ${LANG_SIMPCHINESE} "卸载 Velantis"
LangString SectionUnProgram ${LANG_ENGLISH} "Velantis (programs, shortcuts)"
LangString SectionUnProgram ${LANG_SIMPCHINESE} "Velantis (程序, 快捷方式)"
LangString SectionUnRecords ${LANG_ENGLISH} "Also remove my test records and settings"
LangString SectionUnRecords ${LANG_SIMPCHINESE} "同时删除我的测试记录和设置"

Section "!$(SectionProgram)" SecProgram
    SectionIn RO
    ; An earlier version goes first, by its own list of files (silently, so its data stays).
    ${If} ${FileExists} "$INSTDIR\uninstall.exe"
        ExecWait '"$INSTDIR\uninstall.exe" /S _?=$INSTDIR'
        Delete "$INSTDIR\uninstall.exe"
    ${EndIf}
    !include "${FILES}"
    SetOutPath "$INSTDIR"
    ; Tells the program it was installed: it then keeps its data in the user's folders.
    FileOpen $0 "$INSTDIR\velantis.installed" w
    FileWrite $0 "Installed by the Velantis ${VERSION} setup program.$\r$\n"
    FileClose $0
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateDirectory "$SMPROGRAMS\Velantis"
    CreateShortcut "$SMPROGRAMS\Velantis\Velantis.lnk" "$INSTDIR\velantis.exe"
    CreateShortcut "$SMPROGRAMS\Velantis\$(UninstallShortcut).lnk" "$INSTDIR\uninstall.exe"

    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\velantis.exe,0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "URLInfoAbout" "http://www.qintarnorvak.com"
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" "$0"
SectionEnd

Section "$(SectionDesktop)" SecDesktop
    CreateShortcut "$DESKTOP\Velantis.lnk" "$INSTDIR\velantis.exe"
SectionEnd

Section "!un.$(SectionUnProgram)" SecUnProgram
    SectionIn RO
    !include "${UNFILES}"
    Delete "$INSTDIR\velantis.installed"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    ; Both languages' names: the setup program may have run in the other one.
    Delete "$SMPROGRAMS\Velantis\Velantis.lnk"
    Delete "$SMPROGRAMS\Velantis\Uninstall Velantis.lnk"
    Delete "$SMPROGRAMS\Velantis\卸载 Velantis.lnk"
    RMDir "$SMPROGRAMS\Velantis"
    Delete "$DESKTOP\Velantis.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd

; Off unless ticked, and never in a silent uninstall.
Section /o "un.$(SectionUnRecords)" SecUnRecords
    Delete "${DATA_FOLDER}\records.sqlite"
    Delete "${DATA_FOLDER}\records.sqlite-wal"
    Delete "${DATA_FOLDER}\records.sqlite-shm"
    Delete "${DATA_FOLDER}\records.damaged-*.sqlite"
    Delete "${DATA_FOLDER}\lishi.txt"
    RMDir "${DATA_FOLDER}"
    DeleteRegKey HKCU "${SETTINGS_KEY}"
SectionEnd

Function un.onInit
    ${If} ${Silent}
        !insertmacro UnselectSection ${SecUnRecords}
    ${EndIf}
FunctionEnd
