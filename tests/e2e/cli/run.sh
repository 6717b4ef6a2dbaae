#!/usr/bin/env bash
# Registers kalamos.dll in the Wine prefix, runs the command-line checks with ostrak.exe, and
# unregisters it again. Usage: run.sh SOURCE_DIR KALAMOS_DLL OSTRAK_EXE
set -u
src=$1 dll=$2 exe=$3
wine_run=$src/scripts/wine-run
"$wine_run" --check || exit $?

# Cyrillic arguments reach ostrak.exe intact only with the ru_RU.UTF-8 locale that
# scripts/setup-deps generates.
(cd "$(dirname "$dll")" && "$wine_run" regsvr32 /s "$(basename "$dll")")
rc=$?
if [ $rc != 0 ]; then
  echo "regsvr32 kalamos.dll failed ($rc)"
  echo "0 passed, 1 failed"
  exit 1
fi
bash "$src/tests/cli/check-ostrak.sh" "$src" "$wine_run" "$exe"
rc=$?
# unpack and build: the same tree as the native tool's, containers the DLL loads.
bash "$src/tests/cli/check-folder.sh" "$src" "$wine_run" "$exe" || rc=1
(cd "$(dirname "$dll")" && "$wine_run" regsvr32 /s /u "$(basename "$dll")")
exit $rc
