#!/usr/bin/env bash
# Runs client.mjs against `ostrak lsp` on the test workspace of make-folder.sh.
#   run-client.sh SOURCE_DIR NODE_FOLDER COMMAND...   (COMMAND runs ostrak, e.g. a Wine
#   wrapper and ostrak.exe)
set -u
# The checks read the tool's English messages, whatever the locale the suite runs in.
export LANGUAGE=en
src=$1 folder=$(cd "$2" 2>/dev/null && pwd || echo "$2")
shift 2
if [ ! -d "$folder/node_modules/vscode-languageserver-protocol" ]; then
  echo "FAIL: the client library is not installed in $folder (tests/lsp/setup.sh does it)"
  exit 1
fi
# The client stands beside the library it imports.
cp "$src/tests/lsp/client.mjs" "$folder/client.mjs" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
bash "$src/tests/lsp/make-folder.sh" "$src" "$@" || exit 1
node "$folder/client.mjs" folder -- "$@"
