#!/usr/bin/env bash
# The client test of tests/lsp against ostrak.exe lsp under Wine.
#   run.sh SOURCE_DIR NODE_FOLDER OSTRAK_EXE
set -u
src=$1 folder=$2 exe=$3
wine_run=$src/scripts/wine-run
"$wine_run" --check || exit $?
exec bash "$src/tests/lsp/run-client.sh" "$src" "$folder" "$wine_run" "$exe"
