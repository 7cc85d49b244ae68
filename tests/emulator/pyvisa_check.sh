#!/bin/sh
# Runs the PyVISA-py check with Debian's python, where python3-pyvisa-py is installed;
# exits 77 (skipped) where that python is missing. Arguments: vqr-sim [--vxi11].
if [ ! -x /usr/bin/python3 ]; then
  echo "/usr/bin/python3 is missing; skipping"
  exit 77
fi
exec /usr/bin/python3 "$(dirname "$0")/pyvisa_check.py" "$@"
