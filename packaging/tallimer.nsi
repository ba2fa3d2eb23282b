; Tallimer's Windows installer: for the signed-in user alone, without administrator rights, into
; %LOCALAPPDATA%\Programs\Tallimer. The build defines VERSION, ARCH (i686 or x86_64), PROGRAM
; (tallimer.exe), README, ICON and OUTFILE. Silent: /S; /AUTOSTART=1 or =0 sets the start at
; sign-in, which otherwise stays as an earlier install left it, off at first.
!include common.nsh
!include MUI2.nsh
!include Sections.nsh
!include WordFunc.nsh

!ifndef MAKENSIS
    !define MAKENSIS makensis
!endif
; The uninstaller, a program of its own (see uninstall.nsi), built first and carried inside.
!tempfile UNINSTALLER
!system '"${MAKENSIS}" -V1 -DVERSION=${VERSION} -DARCH=${ARCH} "-DICON=${ICON}" \
    "-DOUTFILE=${UNINSTALLER}" "${__FILEDIR__}/uninstall.nsi"' = 0

OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Tallimer"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
VIAddVersionKey "FileDescription" "Tallimer ${VERSION} Setup"

!define MUI_COMPONENTSPAGE_NODESC
!define MUI_FINISHPAGE_RUN "$INSTDIR\tallimer.exe"
!define MUI_FINISHPAGE_RUN_TEXT "Start Tallimer now"
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_LANGUAGE "English"

Section "Tallimer" SecProgram
    SectionIn RO
    SetOutPath "$INSTDIR"
    !insertmacro CloseTallimer
    File "/oname=tallimer.exe" "${PROGRAM}"
    File "/oname=README.txt" "${README}"
    File "/oname=uninstall.exe" "${UNINSTALLER}"
    !delfile "${UNINSTALLER}"
    CreateShortcut "$SMPROGRAMS\Tallimer.lnk" "$INSTDIR\tallimer.exe"
    ; Apps & features, and Programs and Features before it.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tallimer"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "The Tallimer developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\tallimer.exe"
    ; Also the mark by which the program knows it is installed, in whichever folder.
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
    ; An uninstall that has just ended may still be removing its last file and the folder.
    System::Call 'kernel32::OpenMutexW(i 0x100000, i 0, w "${CLEANUP_MUTEX}") p .r0'
    ${If} $0 != 0
        System::Call 'kernel32::WaitForSingleObject(p r0, i 30000) i .r1'
        System::Call 'kernel32::ReleaseMutex(p r0)'
        System::Call 'kernel32::CloseHandle(p r0)'
    ${EndIf}
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
