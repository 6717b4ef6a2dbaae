#!/usr/bin/env bash
# The SDK client test of tests/mcp against ostrak.exe mcp under Wine, with the component
# loaded from the build's DLL. Usage: run.sh SOURCE_DIR NODE_FOLDER KALAMOS_DLL OSTRAK_EXE
set -u
src=$1 folder=$2 dll=$3 exe=$4
wine_run=$src/scripts/wine-run
"$wine_run" --check || exit $?
exec bash "$src/tests/mcp/run-client.sh" "$src" "$folder" "$wine_run" "$exe" --dll "$dll"
