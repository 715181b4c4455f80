; Installs an application laid out as bin\, lib\ and data\ and starts it
; from a Start-menu shortcut through MyApp.exe, shimw.exe under the
; application's name, which reads MyApp.shim beside it.  One installer for
; 32-bit and 64-bit Windows: it carries the x86 and the x64 files and
; installs those of the system's width.  The files and the version come from
; the command line, so the same script packs a build tree or a packager's own
; tree.  Relative paths are taken from this script's folder, or from the
; current one with -NOCD:
;
;   makensis -NOCD -DVERSION=1.5.0 -DSHIM_FILE=MyApp.shim
;            -DSHIMW_EXE_X86=x86/shimw.exe -DAPP_EXE_X86=x86/app.exe
;            -DAPP_DLL_X86=x86/greeting.dll
;            -DSHIMW_EXE_X64=x64/shimw.exe -DAPP_EXE_X64=x64/app.exe
;            -DAPP_DLL_X64=x64/greeting.dll
;            -DOUTFILE=launcher-demo-setup.exe launcher-demo.nsi
;
; Silent install: launcher-demo-setup.exe /S
; Silent removal: "<install folder>\uninstall.exe" /S

!ifndef VERSION | SHIM_FILE | OUTFILE
    !error "define VERSION, SHIM_FILE, OUTFILE and the files of each architecture"
!endif
!ifndef SHIMW_EXE_X86 | APP_EXE_X86 | APP_DLL_X86 | SHIMW_EXE_X64 | APP_EXE_X64 | APP_DLL_X64
    !error "define SHIMW_EXE, APP_EXE and APP_DLL for each architecture, with the suffix _X86 or _X64"
!endif

!include LogicLib.nsh
!include x64.nsh

!define PRODUCT "Launcher Demo"
; The key name is ours to choose; Windows lists the program under it.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LauncherDemo"

Unicode true
Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
; No InstallDir: .onInit picks the Program Files of the system's width,
; unless the user gave a folder with /D=.
; Program Files, the all-users Start menu and HKLM need an administrator.
RequestExecutionLevel admin

; The installer itself is a 32-bit program, so it runs on both.  On 64-bit
; Windows it writes the 64-bit view of the registry and the 64-bit Program
; Files, where the x64 files belong, not WoW64's views of them.  ARM64
; Windows counts as 64-bit here too: it runs the x64 files emulated
; (Windows 11).  A package with ARM64 builds of its own program would test
; ${IsNativeARM64} first and install the launcher's arm64 files there.
Function .onInit
    ${If} ${RunningX64}
        SetRegView 64
        ${If} $INSTDIR == ""
            StrCpy $INSTDIR "$PROGRAMFILES64\${PRODUCT}"
        ${EndIf}
    ${ElseIf} $INSTDIR == ""
        StrCpy $INSTDIR "$PROGRAMFILES\${PRODUCT}"
    ${EndIf}
FunctionEnd

; The uninstaller removes the entry from the view the installer wrote.
Function un.onInit
    ${If} ${RunningX64}
        SetRegView 64
    ${EndIf}
FunctionEnd

; The three files of the application, of one architecture.
!macro install_application SHIMW_EXE APP_EXE APP_DLL
    SetOutPath "$INSTDIR\bin"
    File "/oname=app.exe" "${APP_EXE}"
    SetOutPath "$INSTDIR\lib"
    File "/oname=greeting.dll" "${APP_DLL}"
    SetOutPath "$INSTDIR"
    File "/oname=MyApp.exe" "${SHIMW_EXE}"
!macroend

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
    SetShellVarContext all

    ${If} ${RunningX64}
        !insertmacro install_application "${SHIMW_EXE_X64}" "${APP_EXE_X64}" "${APP_DLL_X64}"
    ${Else}
        !insertmacro install_application "${SHIMW_EXE_X86}" "${APP_EXE_X86}" "${APP_DLL_X86}"
    ${EndIf}
    CreateDirectory "$INSTDIR\data"
    File "/oname=MyApp.shim" "${SHIM_FILE}"
    WriteUninstaller "$INSTDIR\uninstall.exe"

    ; MyApp.exe takes bin\, lib\ and data\ from its own folder, so the
    ; shortcut needs no arguments; the "Start in" that CreateShortcut takes
    ; from the output path changes nothing, as MyApp.shim names the
    ; working directory.
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\MyApp.exe" "" "$INSTDIR\bin\app.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

; Removes exactly what the section above installed, so that files a user
; put into the folders are kept and keep their folders too.
Section "Uninstall"
    SetShellVarContext all

    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$INSTDIR\MyApp.exe"
    Delete "$INSTDIR\MyApp.shim"
    Delete "$INSTDIR\bin\app.exe"
    Delete "$INSTDIR\lib\greeting.dll"
    Delete "$INSTDIR\uninstall.exe"
    RMDir "$INSTDIR\bin"
    RMDir "$INSTDIR\lib"
    RMDir "$INSTDIR\data"
    RMDir "$INSTDIR"

    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
