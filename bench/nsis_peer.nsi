; The launcher's job done by NSIS, as a publisher who picked NSIS instead would build it: the bench
; installer and its package written into a sub-folder of %TEMP% (the folder and file names of the
; bench's launcher files), the installer started there and waited for, both files and the folder
; deleted, and the installer's exit code passed on; silent, as the launcher shows nothing either.
;
;   makensis -V1 -DOUTFILE=<path> -DINSTALLER=<setup.exe> -DPACKAGE=<package> -DFOLDER=<name>
;            [-DCRC=off] [-DCOMPRESSOR=lzma] nsis_peer.nsi
;
; Without COMPRESSOR the files are stored as they are (SetCompress off), as the launcher file
; carries them; CRC=off turns off NSIS's whole-file check, which reads the whole file first.

Unicode true
Target amd64-unicode
Name "Vossimere bench peer"
OutFile "${OUTFILE}"
RequestExecutionLevel user
SilentInstall silent
ShowInstDetails nevershow

!ifdef CRC
  CRCCheck ${CRC}
!endif
!ifdef COMPRESSOR
  SetCompressor /SOLID ${COMPRESSOR}
!else
  SetCompress off
!endif

Var folder
Var code

Section
  StrCpy $folder "$TEMP\${FOLDER}"
  CreateDirectory $folder
  SetOutPath $folder
  File "/oname=setup.exe" "${INSTALLER}"
  File "/oname=bench.msi" "${PACKAGE}"
  ClearErrors
  ExecWait '"$folder\setup.exe"' $code
  IfErrors 0 +2
    StrCpy $code 1
  ; The folder stops being the working directory, or it could not be removed.
  SetOutPath $TEMP
  Delete "$folder\setup.exe"
  Delete "$folder\bench.msi"
  RMDir $folder
  SetErrorLevel $code
SectionEnd
