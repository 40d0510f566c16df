; The Windows setup program: installs Tunewright for the current user, without administrator
; rights, and registers it where Explorer offers it: the Start menu, "Apri con" for MP3 files,
; a "Converti con Tunewright" entry on folders and "Invia a". Everything it makes, its
; uninstaller removes again; nothing else.
;
; makensis /DVERSION=1.3.0 /DBUNDLE=<unpacked zip folder> /DFILES=<files.nsh>
;          /DUNFILES=<unfiles.nsh> /DICON=<tunewright.ico> /DPICTURE=<164x314 BMP>
;          /DOUTFILE=<setup.exe> setup.nsi

Unicode true
Target amd64-unicode
RequestExecutionLevel user
SetCompressor /SOLID lzma
ManifestDPIAware true

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tunewright"
!define PROGRAM "$INSTDIR\tunewright.exe"

Name "Tunewright"
OutFile "${OUTFILE}"
; No version in the folder or the key: a newer setup replaces the older installation.
InstallDir "$LOCALAPPDATA\Programs\Tunewright"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Tunewright ${VERSION}"

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1040 "ProductName" "Tunewright"
VIAddVersionKey /LANG=1040 "FileDescription" "Installazione di Tunewright"
VIAddVersionKey /LANG=1040 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1040 "LegalCopyright" "Copyright (C) 2026 Tunewright developers"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_WELCOMEFINISHPAGE_BITMAP "${PICTURE}"
!define MUI_UNWELCOMEFINISHPAGE_BITMAP "${PICTURE}"
!define MUI_ABORTWARNING
!define MUI_FINISHPAGE_RUN "${PROGRAM}"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "Italian"

Section "Tunewright" SectionProgram
    SectionIn RO
    !include "${FILES}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    CreateShortcut "$SMPROGRAMS\Tunewright.lnk" "${PROGRAM}" "" "${PROGRAM}" 0
    CreateShortcut "$SENDTO\Tunewright.lnk" "${PROGRAM}" "" "${PROGRAM}" 0

    ; "Apri con" for MP3 files, through the application's own entry and a ProgID of its own;
    ; the default program for .mp3 stays the user's choice.
    WriteRegStr HKCU "Software\Classes\Applications\tunewright.exe\shell\open\command" "" \
        '"${PROGRAM}" "%1"'
    WriteRegStr HKCU "Software\Classes\Applications\tunewright.exe\SupportedTypes" ".mp3" ""
    WriteRegStr HKCU "Software\Classes\Tunewright.mp3" "" "File MP3 (Tunewright)"
    WriteRegStr HKCU "Software\Classes\Tunewright.mp3\DefaultIcon" "" '"${PROGRAM}",0'
    WriteRegStr HKCU "Software\Classes\Tunewright.mp3\shell\open\command" "" '"${PROGRAM}" "%1"'
    WriteRegStr HKCU "Software\Classes\.mp3\OpenWithProgids" "Tunewright.mp3" ""

    ; The entry on folders.
    WriteRegStr HKCU "Software\Classes\Directory\shell\Tunewright" "" "Converti con Tunewright"
    WriteRegStr HKCU "Software\Classes\Directory\shell\Tunewright" "Icon" '"${PROGRAM}",0'
    WriteRegStr HKCU "Software\Classes\Directory\shell\Tunewright\command" "" \
        '"${PROGRAM}" "%1"'

    ; Settings > App, and Programs and Features.
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "Tunewright"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "Tunewright developers"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "${PROGRAM},0"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
    ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
    WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

Section /o "Collegamento sul desktop" SectionDesktop
    CreateShortcut "$DESKTOP\Tunewright.lnk" "${PROGRAM}" "" "${PROGRAM}" 0
SectionEnd

Section "Uninstall"
    ; File by file, so what the user put in the folder stays.
    !include "${UNFILES}"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR"

    Delete "$SMPROGRAMS\Tunewright.lnk"
    Delete "$SENDTO\Tunewright.lnk"
    Delete "$DESKTOP\Tunewright.lnk"

    DeleteRegKey HKCU "Software\Classes\Applications\tunewright.exe"
    DeleteRegKey HKCU "Software\Classes\Tunewright.mp3"
    DeleteRegValue HKCU "Software\Classes\.mp3\OpenWithProgids" "Tunewright.mp3"
    DeleteRegKey /ifempty HKCU "Software\Classes\.mp3\OpenWithProgids"
    DeleteRegKey /ifempty HKCU "Software\Classes\.mp3"
    DeleteRegKey HKCU "Software\Classes\Directory\shell\Tunewright"
    DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
