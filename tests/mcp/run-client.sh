#!/usr/bin/env bash
# Runs client.mjs against `ostrak mcp`: packs the demo configuration and the test
# configuration with the tool under test, then lets the SDK client talk to the server.
#   run-client.sh SOURCE_DIR NODE_FOLDER COMMAND...   (COMMAND runs ostrak, e.g. a Wine
#   wrapper and ostrak.exe with --dll)
set -u
src=$1 folder=$(cd "$2" 2>/dev/null && pwd || echo "$2")
shift 2
if [ ! -d "$folder/node_modules/@modelcontextprotocol/sdk" ]; then
  echo "FAIL: the SDK is not installed in $folder (tests/mcp/setup.sh does it)"
  exit 1
fi
# The client stands beside the SDK it imports.
cp "$src/tests/mcp/client.mjs" "$folder/client.mjs" || exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
"$@" pack "$src/samples/demo/config.txt" demo >pack.txt 2>&1 || { echo "FAIL: pack of the demo"; cat pack.txt; exit 1; }
"$@" pack "$src/tests/cli/fixtures/model.txt" model >pack.txt 2>&1 || { echo "FAIL: pack of the test configuration"; cat pack.txt; exit 1; }
node "$folder/client.mjs" demo model -- "$@"
