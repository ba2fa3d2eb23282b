; Tallimer's uninstaller, uninstall.exe, built by the installer's script into the installer. It
; is a program of its own rather than NSIS's uninstaller, which hands its work to a copy of
; itself and returns at once: this one returns when Tallimer is gone, with a status that says
; whether it went. Only uninstall.exe itself and the emptied folder are left to a copy in the
; temporary folder, which removes them once this program has ended (a running program's file
; cannot be deleted). /S uninstalls silently.
!include common.nsh
!include MUI2.nsh

OutFile "${OUTFILE}"
Caption "Tallimer ${VERSION} Uninstall"
VIAddVersionKey "FileDescription" "Tallimer ${VERSION} Uninstall"
ShowInstDetails nevershow
; It ends when it has done its work, so that its copy can then take away its file and folder.
AutoCloseWindow true

!define MUI_PAGE_HEADER_TEXT "Uninstalling Tallimer"
!define MUI_PAGE_HEADER_SUBTEXT "Your Settings.ini and uptime.txt stay."
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

Function .onInit
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AFTER=" $R1
    ${IfNot} ${Errors}
        Call RemoveTheRest
        Quit
    ${EndIf}
    StrCpy $INSTDIR $EXEDIR
    MessageBox MB_YESNO|MB_ICONQUESTION "Remove Tallimer from $INSTDIR? Your Settings.ini and \
        uptime.txt stay." /SD IDYES IDYES go
    SetErrorLevel 1
    Quit
    go:
FunctionEnd

Section
    !insertmacro CloseTallimer
    Delete "$INSTDIR\tallimer.exe"
    ${If} ${FileExists} "$INSTDIR\tallimer.exe"
        ; It still runs: nothing more is taken away, so that uninstalling again can finish.
        MessageBox MB_ICONSTOP "Tallimer is still running from $INSTDIR and could not be \
            removed. Close it and uninstall again." /SD IDOK
        SetErrorLevel 2
        Quit
    ${EndIf}
    Delete "$INSTDIR\README.txt"
    Delete "$SMPROGRAMS\Tallimer.lnk"
    Delete "$SMSTARTUP\Tallimer.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"

    System::Call 'kernel32::GetCurrentProcessId() i .r0'
    StrCpy $1 "$TEMP\tallimer-uninstall-$0.exe"
    CopyFiles /SILENT "$EXEPATH" $1
    Exec '"$1" /AFTER=$0 /FOLDER=$INSTDIR'
    ; Once that copy holds the mutex, an install that starts after this program waits for it.
    ${For} $2 1 50
        System::Call 'kernel32::OpenMutexW(i 0x100000, i 0, w "${CLEANUP_MUTEX}") p .r3'
        ${If} $3 != 0
            System::Call 'kernel32::CloseHandle(p r3)'
            ${ExitFor}
        ${EndIf}
        Sleep 100
    ${Next}
SectionEnd

; The copy in the temporary folder: waits for the uninstaller to end, then removes its file and
; the folder, unless an install has come since.
Function RemoveTheRest
    SetSilent silent
    System::Call 'kernel32::CreateMutexW(p 0, i 1, w "${CLEANUP_MUTEX}") p .r9'
    System::Call 'kernel32::OpenProcess(i 0x100000, i 0, i R1) p .r2' ; SYNCHRONIZE
    ${If} $2 != 0
        System::Call 'kernel32::WaitForSingleObject(p r2, i 60000) i .r3'
        System::Call 'kernel32::CloseHandle(p r2)'
    ${EndIf}
    ${GetOptions} $R0 "/FOLDER=" $R2
    ReadRegStr $R3 HKCU "${UNINSTALL_KEY}" "InstallLocation"
    ${If} $R2 != ""
    ${AndIf} $R3 == ""
        Delete "$R2\uninstall.exe"
        RMDir "$R2"
    ${EndIf}
    Delete /REBOOTOK "$EXEPATH"
FunctionEnd
