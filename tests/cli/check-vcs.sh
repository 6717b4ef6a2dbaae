#!/usr/bin/env bash
# ostrak with version control: git shows a changed container as the changed lines of
# `ostrak text`, and `make install`'s CMake install puts the tool in PREFIX/bin.
# Usage: check-vcs.sh SOURCE_DIR OSTRAK
set -u
src=$1 ostrak=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0 failed=0
ok() { passed=$((passed + 1)); }
bad() { failed=$((failed + 1)); echo "FAIL: $1"; [ -n "${2:-}" ] && printf '%s\n' "$2" | sed 's/^/    /'; }

# git of its own: no user or system configuration, C messages.
export HOME=$work/home GIT_CONFIG_NOSYSTEM=1 LC_ALL=C
mkdir -p "$HOME" "$work/repo/Торговля"
cd "$work/repo" || exit 1
git init -q . && git config user.name test && git config user.email test@localhost
printf 'vellum.md diff=kalamos\n' >.gitattributes
git config diff.kalamos.textconv "$ostrak text"

"$ostrak" pack "$src/samples/demo/config.txt" Торговля >/dev/null || bad "pack, first version"
git add -A && git commit -qm first || bad "commit, first version"
sed 's/{"206","Комментарий","Комментарий","","S","100"/{"206","Комментарий","Комментарий","","S","200"/' \
  "$src/samples/demo/config.txt" >second.txt
"$ostrak" pack second.txt Торговля >/dev/null && rm second.txt || bad "pack, second version"
git add -A && git commit -qm second || bad "commit, second version"

changed=$(git -c core.quotePath=false diff HEAD~1 HEAD | grep -E '^[-+]' | grep -vE '^(\+\+\+|---) ')
expected='-Документ РасходнаяНакладная: шапка: Комментарий: тип 2, комментарий "Комментарий", длина 100
+Документ РасходнаяНакладная: шапка: Комментарий: тип 2, комментарий "Комментарий", длина 200'
[ "$changed" = "$expected" ] && ok || bad "git diff shows the changed attribute and nothing else" "$changed"
git diff --no-textconv HEAD~1 HEAD | grep -q '^Binary files' && ok || bad "without textconv the container is binary"

# CMake's install, as make install runs it.
build=$(dirname "$ostrak")
cmake --install "$build" --prefix "$work/prefix" >/dev/null || bad "cmake --install"
[ -x "$work/prefix/bin/ostrak" ] && ok || bad "install puts ostrak in PREFIX/bin"
"$work/prefix/bin/ostrak" --version | grep -q '^kalamos ' && ok || bad "the installed ostrak runs"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
