; Installs an application laid out as bin\, lib\ and data\ and starts it
; from a Start-menu shortcut through MyApp.exe, shimw.exe under the
; application's name, which reads MyApp.shim beside it.  The files and the
; version come from the command line, so the same script packs a build tree
; or a packager's own tree.  Relative paths are taken from this script's
; folder, or from the current one with -NOCD:
;
;   makensis -NOCD -DVERSION=1.2.0 -DSHIMW_EXE=bin/shimw.exe
;            -DSHIM_FILE=MyApp.shim -DAPP_EXE=bin/app.exe
;            -DAPP_DLL=lib/greeting.dll
;            -DOUTFILE=launcher-demo-setup.exe launcher-demo.nsi
;
; Silent install: launcher-demo-setup.exe /S
; Silent removal: "<install folder>\uninstall.exe" /S

!ifndef VERSION | SHIMW_EXE | SHIM_FILE | APP_EXE | APP_DLL | OUTFILE
    !error "define VERSION, SHIMW_EXE, SHIM_FILE, APP_EXE, APP_DLL and OUTFILE"
!endif

!define PRODUCT "Launcher Demo"
; The key name is ours to choose; Windows lists the program under it.
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\LauncherDemo"

Unicode true
Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES\${PRODUCT}"
; Program Files, the all-users Start menu and HKLM need an administrator.
RequestExecutionLevel admin

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Section
    SetShellVarContext all

    SetOutPath "$INSTDIR\bin"
    File "/oname=app.exe" "${APP_EXE}"
    SetOutPath "$INSTDIR\lib"
    File "/oname=greeting.dll" "${APP_DLL}"
    CreateDirectory "$INSTDIR\data"
    SetOutPath "$INSTDIR"
    File "/oname=MyApp.exe" "${SHIMW_EXE}"
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
