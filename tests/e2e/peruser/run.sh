#!/usr/bin/env bash
# kalamos.dll (or kalamos64.dll) registered for one person under Wine, in the registry view
# of its bitness: regsvr32 /n /i:user writes the entries under HKEY_CURRENT_USER\Software\Classes
# and nothing for the machine, /u /n /i:user takes them away; a machine-wide registration
# leaves the person's entries alone and unregistering removes both; when the machine's class
# key refuses the write, regsvr32 still succeeds and the entries land with the person.
# Wine's COM reads classes from the machine's registry alone, so the keys are what is checked.
# Usage: run.sh SOURCE_DIR KALAMOS_DLL CLASSES_LOCK_EXE SCRATCH_DIR
set -u
src=$1 dll=$2 lock=$3 work=$4
run=$src/scripts/wine-run
"$run" --check || exit $?
# A prefix of the test's own: a key left locked must not meet another test.
rm -rf "$work"
mkdir -p "$work/plain" "$work/with blank"
work=$(cd "$work" && pwd)
export KALAMOS_WINEPREFIX=$work/prefix

clsid='{6E1A3D52-9C47-4B0E-8F21-5A7C3B9D0E14}'
user='HKEY_CURRENT_USER\Software\Classes'
machine='HKEY_LOCAL_MACHINE\Software\Classes'
passed=0 failed=0
ok() { passed=$((passed + 1)); }
fail() { failed=$((failed + 1)); echo "FAILED: $*"; }
expect() { if [ "$1" = "$2" ]; then ok; else fail "$3: expected [$2], got [$1]"; fi; }
winpath() { printf 'Z:%s' "${1//\//\\}"; }

name=$(basename "$dll")
cp "$dll" "$work/plain/$name"
cp "$dll" "$work/with blank/$name"
plain=$(winpath "$work/plain/$name")
blank=$(winpath "$work/with blank/$name")

# reg query ARGS...: its output and status, standard error left out. A query that failed
# without a word is made once more: a missing key is said on standard error, and under Wine on
# a loaded machine a 64-bit process now and then ends with status 1 before it has done
# anything. The repeat is said in the output.
query() {
  local out rc
  out=$("$run" reg query "$@" 2>"$work/query-err.txt"); rc=$?
  if [ $rc != 0 ] && [ -z "$out" ] && [ ! -s "$work/query-err.txt" ]; then
    echo "note: reg query $* ended with status $rc and printed nothing; run again" >&2
    out=$("$run" reg query "$@" 2>/dev/null); rc=$?
  fi
  [ -z "$out" ] || printf '%s\n' "$out"
  return $rc
}
# Default values of the component's keys under a classes root, one sorted "key|value" line
# each (the value's name is in the prefix's language, so it is cut off whole).
keys() {
  local root=$1 key
  for key in "CLSID\\$clsid" AddIn.kalamos; do
    query "$root\\$key" /s | tr -d '\r' | LC_ALL=C awk '
      /^HKEY_/ { key = $0; next }
      /^ +\(/ { sub(/^ +\([^)]*\) +REG_SZ +/, ""); print key "|" $0 }'
  done | LC_ALL=C sort
}
# The five entries under a classes root for a server at MODULE.
entries() {
  local root=$1 module=$2
  printf '%s\n' "$root\\AddIn.kalamos|Q9Scholion" "$root\\AddIn.kalamos\\Clsid|$clsid" \
    "$root\\CLSID\\$clsid|Q9Scholion" "$root\\CLSID\\$clsid\\InprocServer32|$module" \
    "$root\\CLSID\\$clsid\\ProgID|AddIn.kalamos" | LC_ALL=C sort
}
exists() { if query "$1" >/dev/null; then echo yes; else echo no; fi; }
regsvr() { "$run" regsvr32 /s "$@"; echo $?; }

# For the person alone, from a path with a blank: quoted as machine-wide.
expect "$(regsvr /n /i:user "$blank")" 0 "regsvr32 /n /i:user"
expect "$(keys "$user")" "$(entries "$user" "\"$blank\"")" "per-user entries"
expect "$(exists "$machine\\CLSID\\$clsid")|$(exists "$machine\\AddIn.kalamos")" "no|no" "nothing machine-wide"
# An unknown word is refused and changes nothing.
expect "$(regsvr /n /i:everyone "$plain")" 5 "regsvr32 /n /i:everyone"
expect "$(keys "$user")" "$(entries "$user" "\"$blank\"")" "per-user entries after a refused command line"
expect "$(regsvr /u /n /i:user "$blank")" 0 "regsvr32 /u /n /i:user"
expect "$(keys "$user")" "" "per-user entries after removing them"
expect "$(exists "$user\\CLSID\\$clsid")|$(exists "$user\\AddIn.kalamos")" "no|no" "per-user keys after removing them"
expect "$(regsvr /u /n /i:user "$blank")" 0 "regsvr32 /u /n /i:user with nothing registered"

# Machine-wide beside a per-user registration: each place keeps its own path, and
# unregistering takes both.
expect "$(regsvr /n /i:user "$plain")" 0 "regsvr32 /n /i:user (plain path)"
expect "$(regsvr "$blank")" 0 "regsvr32 beside a per-user registration"
expect "$(keys "$machine")" "$(entries "$machine" "\"$blank\"")" "machine-wide entries"
expect "$(keys "$user")" "$(entries "$user" "$plain")" "per-user entries beside machine-wide ones"
expect "$(regsvr /u "$blank")" 0 "regsvr32 /u"
expect "$(keys "$machine")|$(keys "$user")" "|" "entries after regsvr32 /u"

# The machine's class key refuses us, as it refuses a person without administrator's rights:
# registration still succeeds, for the person.
"$run" "$lock" lock
expect "$?" 0 "locking the machine's class key"
expect "$(regsvr "$plain")" 0 "regsvr32 with the machine's classes refusing"
expect "$(keys "$user")" "$(entries "$user" "$plain")" "per-user entries after the fall back"
expect "$(keys "$machine")" "" "machine-wide entries after the fall back"
expect "$(exists "$machine\\AddIn.kalamos")" no "machine-wide ProgID after the fall back"
# Unregistering succeeds and the person's entries go. (Wine lets the key itself be deleted
# although it grants no DELETE; Windows would keep it, which is no error either.)
expect "$(regsvr /u "$plain")" 0 "regsvr32 /u with the machine's classes refusing"
expect "$(keys "$user")" "" "per-user entries after regsvr32 /u"
"$run" "$lock" unlock
expect "$?" 0 "unlocking the machine's class key"

"$src/scripts/wine-stop"
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
