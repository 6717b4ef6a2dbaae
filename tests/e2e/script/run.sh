#!/usr/bin/env bash
# cscript against the registered kalamos.dll, checked against the native ostrak tool.
# Usage: run.sh SOURCE_DIR KALAMOS_DLL NATIVE_OSTRAK SCRATCH_DIR
set -u
src=$1 dll=$2 ostrak=$3 work=$4
here=$src/tests/e2e/script
run=$src/scripts/wine-run
"$run" --check || exit $?
# A prefix of the test's own: the registration must not meet another test's.
export KALAMOS_WINEPREFIX=$work/prefix

passed=0 failed=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
  exit
}
winpath() { printf 'Z:%s' "${1//\//\\}"; }

if [ ! -x "$ostrak" ]; then
  fail "no native ostrak at $ostrak (build the native preset first, or set KALAMOS_NATIVE_OSTRAK)"
  finish
fi
mkdir -p "$work"
work=$(cd "$work" && pwd)
rm -rf "$work/base" "$work/run"
mkdir -p "$work/run"
dll_name=$(basename "$dll")
cp "$dll" "$work/run/$dll_name"
"$ostrak" pack "$here/config.txt" "$work/base" >/dev/null || { fail "ostrak pack"; finish; }

# What the tool says, in the layout the scripts write: a heading per call, then its lines.
# An error shows as the report's text alone.
call() {
  local heading=$1
  shift
  echo "[$heading]"
  "$ostrak" call "$work/base" "$@" 2>&1 | sed -E 's/^[0-9]+: //'
}
{
  echo "load: 1"
  call "EnumObjects Документ" EnumObjects Документ
  call "ПеречислитьОбъекты Обработка" ПеречислитьОбъекты Обработка
  call "РеквизитыШапки расходнаянакладная" РеквизитыШапки расходнаянакладная
  call "ValueByNum ВидыОплаты 2" ValueByNum ВидыОплаты 2
  call "EnumObjects Нечто" EnumObjects Нечто | sed -E '2s/^/Scholion /'
} >"$work/listing.expected"
{
  echo "load: 1"
  call "ValueByNum ВидыОплаты 2" ValueByNum ВидыОплаты 2
  call "EnumValCount видыоплаты" EnumValCount видыоплаты
  call "EnumValInternal ВидыОплаты бартер" EnumValInternal ВидыОплаты бартер
  call "RefInfo Контрагенты 3" RefInfo Контрагенты 3
  call "EnumObjects Нечто" EnumObjects Нечто
} >"$work/lookup.expected"

# Real files tag the processings "CalcVars": the native tool must list them, or both sides
# could agree on nothing.
grep -A3 '^\[ПеречислитьОбъекты Обработка\]' "$work/listing.expected" | grep -q 'ЗагрузкаПрайса' \
  || { fail "the native tool lists no processings: $(cat "$work/listing.expected")"; finish; }

# The first run makes the prefix.
"$run" regsvr32 /s "$(winpath "$work/run/$dll_name")" 2>/dev/null
if [ $? != 0 ]; then
  fail "regsvr32 $dll_name"
  finish
fi
if [ ! -f "$KALAMOS_WINEPREFIX/drive_c/windows/system32/cscript.exe" ]; then
  fail "the Wine prefix has no cscript.exe"
  finish
fi

# The scripts hold Cyrillic names: cscript reads them in the ANSI code page. Their results
# come back as UTF-16 files, clear of the console's code page.
for script in listing.vbs lookup.js; do
  name=${script%.*}
  iconv -f UTF-8 -t CP1251 "$here/$script" >"$work/run/$script"
  rm -f "$work/run/$name.out"
  "$run" cscript //nologo "$(winpath "$work/run/$script")" "$(winpath "$work/base")" \
    "$(winpath "$work/run/$name.out")" >"$work/run/$name.console" 2>/dev/null
  rc=$?
  if [ $rc != 0 ] || [ ! -s "$work/run/$name.out" ]; then
    fail "$script: cscript exit $rc, console: $(iconv -f CP866 -t UTF-8 "$work/run/$name.console" 2>/dev/null)"
    continue
  fi
  iconv -f UTF-16 -t UTF-8 "$work/run/$name.out" | tr -d '\r' >"$work/$name.actual"
  if diff -u "$work/$name.expected" "$work/$name.actual"; then ok; else fail "$script differs from ostrak"; fi
done

"$run" regsvr32 /u /s "$(winpath "$work/run/$dll_name")" 2>/dev/null
[ $? = 0 ] && ok || fail "regsvr32 /u"
"$src/scripts/wine-stop"
finish
