; A real installer program built by a tool of someone else's: NSIS. It installs nothing. It writes
; what it found into the report the fake installer writes (tests/support/installer_protocol.h), in
; the same UTF-16LE lines: its own path, its command line, whether it runs silently, and the name
; and size of every file beside it; then it ends with the exit code the test asks for. Started
; without /S it shows its window and waits for a user, so a silent switch that did not arrive
; shows as a run that never ends.
;
;   makensis -DTARGET=amd64-unicode -DOUTFILE=<path> nsis_installer.nsi

Unicode true
Target ${TARGET}
Name "Vossimere test installer"
OutFile "${OUTFILE}"
RequestExecutionLevel user
ShowInstDetails nevershow
Page instfiles

Var report
Var out
Var search
Var entry
Var size

; Appends "size <TAB> name <TAB> bytes" for every file in the installer's own folder.
Function DescribeFilesBeside
  FindFirst $search $entry "$EXEDIR\*"
  loop:
    StrCmp $entry "" done
    IfFileExists "$EXEDIR\$entry\*.*" next  ; a folder (also "." and "..")
    FileOpen $0 "$EXEDIR\$entry" r
    FileSeek $0 0 END $size
    FileClose $0
    FileWriteUTF16LE $out "size$\t$entry$\t$size$\n"
  next:
    FindNext $search $entry
    Goto loop
  done:
  FindClose $search
FunctionEnd

Section
  ReadEnvStr $report VOSSIMERE_E2E_REPORT
  StrCmp $report "" exit
  FileOpen $out $report a
  FileSeek $out 0 END
  FileWriteUTF16LE $out "start$\t0$\n"
  FileWriteUTF16LE $out "module$\t$EXEPATH$\n"
  FileWriteUTF16LE $out "commandline$\t$CMDLINE$\n"
  IfSilent 0 +3
    FileWriteUTF16LE $out "silent$\t1$\n"
    Goto +2
    FileWriteUTF16LE $out "silent$\t0$\n"
  Call DescribeFilesBeside
  FileWriteUTF16LE $out "end$\n"
  FileClose $out
exit:
  ReadEnvStr $0 VOSSIMERE_E2E_EXIT_CODE
  IntOp $0 $0 + 0
  SetErrorLevel $0
SectionEnd
