#!/usr/bin/env bash
# Installs the LSP client library that client.mjs uses into FOLDER (build/lsp-client), from the
# lockfile beside this script.
#   setup.sh FOLDER
here=$(cd "$(dirname "$0")" && pwd)
exec bash "$here/../support/npm-client.sh" "$here" "$1" "the LSP client library (vscode-languageserver-protocol)"
