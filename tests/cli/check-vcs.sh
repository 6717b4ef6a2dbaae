#!/usr/bin/env bash
# ostrak with version control: git shows a changed container as the changed lines of
# `ostrak text`, and `make install`'s CMake install puts the tool in PREFIX/bin.
# Usage: check-vcs.sh SOURCE_DIR OSTRAK
set -u
# The tool's messages in English, whatever the locale the suite runs in.
export LANGUAGE=en
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
# Hunk headers name the object and the place: the nearest line that is not indented.
git config diff.kalamos.xfuncname '^[^ ].*$'

"$ostrak" pack "$src/samples/demo/config.txt" Торговля >/dev/null || bad "pack, first version"
git add -A && git commit -qm first || bad "commit, first version"
sed 's/{"206","Комментарий","Комментарий","","S","100"/{"206","Комментарий","Комментарий","","S","200"/' \
  "$src/samples/demo/config.txt" >"$work/second.txt"
"$ostrak" pack "$work/second.txt" Торговля >/dev/null || bad "pack, second version"
git add -A && git commit -qm second || bad "commit, second version"

changed=$(git -c core.quotePath=false diff HEAD~1 HEAD | grep -E '^[-+]' | grep -vE '^(\+\+\+|---) ')
expected='-Документ РасходнаяНакладная: шапка: Комментарий (206): Строка 100, комментарий "Комментарий", поля 8-10: "0", "0", "0"
+Документ РасходнаяНакладная: шапка: Комментарий (206): Строка 200, комментарий "Комментарий", поля 8-10: "0", "0", "0"'
[ "$changed" = "$expected" ] && ok || bad "git diff shows the changed attribute and nothing else" "$changed"
git diff --no-textconv HEAD~1 HEAD | grep -q '^Binary files' && ok || bad "without textconv the container is binary"

# A change of one line of a document's module, and nothing else: the line, as text.
deflate() { python3 -c 'import sys, zlib; c = zlib.compressobj(9, zlib.DEFLATED, -15); sys.stdout.buffer.write(c.compress(sys.stdin.buffer.read()) + c.flush())'; }
module() { printf 'Перем А;\nПерем Б;\nПерем В;\nПерем Г;\nПроцедура ОбработкаПроведения()\n\tСообщить("%s");\nКонецПроцедуры\n' "$1" | iconv -f UTF-8 -t CP1251 | sed 's/$/\r/' | deflate; }
place="TypedText/Transact_Number200/MD Programm text"
module "Проведена" >"$work/m1.bin" && module "Проведена накладная" >"$work/m2.bin"
"$ostrak" pack "$work/second.txt" Торговля --stream "$place=$work/m1.bin" >/dev/null || bad "pack with a module"
git add -A && git commit -qm third || bad "commit, third version"
"$ostrak" pack "$work/second.txt" Торговля --stream "$place=$work/m2.bin" >/dev/null || bad "pack with the module changed"
git add -A && git commit -qm fourth || bad "commit, fourth version"
changed=$(git -c core.quotePath=false diff HEAD~1 HEAD | grep -E '^[-+]' | grep -vE '^(\+\+\+|---) ')
expected=$(printf -- '-    \tСообщить("Проведена");\n+    \tСообщить("Проведена накладная");')
[ "$changed" = "$expected" ] && ok || bad "git diff shows the changed module line and nothing else" "$changed"
git -c core.quotePath=false diff HEAD~1 HEAD | grep -qE '^@@ -[0-9]+,[0-9]+ \+[0-9]+,[0-9]+ @@ Документ РасходнаяНакладная: модуль' \
  && ok || bad "the hunk header names the object and the module" "$(git diff HEAD~1 HEAD | grep '^@@')"
found=$(git log --format=%s -G'Проведена накладная')
[ "$found" = fourth ] && ok || bad "git log -G finds the commit that changed the line (textconv applies by default)" "$found"

# CMake's install, as make install runs it.
build=$(dirname "$ostrak")
cmake --install "$build" --prefix "$work/prefix" >/dev/null || bad "cmake --install"
[ -x "$work/prefix/bin/ostrak" ] && ok || bad "install puts ostrak in PREFIX/bin"
"$work/prefix/bin/ostrak" --version | grep -q '^kalamos ' && ok || bad "the installed ostrak runs"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
