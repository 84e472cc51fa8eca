#!/usr/bin/env bash
# Runs the pack tool named by VOSSIMERE_PACK with the given arguments, as help2man runs a program
# for its help text, and puts a usage line that the tool wraps back on one line: help2man takes
# only the line that starts with "Usage:" for the SYNOPSIS.
set -eo pipefail
"$VOSSIMERE_PACK" "$@" | awk '
  /^Usage:/ { if (held != "") print held; held = $0; joining = 1; next }
  joining && /^     +[^ ]/ { sub(/^ +/, ""); held = held " " $0; next }
  { if (held != "") { print held; held = "" } joining = 0; print }
  END { if (held != "") print held }'
