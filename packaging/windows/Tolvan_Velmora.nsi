; The 64-bit Windows installer: the VST 2.4 library, the VST 3 bundle, the CLAP plug-in and
; the panel's fonts, each a component, and an uninstaller that takes back exactly what the
; installer added. scripts/package.sh writes velmora-defines.nsh (name, vendor, version, the
; payload's folder and file lists) and runs makensis on this file.
;
; Command line (besides /S):
;   /NOVST2 /NOVST3 /NOCLAP /NOFONTS   leave that component out
;   /VST2DIR=FOLDER                    the VST 2.4 library's folder (quote it if it has spaces)
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
ManifestDPIAware true
RequestExecutionLevel admin

!include "velmora-defines.nsh"
!include "MUI2.nsh"
!include "LogicLib.nsh"
!include "FileFunc.nsh"
!include "Sections.nsh"
!include "WinMessages.nsh"

!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${VELMORA_NAME}"
; What this installation added, for the uninstaller and for installs over it.
!define STATE_KEY "Software\${VELMORA_VENDOR}\${VELMORA_NAME}"
!define FONTS_KEY "Software\Microsoft\Windows NT\CurrentVersion\Fonts"
!define VST3_FOLDER "$COMMONFILES64\VST3"
!define CLAP_FOLDER "$COMMONFILES64\CLAP"

Name "${VELMORA_NAME} ${VELMORA_VERSION}"
OutFile "${VELMORA_OUTFILE}"
InstallDir "$PROGRAMFILES64\${VELMORA_NAME}"
BrandingText "${VELMORA_VENDOR}"
VIProductVersion "${VELMORA_VERSION}.0"
VIAddVersionKey "ProductName" "${VELMORA_NAME}"
VIAddVersionKey "CompanyName" "${VELMORA_VENDOR}"
VIAddVersionKey "FileDescription" "${VELMORA_NAME} ${VELMORA_VERSION} installer"
VIAddVersionKey "FileVersion" "${VELMORA_VERSION}"
VIAddVersionKey "ProductVersion" "${VELMORA_VERSION}"
VIAddVersionKey "LegalCopyright" "${VELMORA_VENDOR}"

Var Vst2Dir

!define MUI_COMPONENTSPAGE_SMALLDESC
!insertmacro MUI_PAGE_COMPONENTS
!define MUI_PAGE_CUSTOMFUNCTION_PRE SkipVst2FolderPage
!define MUI_DIRECTORYPAGE_VARIABLE $Vst2Dir
!define MUI_PAGE_HEADER_TEXT "VST 2.4 Plug-in Folder"
!define MUI_PAGE_HEADER_SUBTEXT "Choose where the VST 2.4 plug-in goes."
!define MUI_DIRECTORYPAGE_TEXT_TOP "Choose the folder your host scans for VST 2.4 plug-ins. Tolvan_Velmora.dll goes there."
!define MUI_DIRECTORYPAGE_TEXT_DESTINATION "VST 2.4 plug-in folder"
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Creates FOLDER and its missing parents; the outermost folder it created is remembered under
; VALUE (unless an earlier installation already did), so that the uninstaller removes the
; folders it made, and no others, once they are empty.
!macro MakeFolder FOLDER VALUE
  Push "${FOLDER}"
  Push "${VALUE}"
  Call MakeFolder
!macroend
Function MakeFolder
  Exch $1  ; value name
  Exch
  Exch $0  ; folder
  Push $2
  Push $3
  ${IfNot} ${FileExists} "$0\*.*"
    StrCpy $2 $0
    ${Do}
      ${GetParent} $2 $3
      ${If} $3 == ""
      ${OrIf} ${FileExists} "$3\*.*"
        ${ExitDo}
      ${EndIf}
      StrCpy $2 $3
    ${Loop}
    CreateDirectory $0
    ReadRegStr $3 HKLM "${STATE_KEY}" $1
    ${If} $3 == ""
      WriteRegStr HKLM "${STATE_KEY}" $1 $2
    ${EndIf}
  ${EndIf}
  Pop $3
  Pop $2
  Pop $0
  Pop $1
FunctionEnd

; Removes FOLDER and its parents up to the outermost one the installer made (remembered under
; VALUE), each only if empty.
!macro RemoveMadeFolders UN FOLDER VALUE
  Push "${FOLDER}"
  Push "${VALUE}"
  Call ${UN}RemoveMadeFolders
!macroend
!macro RemoveMadeFoldersFunction UN
Function ${UN}RemoveMadeFolders
  Exch $1  ; value name
  Exch
  Exch $0  ; folder
  Push $2
  ReadRegStr $2 HKLM "${STATE_KEY}" $1
  ${If} $2 != ""
    ${Do}
      RMDir $0
      ${If} $0 == $2
      ${OrIf} $0 == ""
        ${ExitDo}
      ${EndIf}
      ${GetParent} $0 $0
    ${Loop}
    DeleteRegValue HKLM "${STATE_KEY}" $1
  ${EndIf}
  Pop $2
  Pop $0
  Pop $1
FunctionEnd
!macroend
!insertmacro RemoveMadeFoldersFunction ""
!insertmacro RemoveMadeFoldersFunction "un."

; A face is installed unless one of that name is there already, from somewhere else; a face
; this installer added earlier is replaced.
!macro InstallFont FILE FACE
  ReadRegDWORD $0 HKLM "${STATE_KEY}\Fonts" "${FILE}"
  ReadRegStr $1 HKLM "${FONTS_KEY}" "${FACE} (TrueType)"
  StrCpy $2 0
  ${If} $0 == 1
    StrCpy $2 1
  ${ElseIf} $1 == ""
  ${AndIfNot} ${FileExists} "$FONTS\${FILE}"
    StrCpy $2 1
  ${EndIf}
  ${If} $2 == 1
    SetOutPath "$FONTS"
    ; A face in use cannot be replaced: the one there is the same family.
    SetOverwrite try
    File "${VELMORA_PAYLOAD}\Fonts\${FILE}"
    SetOverwrite on
    WriteRegStr HKLM "${FONTS_KEY}" "${FACE} (TrueType)" "${FILE}"
    System::Call 'gdi32::AddFontResourceW(w "$FONTS\${FILE}") i .r3'
    WriteRegDWORD HKLM "${STATE_KEY}\Fonts" "${FILE}" 1
  ${EndIf}
!macroend

!macro UninstallFont FILE FACE
  ReadRegDWORD $0 HKLM "${STATE_KEY}\Fonts" "${FILE}"
  ${If} $0 == 1
    System::Call 'gdi32::RemoveFontResourceW(w "$FONTS\${FILE}") i .r3'
    DeleteRegValue HKLM "${FONTS_KEY}" "${FACE} (TrueType)"
    Delete /REBOOTOK "$FONTS\${FILE}"
  ${EndIf}
!macroend

Section "VST 2.4 plug-in" SecVst2
  ; Installed before into another folder: that copy goes.
  ReadRegStr $0 HKLM "${STATE_KEY}" "Vst2Folder"
  ${If} $0 != ""
  ${AndIf} $0 != $Vst2Dir
    Delete "$0\Tolvan_Velmora.dll"
    !insertmacro RemoveMadeFolders "" $0 "Vst2FolderMade"
  ${EndIf}
  !insertmacro MakeFolder $Vst2Dir "Vst2FolderMade"
  SetOutPath $Vst2Dir
  File "${VELMORA_PAYLOAD}\VST2\Tolvan_Velmora.dll"
  WriteRegStr HKLM "${STATE_KEY}" "Vst2Folder" $Vst2Dir
SectionEnd

Section "VST 3 plug-in" SecVst3
  ; Older layouts put a single file where the bundle goes.
  ${If} ${FileExists} "${VST3_FOLDER}\Tolvan_Velmora.vst3"
  ${AndIfNot} ${FileExists} "${VST3_FOLDER}\Tolvan_Velmora.vst3\*.*"
    Delete "${VST3_FOLDER}\Tolvan_Velmora.vst3"
  ${EndIf}
  !insertmacro MakeFolder "${VST3_FOLDER}" "Vst3FolderMade"
  SetOutPath "${VST3_FOLDER}"
  File /r "${VELMORA_PAYLOAD}\VST3\Tolvan_Velmora.vst3"
  WriteRegDWORD HKLM "${STATE_KEY}" "Vst3" 1
SectionEnd

Section "CLAP plug-in" SecClap
  !insertmacro MakeFolder "${CLAP_FOLDER}" "ClapFolderMade"
  SetOutPath "${CLAP_FOLDER}"
  File "${VELMORA_PAYLOAD}\CLAP\Tolvan_Velmora.clap"
  WriteRegDWORD HKLM "${STATE_KEY}" "Clap" 1
SectionEnd

Section "Fonts (Cinzel and Inter)" SecFonts
  SetOutPath "$INSTDIR\Fonts"
  File "${VELMORA_PAYLOAD}\Fonts\*-OFL.txt"
  !insertmacro VELMORA_FONTS InstallFont
  SendMessage ${HWND_BROADCAST} ${WM_FONTCHANGE} 0 0 /TIMEOUT=5000
SectionEnd

Section "-Uninstaller"
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  StrCpy $0 0
  ${ForEach} $1 ${SecVst2} ${SecFonts} + 1
    ${If} ${SectionIsSelected} $1
      SectionGetSize $1 $2
      IntOp $0 $0 + $2
    ${EndIf}
  ${Next}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${VELMORA_NAME}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VELMORA_VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${VELMORA_VENDOR}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $0
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst2} "Tolvan_Velmora.dll, into the VST 2.4 folder chosen on the next page."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecVst3} "The Tolvan_Velmora.vst3 bundle, into ${VST3_FOLDER}."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecClap} "Tolvan_Velmora.clap, into ${CLAP_FOLDER}."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecFonts} "The panel's font families, for all users (faces already installed are kept)."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

!macro LeaveOutIfAsked OPTION SECTION
  ClearErrors
  ${GetOptions} $R0 "${OPTION}" $R1
  ${IfNot} ${Errors}
    !insertmacro UnselectSection ${SECTION}
  ${EndIf}
!macroend

Function .onInit
  SetShellVarContext all
  SetRegView 64
  ${GetParameters} $R0
  !insertmacro LeaveOutIfAsked "/NOVST2" ${SecVst2}
  !insertmacro LeaveOutIfAsked "/NOVST3" ${SecVst3}
  !insertmacro LeaveOutIfAsked "/NOCLAP" ${SecClap}
  !insertmacro LeaveOutIfAsked "/NOFONTS" ${SecFonts}
  ; The VST 2.4 folder: the one given, else the one of an earlier installation, else the
  ; one a host set, else the common default.
  ClearErrors
  ${GetOptions} $R0 "/VST2DIR=" $Vst2Dir
  ${If} ${Errors}
  ${OrIf} $Vst2Dir == ""
    ReadRegStr $Vst2Dir HKLM "${STATE_KEY}" "Vst2Folder"
  ${EndIf}
  ${If} $Vst2Dir == ""
    ReadRegStr $Vst2Dir HKLM "Software\VST" "VSTPluginsPath"
  ${EndIf}
  ${If} $Vst2Dir == ""
    StrCpy $Vst2Dir "$COMMONFILES64\VST2"
  ${EndIf}
FunctionEnd

Function SkipVst2FolderPage
  ${IfNot} ${SectionIsSelected} ${SecVst2}
    Abort
  ${EndIf}
FunctionEnd

Function un.onInit
  SetShellVarContext all
  SetRegView 64
FunctionEnd

Section "Uninstall"
  ReadRegStr $0 HKLM "${STATE_KEY}" "Vst2Folder"
  ${If} $0 != ""
    Delete "$0\Tolvan_Velmora.dll"
    !insertmacro RemoveMadeFolders "un." $0 "Vst2FolderMade"
  ${EndIf}
  ReadRegDWORD $0 HKLM "${STATE_KEY}" "Vst3"
  ${If} $0 == 1
    !insertmacro VELMORA_VST3_UNINSTALL "${VST3_FOLDER}"
    !insertmacro RemoveMadeFolders "un." "${VST3_FOLDER}" "Vst3FolderMade"
  ${EndIf}
  ReadRegDWORD $0 HKLM "${STATE_KEY}" "Clap"
  ${If} $0 == 1
    Delete "${CLAP_FOLDER}\Tolvan_Velmora.clap"
    !insertmacro RemoveMadeFolders "un." "${CLAP_FOLDER}" "ClapFolderMade"
  ${EndIf}
  !insertmacro VELMORA_FONTS UninstallFont
  SendMessage ${HWND_BROADCAST} ${WM_FONTCHANGE} 0 0 /TIMEOUT=5000
  Delete "$INSTDIR\Fonts\*-OFL.txt"
  RMDir "$INSTDIR\Fonts"
  Delete "$INSTDIR\uninstall.exe"
  RMDir "$INSTDIR"
  DeleteRegKey HKLM "${STATE_KEY}"
  DeleteRegKey /ifempty HKLM "Software\${VELMORA_VENDOR}"
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
