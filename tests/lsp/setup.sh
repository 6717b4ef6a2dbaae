#!/usr/bin/env bash
# Installs the LSP client library that client.mjs uses into FOLDER (build/lsp-client, which every build
# shares) with `npm ci` from the lockfile beside this script, once: again only when the
# lockfile changes. No node, or no npm registry within reach, is a failure that says so: the
# client test cannot run without it.
#   setup.sh FOLDER
set -u
here=$(cd "$(dirname "$0")" && pwd)
folder=$1
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "FAIL: node and npm are needed for the LSP client test; scripts/setup-deps installs them"
  exit 1
fi
mkdir -p "$folder" || exit 1
# Every build of the project shares one folder, and their test runs may overlap.
exec 9>"$folder/.installing"
flock 9
if [ -f "$folder/node_modules/.package-lock.json" ] && cmp -s "$here/package-lock.json" "$folder/package-lock.json"; then
  exit 0
fi
cp "$here/package.json" "$here/package-lock.json" "$folder/" || exit 1
if ! (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error); then
  echo "FAIL: npm ci could not install vscode-languageserver-protocol (is the npm registry, $(npm config get registry), within reach?)"
  rm -f "$folder/package-lock.json"
  exit 1
fi
