; The Windows setup: puts each of the effect's files where a host or editor
; on this computer loads it, records every file and folder it creates, and
; leaves an uninstaller that takes back exactly those. scripts/package-setup.sh
; builds it from the zip's folder:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION=2.0-1a2b3c4 -DFILE_VERSION=2.0.0.0
;     -DPAYLOAD=<the zip's folder> -DOUTFILE=<setup.exe> Kv_Tidalhalo.nsi

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestSupportedOS all

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include WordFunc.nsh
!include nsDialogs.nsh
!include Sections.nsh

!define UNINSTALL_ROOT "Software\Microsoft\Windows\CurrentVersion\Uninstall"
!define UNINSTALL_KEY "${UNINSTALL_ROOT}\Kv_Tidalhalo"
!define HOST_KEY "SOFTWARE\Adobe\After Effects"
!define RECORD "installed.txt"
!define LOG "setup.log"

Name "Kv_Tidalhalo ${VERSION}"
OutFile "${OUTFILE}"
InstallDir "$PROGRAMFILES64\Kv_Tidalhalo"
; A second run updates the folder of the first unless /D= names another.
InstallDirRegKey HKLM "${UNINSTALL_KEY}" "InstallLocation"
BrandingText "Kv_Tidalhalo ${VERSION}"
ShowInstDetails show
ShowUninstDetails show

VIProductVersion "${FILE_VERSION}"
VIAddVersionKey /LANG=1033 "ProductName" "Kv_Tidalhalo"
VIAddVersionKey /LANG=1033 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1033 "FileDescription" "Kv_Tidalhalo ${VERSION} setup"
VIAddVersionKey /LANG=1033 "CompanyName" "Mertvekv"
VIAddVersionKey /LANG=1033 "LegalCopyright" "MIT licence"

Var HostFound      ; the host application's Plug-ins folders found, each followed by |
Var HostExtra      ; one more Plug-ins folder chosen by the user
Var HostFolders    ; both
Var Kdenlive       ; Kdenlive's folder, the one that holds bin and lib
Var Shotcut        ; Shotcut's folder, the one holding shotcut.exe
Var HostText
Var KdenliveText
Var ShotcutText
Var Failed         ; 1 once a file could not be written
Var TotalBytes
Var Log
Var Index
Var Key
Var Value
Var Folder
Var Tmp
Var Ok
Var Dialog
Var HostField
Var KdenliveField
Var ShotcutField

!define MUI_ABORTWARNING
!define MUI_WELCOMEPAGE_TEXT "This sets up the Kv_Tidalhalo video effect, version ${VERSION}, in every program on this computer that can use it: the host application, the OpenFX hosts, Kdenlive, Shotcut and ffmpeg.$\r$\n$\r$\nQuit those programs before you go on: a program that is running may hold a file that the setup replaces."
!insertmacro MUI_PAGE_WELCOME
!insertmacro MUI_PAGE_LICENSE "${PAYLOAD}/LICENSE"
Page custom ProgramsPage ProgramsPageLeave
!define MUI_COMPONENTSPAGE_SMALLDESC
!define MUI_PAGE_CUSTOMFUNCTION_SHOW ComponentsShow
!define MUI_COMPONENTSPAGE_TEXT_TOP "Each part goes where its program loads effects from. A program the setup did not find is greyed out: go Back to choose its folder."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_TITLE "Kv_Tidalhalo is installed"
!define MUI_FINISHPAGE_TEXT "Run this setup again after you update Kdenlive or Shotcut: their installers delete their program folder, and the effect with it. Running it again puts back what is missing and updates the rest in place.$\r$\n$\r$\nTo remove the effect, use Kv_Tidalhalo in Windows' list of installed apps. What the setup did is listed in setup.log in $INSTDIR."
!insertmacro MUI_PAGE_FINISH
!insertmacro MUI_UNPAGE_CONFIRM
!insertmacro MUI_UNPAGE_INSTFILES
!insertmacro MUI_LANGUAGE "English"

; Drops the backslashes (and slashes) that end a folder's name.
!macro TrimSlashes VAR
  ${Do}
    StrCpy $Tmp "${VAR}" 1 -1
    ${If} $Tmp != "\"
    ${AndIf} $Tmp != "/"
      ${ExitDo}
    ${EndIf}
    StrCpy ${VAR} "${VAR}" -1
  ${Loop}
!macroend

; Drops the line end that FileReadUTF16LE keeps.
!macro TrimLineEnd VAR
  ${Do}
    StrCpy $Tmp "${VAR}" 1 -1
    ${If} $Tmp != "$\r"
    ${AndIf} $Tmp != "$\n"
      ${ExitDo}
    ${EndIf}
    StrCpy ${VAR} "${VAR}" -1
  ${Loop}
!macroend

; Found before the log exists, so kept in a file until the log opens.
Function Note
  Exch $R9
  Push $R8
  FileOpen $R8 "$PLUGINSDIR\notes.txt" a
  FileSeek $R8 0 END
  FileWriteUTF16LE $R8 "$R9$\r$\n"
  FileClose $R8
  Pop $R8
  Pop $R9
FunctionEnd

Function Log
  Exch $R9
  DetailPrint $R9
  ${If} $Log != ""
    FileWriteUTF16LE $Log "$R9$\r$\n"
  ${EndIf}
  Pop $R9
FunctionEnd
!macro Log TEXT
  Push "${TEXT}"
  Call Log
!macroend

; The folder of the program an uninstall command runs, quoted or not, with
; or without arguments.
Function ProgramFolder
  StrCpy $Tmp $Value 1
  ${If} $Tmp == '"'
    StrCpy $Folder $Value "" 1
    ${WordFind} $Folder '"' "+1" $Folder
  ${Else}
    ${WordFind} $Value ".exe" "+1" $Folder
  ${EndIf}
  ${GetParent} $Folder $Folder
FunctionEnd

Function FindHost
  StrCpy $HostFound ""
  StrCpy $Index 0
  ${Do}
    ClearErrors
    EnumRegKey $Key HKLM "${HOST_KEY}" $Index
    ${If} ${Errors}
    ${OrIf} $Key == ""
      ${ExitDo}
    ${EndIf}
    IntOp $Index $Index + 1
    ClearErrors
    ReadRegStr $Folder HKLM "${HOST_KEY}\$Key" "PluginInstallPath"
    ${If} ${Errors}
    ${OrIf} $Folder == ""
      ${Continue}
    ${EndIf}
    !insertmacro TrimSlashes $Folder
    ${If} ${FileExists} "$Folder\*.*"
      StrCpy $HostFound "$HostFound$Folder|"
    ${Else}
      Push "The host application $Key: its Plug-ins folder $Folder does not exist; skipped."
      Call Note
    ${EndIf}
  ${Loop}
FunctionEnd

; Kdenlive from an uninstall entry whose DisplayName starts with "Kdenlive".
!macro FindKdenliveIn ROOT
  StrCpy $Index 0
  ${Do}
    ${If} $Kdenlive != ""
      ${ExitDo}
    ${EndIf}
    ClearErrors
    EnumRegKey $Key ${ROOT} "${UNINSTALL_ROOT}" $Index
    ${If} ${Errors}
    ${OrIf} $Key == ""
      ${ExitDo}
    ${EndIf}
    IntOp $Index $Index + 1
    ReadRegStr $Value ${ROOT} "${UNINSTALL_ROOT}\$Key" "DisplayName"
    StrCpy $Tmp $Value 8
    ${If} $Tmp == "Kdenlive"
      ReadRegStr $Value ${ROOT} "${UNINSTALL_ROOT}\$Key" "UninstallString"
      Call ProgramFolder
      ${If} ${FileExists} "$Folder\bin\kdenlive.exe"
        StrCpy $Kdenlive $Folder
      ${Else}
        Push "Kdenlive: the uninstall entry ${ROOT}\$Key names the folder $Folder, which holds no bin\kdenlive.exe; skipped."
        Call Note
      ${EndIf}
    ${EndIf}
  ${Loop}
!macroend

Function FindKdenlive
  StrCpy $Kdenlive ""
  !insertmacro FindKdenliveIn HKLM
  !insertmacro FindKdenliveIn HKCU
  ${If} $Kdenlive == ""
  ${AndIf} ${FileExists} "$PROGRAMFILES64\kdenlive\bin\kdenlive.exe"
    StrCpy $Kdenlive "$PROGRAMFILES64\kdenlive"
  ${EndIf}
FunctionEnd

; Shotcut from an uninstall entry whose DisplayName is "Shotcut".
!macro FindShotcutIn ROOT
  StrCpy $Index 0
  ${Do}
    ${If} $Shotcut != ""
      ${ExitDo}
    ${EndIf}
    ClearErrors
    EnumRegKey $Key ${ROOT} "${UNINSTALL_ROOT}" $Index
    ${If} ${Errors}
    ${OrIf} $Key == ""
      ${ExitDo}
    ${EndIf}
    IntOp $Index $Index + 1
    ReadRegStr $Value ${ROOT} "${UNINSTALL_ROOT}\$Key" "DisplayName"
    ${If} $Value == "Shotcut"
      ReadRegStr $Value ${ROOT} "${UNINSTALL_ROOT}\$Key" "UninstallString"
      Call ProgramFolder
      ${If} ${FileExists} "$Folder\shotcut.exe"
        StrCpy $Shotcut $Folder
      ${Else}
        Push "Shotcut: the uninstall entry ${ROOT}\$Key names the folder $Folder, which holds no shotcut.exe; skipped."
        Call Note
      ${EndIf}
    ${EndIf}
  ${Loop}
!macroend

Function FindShotcut
  StrCpy $Shotcut ""
  ReadRegStr $Folder HKLM "SOFTWARE\Shotcut" "Install_Dir"
  ${If} $Folder != ""
    !insertmacro TrimSlashes $Folder
    ${If} ${FileExists} "$Folder\shotcut.exe"
      StrCpy $Shotcut $Folder
    ${Else}
      Push "Shotcut: HKLM\SOFTWARE\Shotcut names the folder $Folder, which holds no shotcut.exe; skipped."
      Call Note
    ${EndIf}
  ${EndIf}
  !insertmacro FindShotcutIn HKLM
  !insertmacro FindShotcutIn HKCU
FunctionEnd

; The list's five lines need little room: the description, which names long
; folders, takes the rest of the page below it, across the page's whole width.
Var Rect
!macro ControlRect HWND
  System::Call "user32::GetWindowRect(p ${HWND}, p $Rect)"
  System::Call "user32::MapWindowPoints(p 0, p $mui.ComponentsPage, p $Rect, i 2)"
  System::Call "*$Rect(i .R1, i .R2, i .R3, i .R4)"
!macroend
Function ComponentsShow
  System::Call "*(i, i, i, i) p .s"
  Pop $Rect
  ; The page's left edge, and the space figure moved up under the list's title.
  !insertmacro ControlRect $mui.ComponentsPage.ComponentsText
  StrCpy $R0 $R1
  IntOp $R2 $R2 + 20
  System::Call "user32::SetWindowPos(p $mui.ComponentsPage.SpaceRequired, p 0, i R1, i R2, i 0, i 0, i 5)"
  !insertmacro ControlRect $mui.ComponentsPage.Components
  SendMessage $mui.ComponentsPage.Components 0x111C 0 0 $R5 ; TVM_GETITEMHEIGHT
  IntOp $R5 $R5 * 5
  IntOp $R5 $R5 + 6
  IntOp $R3 $R3 - $R1
  System::Call "user32::SetWindowPos(p $mui.ComponentsPage.Components, p 0, i 0, i 0, i R3, i R5, i 6)"
  IntOp $R6 $R2 + $R5
  IntOp $R6 $R6 + 4 ; the box's new top
  !insertmacro ControlRect $mui.ComponentsPage.DescriptionTitle
  IntOp $R7 $R2 - $R6 ; how far the box moves up
  IntOp $R8 $R1 - $R0 ; and left
  IntOp $R3 $R3 - $R0
  IntOp $R4 $R4 - $R6
  System::Call "user32::SetWindowPos(p $mui.ComponentsPage.DescriptionTitle, p 0, i R0, i R6, i R3, i R4, i 4)"
  !insertmacro ControlRect $mui.ComponentsPage.DescriptionText
  IntOp $R3 $R3 - $R1
  IntOp $R3 $R3 + $R8
  IntOp $R1 $R1 - $R8
  IntOp $R4 $R4 - $R2
  IntOp $R4 $R4 + $R7
  IntOp $R2 $R2 - $R7
  System::Call "user32::SetWindowPos(p $mui.ComponentsPage.DescriptionText, p 0, i R1, i R2, i R3, i R4, i 4)"
  System::Free $Rect
FunctionEnd

; Adds a line to the record unless it holds it already, so that running the
; setup again keeps one line a file.
Function Record
  Exch $R9
  Push $R8
  Push $R7
  StrCpy $R7 0
  ClearErrors
  FileOpen $R8 "$PLUGINSDIR\${RECORD}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileReadUTF16LE $R8 $Value
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      !insertmacro TrimLineEnd $Value
      ${If} $Value == $R9
        StrCpy $R7 1
        ${ExitDo}
      ${EndIf}
    ${Loop}
    FileClose $R8
  ${EndIf}
  ${If} $R7 == 0
    FileOpen $R8 "$PLUGINSDIR\${RECORD}" a
    FileSeek $R8 0 END
    FileWriteUTF16LE $R8 "$R9$\r$\n"
    FileClose $R8
  ${EndIf}
  Pop $R7
  Pop $R8
  Pop $R9
FunctionEnd

; Creates a folder and the ones above it that are missing, recording each it
; creates, outermost first; $Ok is 1 when the folder is there.
Function MakeFolder
  Exch $R9
  Push $R8
  Push $R7
  StrCpy $R7 0
  StrCpy $R8 $R9
  ${Do}
    ${If} $R8 == ""
    ${OrIf} ${FileExists} "$R8\*.*"
      ${ExitDo}
    ${EndIf}
    Push $R8
    IntOp $R7 $R7 + 1
    ${GetParent} $R8 $R8
  ${Loop}
  StrCpy $Ok 1
  ${DoWhile} $R7 > 0
    Pop $R8
    IntOp $R7 $R7 - 1
    ${If} $Ok == 1
      ClearErrors
      CreateDirectory $R8
      ${If} ${Errors}
      ${OrIfNot} ${FileExists} "$R8\*.*"
        StrCpy $Ok 0
      ${Else}
        Push "folder $R8"
        Call Record
      ${EndIf}
    ${EndIf}
  ${Loop}
  ${IfNot} ${FileExists} "$R9\*.*"
    StrCpy $Ok 0
  ${EndIf}
  Pop $R7
  Pop $R8
  Pop $R9
FunctionEnd

; Copies a file of the payload over its place in one step, so that a file in
; use is left whole as it was; the user may retry or skip it.
Function Place
  Exch $R9 ; where it goes
  Exch
  Exch $R8 ; the payload's file
  Push $R7
  Push $R6
  ${GetParent} $R9 $R7
  Push $R7
  Call MakeFolder
  ${If} $Ok != 1
    !insertmacro Log "Could not create the folder $R7; $R9 not installed."
    StrCpy $Failed 1
  ${Else}
    ${Do}
      System::Call "kernel32::CopyFileW(w R8, w R9, i 0) i .R6 ?e"
      Pop $R7
      ${If} $R6 != 0
        Push "file $R9"
        Call Record
        FileOpen $R7 $R9 r
        FileSeek $R7 0 END $R6
        FileClose $R7
        IntOp $TotalBytes $TotalBytes + $R6
        !insertmacro Log "Installed $R9"
        ${ExitDo}
      ${EndIf}
      ${IfNot} ${Silent}
        MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "Could not write$\r$\n$R9$\r$\n(Windows error $R7).$\r$\n$\r$\nA program that is running may be using it: quit it and choose Retry, or choose Cancel to skip this file." IDRETRY continue
      ${EndIf}
      !insertmacro Log "Could not write $R9 (Windows error $R7; is a program using it?); left as it was."
      StrCpy $Failed 1
      ${ExitDo}
      continue:
    ${Loop}
  ${EndIf}
  Pop $R6
  Pop $R7
  Pop $R8
  Pop $R9
FunctionEnd
!macro Place FROM TO
  Push "$PLUGINSDIR\payload\${FROM}"
  Push "${TO}"
  Call Place
!macroend

Section "-Kv_Tidalhalo" SecCore
  SetRegView 64
  StrCpy $Failed 0
  StrCpy $TotalBytes 0
  SetOutPath "$PLUGINSDIR\payload"
  File "${PAYLOAD}/Kv_Tidalhalo.aex"
  File "${PAYLOAD}/tidalhalo.dll"
  File "${PAYLOAD}/frei0r_tidalhalo.xml"
  File "${PAYLOAD}/README.txt"
  File "${PAYLOAD}/LICENSE"
  File "${PAYLOAD}/THIRD-PARTY.md"
  SetOutPath "$PLUGINSDIR\payload\shotcut"
  File "${PAYLOAD}/shotcut/tidalhalo/meta.qml"
  File "${PAYLOAD}/shotcut/tidalhalo/ui.qml"
  File "${PAYLOAD}/shotcut/tidalhalo/vui.qml"
  SetOutPath "$PLUGINSDIR\payload\ofx"
  File "${PAYLOAD}/Kv_Tidalhalo.ofx.bundle/Contents/Win64/Kv_Tidalhalo.ofx"
  SetOutPath "$PLUGINSDIR"

  ; The record so far, of this run and the ones before.
  Delete "$PLUGINSDIR\${RECORD}"
  CopyFiles /SILENT "$INSTDIR\${RECORD}" "$PLUGINSDIR\${RECORD}"
  Push $INSTDIR
  Call MakeFolder
  ${If} $Ok == 1
    FileOpen $Log "$INSTDIR\${LOG}" w
  ${Else}
    FileOpen $Log "$TEMP\Kv_Tidalhalo-${LOG}" w
  ${EndIf}
  FileWriteUTF16LE /BOM $Log "Kv_Tidalhalo ${VERSION} setup$\r$\n"
  ${If} $Ok != 1
    !insertmacro Log "Could not create the folder $INSTDIR; nothing installed."
    FileClose $Log
    SetErrorLevel 2
    Abort
  ${EndIf}
  ClearErrors
  FileOpen $R0 "$PLUGINSDIR\notes.txt" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileReadUTF16LE $R0 $Value
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      !insertmacro TrimLineEnd $Value
      !insertmacro Log $Value
    ${Loop}
    FileClose $R0
  ${EndIf}
  !insertmacro Place "README.txt" "$INSTDIR\README.txt"
  !insertmacro Place "LICENSE" "$INSTDIR\LICENSE"
  !insertmacro Place "THIRD-PARTY.md" "$INSTDIR\THIRD-PARTY.md"
SectionEnd

; Never into the common MediaCore folder: another host loads that one too
; and would list an effect it cannot draw.
Section "The host application" SecHost
  StrCpy $Index 1
  ${Do}
    ClearErrors
    ${WordFind} $HostFolders "|" "E+$Index" $Folder
    ${If} ${Errors}
      ${ExitDo}
    ${EndIf}
    !insertmacro Place "Kv_Tidalhalo.aex" "$Folder\Kv_Tidalhalo\Kv_Tidalhalo.aex"
    IntOp $Index $Index + 1
  ${Loop}
SectionEnd

Section "OpenFX hosts (Resolve, Nuke, Vegas, Natron)" SecOfx
  !insertmacro Place "ofx\Kv_Tidalhalo.ofx" "$COMMONFILES64\OFX\Plugins\Kv_Tidalhalo.ofx.bundle\Contents\Win64\Kv_Tidalhalo.ofx"
SectionEnd

; Kdenlive's MLT looks for frei0r filters beside bin\, not in it.
Section "Kdenlive" SecKdenlive
  !insertmacro Place "tidalhalo.dll" "$Kdenlive\lib\frei0r-1\tidalhalo.dll"
  !insertmacro Place "frei0r_tidalhalo.xml" "$APPDATA\kdenlive\effects\frei0r_tidalhalo.xml"
SectionEnd

; The panel in the user's extensions folder outlives Shotcut's updates; the
; one in Shotcut's folder serves the versions that do not read that folder.
Section "Shotcut" SecShotcut
  !insertmacro Place "tidalhalo.dll" "$Shotcut\lib\frei0r-1\tidalhalo.dll"
  !insertmacro Place "shotcut\meta.qml" "$Shotcut\share\shotcut\qml\filters\tidalhalo\meta.qml"
  !insertmacro Place "shotcut\ui.qml" "$Shotcut\share\shotcut\qml\filters\tidalhalo\ui.qml"
  !insertmacro Place "shotcut\vui.qml" "$Shotcut\share\shotcut\qml\filters\tidalhalo\vui.qml"
  !insertmacro Place "shotcut\meta.qml" "$LOCALAPPDATA\Meltytech\Shotcut\extensions\filters\tidalhalo\meta.qml"
  !insertmacro Place "shotcut\ui.qml" "$LOCALAPPDATA\Meltytech\Shotcut\extensions\filters\tidalhalo\ui.qml"
  !insertmacro Place "shotcut\vui.qml" "$LOCALAPPDATA\Meltytech\Shotcut\extensions\filters\tidalhalo\vui.qml"
SectionEnd

Section "ffmpeg" SecFfmpeg
  !insertmacro Place "tidalhalo.dll" "$PROFILE\.frei0r-1\lib\tidalhalo.dll"
SectionEnd

Section "-finish" SecFinish
  WriteUninstaller "$INSTDIR\Uninstall.exe"
  ClearErrors
  CopyFiles /SILENT "$PLUGINSDIR\${RECORD}" "$INSTDIR\${RECORD}"
  ${If} ${Errors}
    !insertmacro Log "Could not write the record $INSTDIR\${RECORD}."
    StrCpy $Failed 1
  ${EndIf}
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "Kv_Tidalhalo video effect"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "Mertvekv"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
  WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
  IntOp $TotalBytes $TotalBytes + 1023
  IntOp $TotalBytes $TotalBytes / 1024
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "EstimatedSize" $TotalBytes
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
  ${If} $Failed == 1
    !insertmacro Log "Finished, but some files were not installed (see above)."
    SetErrorLevel 2
  ${Else}
    !insertmacro Log "Finished."
  ${EndIf}
  FileClose $Log
  StrCpy $Log ""
SectionEnd

; A program found is offered ticked; one not found unticked and greyed, with the reason.
!macro Offer SECTION FOLDER NAME
  ${If} ${FOLDER} != ""
    SectionSetFlags ${SECTION} ${SF_SELECTED}
    SectionSetText ${SECTION} "${NAME}"
  ${Else}
    SectionSetFlags ${SECTION} ${SF_RO}
    SectionSetText ${SECTION} "${NAME} (${NAME} was not found)"
  ${EndIf}
!macroend

Function SetSections
  StrCpy $HostFolders "$HostFound"
  ${If} $HostExtra != ""
    StrCpy $HostFolders "$HostFolders$HostExtra|"
  ${EndIf}
  !insertmacro Offer ${SecHost} $HostFolders "The host application"
  !insertmacro Offer ${SecKdenlive} $Kdenlive "Kdenlive"
  !insertmacro Offer ${SecShotcut} $Shotcut "Shotcut"
  ${If} $HostFolders == ""
    StrCpy $HostText "The host application was not found. Go Back to choose its Plug-ins folder."
  ${Else}
    ${WordReplace} $HostFolders "|" "\Kv_Tidalhalo\;  " "+" $Tmp
    StrCpy $Tmp $Tmp -3
    StrCpy $HostText "Kv_Tidalhalo.aex into each version's Plug-ins folder: $Tmp"
  ${EndIf}
  ${If} $Kdenlive == ""
    StrCpy $KdenliveText "Kdenlive was not found. Go Back to choose its folder."
  ${Else}
    StrCpy $KdenliveText "The frei0r filter into $Kdenlive\lib\frei0r-1\; its description into $APPDATA\kdenlive\effects\."
  ${EndIf}
  ${If} $Shotcut == ""
    StrCpy $ShotcutText "Shotcut was not found. Go Back to choose its folder."
  ${Else}
    StrCpy $ShotcutText "The frei0r filter into $Shotcut\lib\frei0r-1\; its panel into $Shotcut\share\shotcut\qml\filters\ and $LOCALAPPDATA\Meltytech\Shotcut\extensions\filters\."
  ${EndIf}
FunctionEnd

Function .onInit
  SetRegView 64
  SetShellVarContext current
  InitPluginsDir
  StrCpy $HostExtra ""
  Call FindHost
  Call FindKdenlive
  Call FindShotcut
  Call SetSections
FunctionEnd

; The page where the user can point a part at a folder of their own.
Function BrowseClicked
  Pop $Tmp
  nsDialogs::GetUserData $Tmp
  Pop $Tmp
  ${NSD_GetText} $Tmp $Folder
  nsDialogs::SelectFolderDialog "Choose the folder" $Folder
  Pop $Folder
  ${If} $Folder != "error"
    ${NSD_SetText} $Tmp $Folder
  ${EndIf}
FunctionEnd

!macro FolderRow TOP FIELDTOP LABEL FIELD VALUE
  ${NSD_CreateLabel} 0 ${TOP} 100% 10u "${LABEL}"
  Pop $Tmp
  ${NSD_CreateText} 0 ${FIELDTOP} -62u 13u "${VALUE}"
  Pop ${FIELD}
  ${NSD_CreateBrowseButton} -58u ${FIELDTOP} 58u 13u "Browse..."
  Pop $Tmp
  nsDialogs::SetUserData $Tmp ${FIELD}
  ${NSD_OnClick} $Tmp BrowseClicked
!macroend

Function ProgramsPage
  !insertmacro MUI_HEADER_TEXT "Where the programs are" "Check the folders the setup found, or choose your own."
  nsDialogs::Create 1018
  Pop $Dialog
  ${If} $Dialog == error
    Abort
  ${EndIf}
  ${If} $HostFound == ""
    StrCpy $Value "The host application was not found."
  ${Else}
    ${WordReplace} $HostFound "|" ";  " "+" $Value
    StrCpy $Value $Value -3
    StrCpy $Value "The host application was found with these Plug-ins folders: $Value"
  ${EndIf}
  ${NSD_CreateLabel} 0 0 100% 30u "$Value"
  Pop $Tmp
  !insertmacro FolderRow 32u 43u "Another Plug-ins folder of the host application (optional):" $HostField $HostExtra
  !insertmacro FolderRow 64u 75u "Kdenlive's folder (the one holding bin\kdenlive.exe):" $KdenliveField $Kdenlive
  !insertmacro FolderRow 96u 107u "Shotcut's folder (the one holding shotcut.exe):" $ShotcutField $Shotcut
  nsDialogs::Show
FunctionEnd

; A folder chosen by hand must exist; one without the program's executable
; is taken only when the user says so.
!macro TakeFolder FIELD VAR EXE NAME
  ${NSD_GetText} ${FIELD} $Folder
  !insertmacro TrimSlashes $Folder
  ${If} $Folder != ""
    ${IfNot} ${FileExists} "$Folder\*.*"
      MessageBox MB_OK|MB_ICONEXCLAMATION "The folder $Folder does not exist."
      Abort
    ${EndIf}
    ${If} "${EXE}" != ""
    ${AndIfNot} ${FileExists} "$Folder\${EXE}"
      MessageBox MB_YESNO|MB_ICONQUESTION "${NAME} was not found in $Folder (it holds no ${EXE}). Install the ${NAME} part there all the same?" IDYES +2
      Abort
    ${EndIf}
  ${EndIf}
  StrCpy ${VAR} $Folder
!macroend

Function ProgramsPageLeave
  !insertmacro TakeFolder $HostField $HostExtra "" "The host application"
  !insertmacro TakeFolder $KdenliveField $Kdenlive "bin\kdenlive.exe" "Kdenlive"
  !insertmacro TakeFolder $ShotcutField $Shotcut "shotcut.exe" "Shotcut"
  Call SetSections
FunctionEnd

!insertmacro MUI_FUNCTION_DESCRIPTION_BEGIN
  !insertmacro MUI_DESCRIPTION_TEXT ${SecHost} $HostText
  !insertmacro MUI_DESCRIPTION_TEXT ${SecOfx} "Kv_Tidalhalo.ofx.bundle into $COMMONFILES64\OFX\Plugins\, where DaVinci Resolve, Nuke, Vegas and Natron load OpenFX effects."
  !insertmacro MUI_DESCRIPTION_TEXT ${SecKdenlive} $KdenliveText
  !insertmacro MUI_DESCRIPTION_TEXT ${SecShotcut} $ShotcutText
  !insertmacro MUI_DESCRIPTION_TEXT ${SecFfmpeg} "The frei0r filter into $PROFILE\.frei0r-1\lib\, where ffmpeg looks for frei0r filters."
!insertmacro MUI_FUNCTION_DESCRIPTION_END

; Takes back exactly what the record lists: the files, then each folder the
; setup created, innermost first, and only while it is empty.
Section "Uninstall"
  SetRegView 64
  StrCpy $Index 0
  ClearErrors
  FileOpen $R0 "$INSTDIR\${RECORD}" r
  ${IfNot} ${Errors}
    ${Do}
      ClearErrors
      FileReadUTF16LE $R0 $Value
      ${If} ${Errors}
        ${ExitDo}
      ${EndIf}
      !insertmacro TrimLineEnd $Value
      StrCpy $Tmp $Value 5
      StrCpy $Key $Value 7
      ${If} $Tmp S== "file "
        StrCpy $Value $Value "" 5
        ClearErrors
        Delete $Value
        ${If} ${Errors}
          DetailPrint "Could not delete $Value"
        ${EndIf}
      ${ElseIf} $Key S== "folder "
        StrCpy $Value $Value "" 7
        Push $Value
        IntOp $Index $Index + 1
      ${EndIf}
    ${Loop}
    FileClose $R0
  ${EndIf}
  Delete "$INSTDIR\${RECORD}"
  Delete "$INSTDIR\${LOG}"
  Delete "$INSTDIR\Uninstall.exe"
  ${DoWhile} $Index > 0
    Pop $Value
    IntOp $Index $Index - 1
    RMDir $Value
  ${Loop}
  DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
