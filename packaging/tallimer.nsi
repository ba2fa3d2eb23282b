; Tallimer's Windows installer: for the signed-in user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tallimer. The build defines VERSION, ARCH (i686 or x86_64), PROGRAM
; (tallimer.exe), README, ICON and OUTFILE. Silent: /S; /AUTOSTART=1 or =0 sets the start at
; sign-in, which otherwise stays as an earlier install left it, off at first.
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
!include MUI2.nsh
!include Sections.nsh
!include WinMessages.nsh
!include WordFunc.nsh

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tallimer"

Name "Tallimer"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tallimer"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tallimer ${VERSION}"
VIProductVersion "${VERSION}.0"
VIAddVersionKey "ProductName" "Tallimer"
VIAddVersionKey "ProductVersion" "${VERSION}"
VIAddVersionKey "FileVersion" "${VERSION}"
VIAddVersionKey "FileDescription" "Tallimer ${VERSION} Setup"
VIAddVersionKey "CompanyName" "The Tallimer developers"
VIAddVersionKey "LegalCopyright" "The Tallimer developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\tallimer.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tallimer now"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; A running Tallimer holds its program file: it is asked to close, which saves its options, and
; given five seconds to go.
!macro CloseTallimer
    FindWindow $0 "TallimerWindow"
    ${If} $0 <> 0
        SendMessage $0 ${WM_CLOSE} 0 0 /TIMEOUT=5000
        ${For} $1 1 50
            Sleep 100
            FindWindow $0 "TallimerWindow"
            ${IfThen} $0 = 0 ${|} ${ExitFor} ${|}
        ${Next}
    ${EndIf}
!macroend

Section "Tallimer" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    !insertmacro CloseTallimer
    File "/oname=tallimer.exe" "${PROGRAM}"
    File "/oname=README.txt" "${README}"
    WriteUninstaller "$INSTDIR\uninstall.exe"
    CreateShortcut "$SMPROGRAMS\Tallimer.lnk" "$INSTDIR\tallimer.exe"
    ; Apps & features, and Programs and Features before it.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tallimer"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tallimer developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tallimer.exe"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Start Tallimer when I sign in" SecSignIn
    CreateShortcut "$SMSTARTUP\Tallimer.lnk" "$INSTDIR\tallimer.exe"
SectionEnd

Section "-"
    ${IfNot} ${SectionIsSelected} ${SecSignIn}
        Delete "$SMSTARTUP\Tallimer.lnk"
    ${EndIf}
SectionEnd

Function .onInit
    ; An older version over a newer one: asked, and refused where no one can be asked, with
    ; status 2 and nothing changed.
    ReadRegStr $R2 HKCU "${UNINSTALL_KEY}" "DisplayVersion"
    ${If} $R2 != ""
        ${VersionCompare} "${VERSION}" $R2 $R3
        ${If} $R3 == 2
            ${If} ${Silent}
                SetErrorLevel 2
                Quit
            ${EndIf}
            MessageBox MB_YESNO|MB_ICONQUESTION "Tallimer $R2 is installed, which is newer than \
                this version, ${VERSION}. Install ${VERSION} over it?" /SD IDNO IDYES older
            Quit
            older:
        ${EndIf}
    ${EndIf}
    ; An upgrade keeps the start at sign-in as it was, unless told otherwise.
    ${If} ${FileExists} "$SMSTARTUP\Tallimer.lnk"
        !insertmacro SelectSection ${SecSignIn}
    ${EndIf}
    ${GetParameters} $R0
    ClearErrors
    ${GetOptions} $R0 "/AUTOSTART=" $R1
    ${IfNot} ${Errors}
        ${If} $R1 == "1"
            !insertmacro SelectSection ${SecSignIn}
        ${Else}
            !insertmacro UnselectSection ${SecSignIn}
        ${EndIf}
    ${EndIf}
FunctionEnd

; The user's Settings.ini and uptime.txt, in %LOCALAPPDATA%\Tallimer, stay.
Section "Uninstall"
    !insertmacro CloseTallimer
    Delete "$INSTDIR\tallimer.exe"
    Delete "$INSTDIR\README.txt"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"
    Delete "$SMPROGRAMS\Tallimer.lnk"
    Delete "$SMSTARTUP\Tallimer.lnk"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
