#!/usr/bin/env bash
# Neovim headless as the editor of the test workspace (see neovim.lua).
#   neovim.sh SOURCE_DIR OSTRAK
set -u
export LANGUAGE=en
src=$1 ostrak=$2
if ! command -v nvim >/dev/null; then
  echo "FAIL: nvim is needed for the editor test; scripts/setup-deps installs it"
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
bash "$src/tests/lsp/make-folder.sh" "$src" "$ostrak" || exit 1
# No user's configuration, no swap files, nothing written outside the work folder.
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache
OSTRAK=$ostrak FOLDER=$work/folder timeout 60 nvim --headless -u NONE -i NONE -n -c "luafile $src/tests/lsp/neovim.lua" </dev/null
