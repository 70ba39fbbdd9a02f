; The Windows installer of Zonter, built by makensis (NSIS 3) from
; scripts/package-windows. Installs for the current user only, with no
; administrator rights: the program in %LOCALAPPDATA%\Programs\Zonter, a
; Start-menu entry whose working folder is Documents\Zonter (where captures
; land), and an uninstaller listed in Apps & features. The uninstaller never
; touches Documents\Zonter.
;
; makensis -INPUTCHARSET UTF8 -DVERSION=2.0.0 -DVI_VERSION=2.0.0.0
;          -DEXE=zonter.exe -DICON=zonter.ico -DOUTFILE=setup.exe zonter.nsi

!macro Require NAME
  !ifndef ${NAME}
    !error "makensis needs -D${NAME}=..."
  !endif
!macroend
!insertmacro Require VERSION
!insertmacro Require VI_VERSION
!insertmacro Require EXE
!insertmacro Require ICON
!insertmacro Require OUTFILE

; A 64-bit installer for a 64-bit program: it runs wherever zonter.exe
; does, and under a Wine that has no 32-bit side.
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel user

!define PRODUCT "Zonter"
!define PUBLISHER "Zonter"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\Zonter"
!define CAPTURES "$DOCUMENTS\Zonter"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$LOCALAPPDATA\Programs\Zonter"
InstallDirRegKey HKCU "${UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

!include "MUI2.nsh"
!include "FileFunc.nsh"

!define MUI_ICON "${ICON}"
!define MUI_UNICON "${ICON}"
!define MUI_ABORTWARNING

!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_FUNCTION StartZonter
!insertmacro MUI_PAGE_FINISH

!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES

; The first language is the one used where Windows speaks neither.
!insertmacro MUI_LANGUAGE "Russian"
!insertmacro MUI_LANGUAGE "English"

LangString ShortcutText ${LANG_RUSSIAN} "Сервис контроллеров электросамокатов"
LangString ShortcutText ${LANG_ENGLISH} "Scooter controller service tool"

; The installer's own version information.
VIProductVersion "${VI_VERSION}"
VIFileVersion "${VI_VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileDescription" "Установка ${PRODUCT} ${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_RUSSIAN} "LegalCopyright" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileDescription" "${PRODUCT} ${VERSION} Setup"
VIAddVersionKey /LANG=${LANG_ENGLISH} "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=${LANG_ENGLISH} "LegalCopyright" "${PUBLISHER}"

Function .onInit
  SetShellVarContext current
FunctionEnd

Function un.onInit
  SetShellVarContext current
FunctionEnd

Section "Zonter"
  SetOutPath "$INSTDIR"
  File "/oname=zonter.exe" "${EXE}"
  WriteUninstaller "$INSTDIR\uninstall.exe"

  ; The shortcut's working folder is the output path when it is made, and
  ; the program writes its captures into its working folder.
  CreateDirectory "${CAPTURES}"
  SetOutPath "${CAPTURES}"
  CreateShortCut "$SMPROGRAMS\Zonter.lnk" "$INSTDIR\zonter.exe" "" "$INSTDIR\zonter.exe" 0 \
                 SW_SHOWNORMAL "" "$(ShortcutText)"

  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\zonter.exe,0"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKCU "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKCU "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $0 $1 $2
  WriteRegDWORD HKCU "${UNINSTALL_KEY}" "EstimatedSize" $0
SectionEnd

; From the finish page: started in the captures folder, as from the menu.
Function StartZonter
  SetOutPath "${CAPTURES}"
  Exec '"$INSTDIR\zonter.exe"'
FunctionEnd

; The program and its menu entry go; the captures in Documents\Zonter stay.
Section "Uninstall"
  Delete "$SMPROGRAMS\Zonter.lnk"
  Delete "$INSTDIR\zonter.exe"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKCU "${UNINSTALL_KEY}"
SectionEnd
