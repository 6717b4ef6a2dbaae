#!/usr/bin/env bash
# kalamos64.dll registered by the 64-bit regsvr32 and kalamos.dll by the 32-bit one, in one
# 64-bit Wine prefix. The same VBScript, run by the 64-bit and by the 32-bit cscript, must
# print what the native ostrak dump holds; unregistering either build must leave the other
# working, and the ProgID key, which both share, must go with the last of them.
# Usage: run.sh SOURCE_DIR KALAMOS64_DLL KALAMOS_DLL NATIVE_OSTRAK SCRATCH_DIR
set -u
src=$1 dll64=$2 dll32=$3 ostrak=$4 work=$5
here=$src/tests/e2e/sidebyside
run=$src/scripts/wine-run
export KALAMOS_WINEARCH=win64
# Both bitnesses' programs run here.
"$run" --check && "$run" --32 --check || exit $?
# A prefix of the test's own: the registrations must not meet another test's.
export KALAMOS_WINEPREFIX=$work/prefix

clsid='{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}'
passed=0 failed=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
expect() { if [ "$1" = "$2" ]; then ok; else fail "$3: expected [$2], got [$1]"; fi; }
finish() {
  "$src/scripts/wine-stop"
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

for need in "$dll64" "$dll32" "$ostrak"; do
  [ -f "$need" ] || { fail "missing $need (make test builds the native, windows and windows64 presets)"; finish; }
done
rm -rf "$work"
mkdir -p "$work/bin"
work=$(cd "$work" && pwd)
cp "$dll64" "$dll32" "$work/bin/"
w64=$(winpath "$work/bin/$(basename "$dll64")")
w32=$(winpath "$work/bin/$(basename "$dll32")")
iconv -f UTF-8 -t CP1251 "$here/documents.vbs" >"$work/bin/documents.vbs"
"$ostrak" pack "$src/samples/demo/config.txt" "$work/base" >/dev/null || { fail "ostrak pack"; finish; }

# What the script prints, from the native tool's dump.
"$ostrak" dump "$work/base" | python3 -c '
import json, sys
for doc in json.load(sys.stdin)["documents"]:
    print("Документ " + doc["name"])
    for part in ("head", "table"):
        for a in doc[part]:
            fields = (a["name"], a["type"], a["kind"], a["length"], a["precision"], a["ref"])
            print(f"  {part}: " + " | ".join(str(f) for f in fields))
' >"$work/expected" || { fail "ostrak dump"; finish; }
grep -q '  table: ' "$work/expected" || fail "the configuration has no table attributes to compare"

# BITS is 64 or 32: the programs of that bitness (System32 or SysWOW64), so that view of
# the registry.
tool() {
  local bits=$1
  shift
  if [ "$bits" = 32 ]; then "$run" --32 "$@"; else "$run" "$@"; fi
}
# The default value of a key under HKEY_CLASSES_ROOT as programs of BITS see it, or nothing.
value() {
  tool "$1" reg query "HKEY_CLASSES_ROOT\\$2" 2>/dev/null | iconv -f CP866 -t UTF-8 | tr -d '\r' |
    sed -n 's/^ *([^)]*) *REG_SZ *//p'
}
server() { value "$1" "CLSID\\$clsid\\InprocServer32"; }
progid() { value "$1" 'AddIn.kalamos\Clsid'; }
# The script under the cscript of BITS: its lines, the first naming the process's kind.
script() {
  rm -f "$work/out$1"
  tool "$1" cscript //nologo "$(winpath "$work/bin/documents.vbs")" "$(winpath "$work/base")" \
    "$(winpath "$work/out$1")" >/dev/null 2>&1
  [ -f "$work/out$1" ] && iconv -f UTF-16 -t UTF-8 "$work/out$1" | tr -d '\r'
}
# Both scripts print the dump's documents, each in a process of its own bitness.
works() {
  local arch=AMD64
  [ "$1" = 32 ] && arch=x86
  script "$1" >"$work/actual$1"
  expect "$(head -1 "$work/actual$1")" "process: $arch" "$2: the $1-bit cscript"
  if tail -n +2 "$work/actual$1" | diff -u "$work/expected" - >"$work/diff$1"; then ok; else
    fail "$2: the $1-bit cscript differs from ostrak dump:"; cat "$work/diff$1"
  fi
}
# The script fails at CreateObject: no build this cscript can load is registered.
fails() {
  script "$1" >"$work/actual$1"
  expect "$(cat "$work/actual$1")" "process: $([ "$1" = 32 ] && echo x86 || echo AMD64)" "$2: the $1-bit cscript"
}

tool 64 regsvr32 /s "$w64"
expect "$?" 0 "64-bit regsvr32 kalamos64.dll"
tool 32 regsvr32 /s "$w32"
expect "$?" 0 "32-bit regsvr32 kalamos.dll"
expect "$(server 64)" "$w64" "server seen by 64-bit programs"
expect "$(server 32)" "$w32" "server seen by 32-bit programs"
expect "$(progid 64)|$(progid 32)" "$clsid|$clsid" "ProgID in both views"
works 64 "both registered"
works 32 "both registered"

# The 32-bit build goes: the 64-bit one keeps its class and the shared ProgID.
tool 32 regsvr32 /u /s "$w32"
expect "$?" 0 "32-bit regsvr32 /u kalamos.dll"
expect "$(server 32)|$(server 64)" "|$w64" "servers after removing kalamos.dll"
expect "$(progid 64)" "$clsid" "ProgID after removing kalamos.dll"
works 64 "kalamos.dll removed"
fails 32 "kalamos.dll removed"

# And the other way round.
tool 32 regsvr32 /s "$w32"
tool 64 regsvr32 /u /s "$w64"
expect "$?" 0 "64-bit regsvr32 /u kalamos64.dll"
expect "$(server 64)|$(server 32)" "|$w32" "servers after removing kalamos64.dll"
expect "$(progid 32)" "$clsid" "ProgID after removing kalamos64.dll"
works 32 "kalamos64.dll removed"
fails 64 "kalamos64.dll removed"

# The last build removed takes the ProgID with it, from both views.
tool 32 regsvr32 /u /s "$w32"
expect "$?" 0 "32-bit regsvr32 /u, the last build"
expect "$(server 32)|$(server 64)|$(progid 32)|$(progid 64)" "|||" "nothing left after removing both"
finish
