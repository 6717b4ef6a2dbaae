#!/usr/bin/env bash
# Registers kalamos.dll in the Wine prefix, runs the command-line checks with ostrak.exe, and
# unregisters it again. Usage: run.sh SOURCE_DIR KALAMOS_DLL OSTRAK_EXE
set -u
src=$1 dll=$2 exe=$3
wine_run=$src/scripts/wine-run

# Wine turns the Unix command line into UTF-16 with the C library's locale: without a real
# ru_RU.UTF-8 every Cyrillic argument arrives mangled. Build one beside the test when the
# system lacks it, rather than change the machine.
if ! locale -a 2>/dev/null | grep -qix 'ru_RU.utf-\?8'; then
  locales=$(dirname "$exe")/locale
  if [ ! -d "$locales/ru_RU.UTF-8" ]; then
    mkdir -p "$locales"
    localedef -i ru_RU -f UTF-8 "$locales/ru_RU.UTF-8" 2>/dev/null || { echo "cannot build the ru_RU.UTF-8 locale"; echo "0 passed, 1 failed"; exit 1; }
  fi
  export LOCPATH=$locales
fi

(cd "$(dirname "$dll")" && "$wine_run" regsvr32 /s "$(basename "$dll")")
rc=$?
if [ $rc != 0 ]; then
  echo "regsvr32 kalamos.dll failed ($rc)"
  echo "0 passed, 1 failed"
  exit 1
fi
bash "$src/tests/cli/check-ostrak.sh" "$src" "$wine_run" "$exe"
rc=$?
(cd "$(dirname "$dll")" && "$wine_run" regsvr32 /s /u "$(basename "$dll")")
exit $rc
