; The Lunaris installer. scripts/windows-package passes VERSION, SOURCE (the program folder), DEMO (the demo
; practice's database), ICON, UNINSTALL_FILES and OUTFILE.
; A 64-bit installer for the 64-bit program (and for Wine without its 32-bit part).
Target amd64-unicode
!include "MUI2.nsh"

Name "Lunaris"
OutFile "${OUTFILE}"
; The practice database lives in the program folder and must be writable by the practice's users, which
; "C:\Program Files" is not: a folder of its own at the drive's top is proposed instead.
InstallDir "C:\Lunaris"
InstallDirRegKey HKCU "Software\Kavemo\Lunaris\Installation" "Ordner"
RequestExecutionLevel user
SetCompressor /SOLID lzma
BrandingText "Lunaris ${VERSION}"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "$INSTDIR\lunaris.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Lunaris starten"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Lunaris"

!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "German"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductName" "Lunaris"
VIAddVersionKey /LANG=${LANG_GERMAN} "CompanyName" "Kavemo"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileDescription" "Lunaris Setup"
VIAddVersionKey /LANG=${LANG_GERMAN} "LegalCopyright" "Kavemo"
VIAddVersionKey /LANG=${LANG_GERMAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_GERMAN} "ProductVersion" "${VERSION}"

Section "Lunaris" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    File /r "${SOURCE}\*.*"
    WriteUninstaller "$INSTDIR\Deinstallieren.exe"
    SetShellVarContext current
    CreateDirectory "$SMPROGRAMS\Lunaris"
    CreateShortcut "$SMPROGRAMS\Lunaris\Lunaris.lnk" "$INSTDIR\lunaris.exe"
    CreateShortcut "$SMPROGRAMS\Lunaris\Lunaris deinstallieren.lnk" "$INSTDIR\Deinstallieren.exe"
    WriteRegStr HKCU "Software\Kavemo\Lunaris\Installation" "Ordner" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Lunaris"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Kavemo"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\lunaris.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Deinstallieren.exe"'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Off by default: a practice's own database is never replaced by the demo.
Section /o "Demo-Praxis" SecDemo
    SetOutPath "$INSTDIR"
    IfFileExists "$INSTDIR\Kavemo.mdb" demo_done
    File "/oname=Kavemo.mdb" "${DEMO}"
    demo_done:
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
    !insertmacro MUI_DESCRIPTION_TEXT ${SecProgram} "Das Programm, seine Hilfe und was es unter Windows braucht."
    !insertmacro MUI_DESCRIPTION_TEXT ${SecDemo} "Eine kleine Beispielpraxis (vier Stühle, zwei Idealtage), nur wenn noch keine Datenbank Kavemo.mdb im Ordner liegt."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Removes what was installed; the practice database (Kavemo.mdb, with its backups) is the practice's data and stays.
Section "Uninstall"
!include "${UNINSTALL_FILES}"
    Delete "$INSTDIR\Deinstallieren.exe"
    RMDir "$INSTDIR"
    SetShellVarContext current
    Delete "$SMPROGRAMS\Lunaris\Lunaris.lnk"
    Delete "$SMPROGRAMS\Lunaris\Lunaris deinstallieren.lnk"
    RMDir "$SMPROGRAMS\Lunaris"
    DeleteRegKey HKCU "Software\Kavemo\Lunaris\Installation"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
