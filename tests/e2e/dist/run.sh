#!/usr/bin/env bash
# make-dist's zip, unpacked, registered and run as a user would, under Wine.
# Usage: run.sh SOURCE_DIR WINDOWS_BUILD_DIR NATIVE_OSTRAK SCRATCH_DIR WINDOWS64_BUILD_DIR
set -u
src=$1 build=$2 ostrak=$3 work=$4 build64=$5
here=$src/tests/e2e/dist
run=$src/scripts/wine-run
"$run" --check || exit $?
# A prefix of the test's own: the registration must not meet another test's.
export KALAMOS_WINEPREFIX=$work/prefix

passed=0 failed=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
expect() { if [ "$1" = "$2" ]; then ok; else fail "$3: expected [$2], got [$1]"; fi; }
same() { if diff -u "$1" "$2" >"$work/diff.txt"; then ok; else fail "$3"; head -40 "$work/diff.txt"; fi; }
finish() {
  "$src/scripts/wine-stop"
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

[ -x "$ostrak" ] || { fail "no native ostrak at $ostrak (build the native preset first)"; finish; }
mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -rf "$work/zip" "$work/Мои компоненты" "$work/Базы"

# The zip: one top folder, exactly the promised files.
zip=$(bash "$src/scripts/make-dist" "$build" "$work/zip" "$build64") || { fail "make-dist"; finish; }
version=$(sed -n 's/^project(kalamos VERSION \([0-9.]*\).*/\1/p' "$src/CMakeLists.txt")
expect "$(basename "$zip")" "kalamos-$version.zip" "zip name"
listing=$(python3 -c 'import sys, zipfile; print("\n".join(sorted(zipfile.ZipFile(sys.argv[1]).namelist())))' "$zip")
top=kalamos-$version
expect "$listing" "$top/LICENSE
$top/README.md
$top/README.ru.md
$top/SHA256SUMS
$top/examples/documents.vbs
$top/examples/errors.vbs
$top/kalamos.dll
$top/kalamos64.dll
$top/ostrak.exe" "zip contents"

install="$work/Мои компоненты"
mkdir -p "$install"
(cd "$install" && cmake -E tar xf "$zip") || { fail "unpacking the zip"; finish; }
pkg=$install/$top
(cd "$pkg" && LC_ALL=C sha256sum --quiet -c SHA256SUMS) && ok || fail "SHA256SUMS"
expect "$(cd "$pkg" && LC_ALL=C sha256sum -c SHA256SUMS 2>/dev/null | grep -c ': OK$')" 8 "files the sums cover"
cmp -s "$pkg/kalamos.dll" "$build/kalamos.dll" && ok || fail "the packaged DLL is not the built one"
cmp -s "$pkg/kalamos64.dll" "$build64/kalamos64.dll" && ok || fail "the packaged kalamos64.dll is not the built one"

# A configuration in a folder with Cyrillic letters too.
base=$work/Базы/Торговля
"$ostrak" pack "$src/samples/demo/config.txt" "$base" >/dev/null || { fail "ostrak pack"; finish; }

dll=$(winpath "$pkg/kalamos.dll")
"$run" regsvr32 /s "$dll" 2>/dev/null
expect "$?" 0 "regsvr32 from the unpacked folder"
# reg writes to the console in the OEM code page.
server=$("$run" reg query 'HKEY_CLASSES_ROOT\CLSID\{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}\InprocServer32' 2>/dev/null |
  iconv -f CP866 -t UTF-8 | tr -d '\r' | sed -n 's/^ *([^)]*) *REG_SZ *//p')
expect "$server" "\"$dll\"" "registered path (quoted: it holds a blank)"

# The packaged ostrak.exe, through the registered DLL, answers as the native tool does.
exe=$(winpath "$pkg/ostrak.exe")
"$run" "$exe" dump "$(winpath "$base")" >"$work/dump.actual" 2>"$work/dump.err"
expect "$?" 0 "ostrak.exe dump"
"$ostrak" dump "$base" >"$work/dump.expected"
same "$work/dump.expected" "$work/dump.actual" "ostrak.exe dump differs from the native tool's"
expect "$("$run" "$exe" call "$(winpath "$base")" ЗначениеПоНомеруСтр ВидыОплаты 2 2>&1 | tr -d '\r')" \
  "result: Безналичные" "ostrak.exe call"

# The example scripts as the package has them (code page 1251), run by cscript; their
# console output comes in the OEM code page.
cscript() {
  "$run" cscript //nologo "$(winpath "$pkg/examples/$1")" "$(winpath "$base")" 2>&1 |
    iconv -f CP866 -t UTF-8 | tr -d '\r'
}
cscript documents.vbs >"$work/documents.actual"
# What documents.vbs prints, from the native tool's answers.
python3 - "$ostrak" "$base" >"$work/documents.expected" <<'PY'
import re, subprocess, sys
ostrak, base = sys.argv[1:]
def call(*args):
    out = subprocess.run([ostrak, "call", base, *args], capture_output=True, text=True, encoding="utf-8").stdout
    return out.splitlines()
def type_text(kind, length, precision, ref):
    if kind == "1": return f"Число {length}" + (f".{precision}" if precision != "0" else "")
    if kind == "2": return f"Строка {length}"
    if kind == "3": return "Дата"
    if kind == "10": return f"Перечисление.{ref}"
    if kind == "11": return f"Справочник.{ref}"
    if kind == "12": return "Документ" + (f".{ref}" if ref else "")
    return "Неопределённый"
attr = re.compile(r"name: (.*), type: (.*), kind: (.*), length: (.*), precision: (.*), ref: ?(.*)")
for line in call("EnumObjects", "Документ"):
    doc = line[len("name: "):]
    print(f"Документ {doc}")
    for title, function in (("Шапка", "EnumDocHead"), ("Табличная часть", "EnumDocTable")):
        rows = [attr.fullmatch(l).groups() for l in call(function, doc)]
        if not rows:
            print(f"  {title}: нет реквизитов")
            continue
        print(f"  {title}:")
        for name, kind, synonym, length, precision, ref in rows:
            print(f"    {name} ({synonym}): {type_text(kind, length, precision, ref)}")
PY
[ -s "$work/documents.expected" ] && ok || fail "no expected output for documents.vbs"
same "$work/documents.expected" "$work/documents.actual" "examples/documents.vbs differs from the native tool's answers"
cscript errors.vbs >"$work/errors.actual"
same "$here/errors.expected" "$work/errors.actual" "examples/errors.vbs"

"$run" regsvr32 /u /s "$dll" 2>/dev/null
expect "$?" 0 "regsvr32 /u"
"$run" reg query 'HKEY_CLASSES_ROOT\AddIn.kalamos' >/dev/null 2>&1
expect "$?" 1 "ProgID after unregistering"
finish
