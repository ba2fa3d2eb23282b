; What Tallimer's installer and its uninstaller share.
!if "${ARCH}" == "x86_64"
    ; A 64-bit installer for the 64-bit program: it needs no 32-bit code, and 32-bit Windows
    ; refuses it before it starts, as it refuses the program.
    Target amd64-unicode
!else
    Unicode true
!endif
ManifestDPIAware true
RequestExecutionLevel user
SetCompressor /SOLID lzma

!include FileFunc.nsh
!include LogicLib.nsh
!include WinMessages.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallimer"
; Held by the uninstaller's copy that removes uninstall.exe and the folder once the uninstaller
; has ended; an install waits for it to let go.
!define CLEANUP_MUTEX "Local\Tallimer.UninstallCleanup"

Name "Tallimer"
BrandingText "Tallimer ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tallimer"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "CompanyName" "The Tallimer developers"
VIAddVersionKey "LegalCopyright" "The Tallimer developers"
!define MUI_ICON "${ICON}"

; Each running Tallimer whose program is $INSTDIR\tallimer.exe holds that file: it is asked to
; close, which saves its options, and given five seconds to go. A copy that runs from another
; folder goes on running. Names are compared in full, so a start by a short (8.3) name counts.
!macro CloseTallimer
    StrCpy $R4 "$INSTDIR\tallimer.exe"
    System::Call 'kernel32::GetLongPathNameW(w R4, w .R3, i ${NSIS_MAX_STRLEN}) i .R2'
    ${IfThen} $R2 > 0 ${|} StrCpy $R4 $R3 ${|}
    StrCpy $R8 0 ; the window after which to look on
    ${Do}
        FindWindow $R9 "TallimerWindow" "" 0 $R8
        ${IfThen} $R9 = 0 ${|} ${ExitDo} ${|}
        StrCpy $R8 $R9
        System::Call 'user32::GetWindowThreadProcessId(p R9, *i 0 R7)'
        System::Call 'kernel32::OpenProcess(i 0x1000, i 0, i R7) p .R6' ; QUERY_LIMITED_INFORMATION
        StrCpy $R5 ""
        ${If} $R6 != 0
            System::Call 'kernel32::QueryFullProcessImageNameW(p R6, i 0, w .R5, *i ${NSIS_MAX_STRLEN}) i .R2'
            System::Call 'kernel32::CloseHandle(p R6)'
            ${IfThen} $R2 = 0 ${|} StrCpy $R5 "" ${|}
            System::Call 'kernel32::GetLongPathNameW(w R5, w .R3, i ${NSIS_MAX_STRLEN}) i .R2'
            ${IfThen} $R2 > 0 ${|} StrCpy $R5 $R3 ${|}
        ${EndIf}
        ${If} $R5 == $R4 ; as Windows compares names: ignoring case
            SendMessage $R9 ${WM_CLOSE} 0 0 /TIMEOUT=5000
            ${For} $R7 1 50
                IsWindow $R9 0 +2
                ${ExitFor}
                Sleep 100
            ${Next}
            ; Gone: the search starts again from the top, as the window it went on from is no more.
            IsWindow $R9 +2 0
            StrCpy $R8 0
        ${EndIf}
    ${Loop}
!macroend
