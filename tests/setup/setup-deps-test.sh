#!/usr/bin/env bash
# scripts/setup-deps against stand-in apt-get, dpkg-query, dpkg and locale programs that
# play a package mirror in the middle of a sync. No network, no root, nothing installed.
#   setup-deps-test.sh SOURCE_DIR
set -uo pipefail
script=$1/scripts/setup-deps
suite=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The stand-ins keep their state in $STATE: installed (one package a line), arches, calls
# (every apt-get call), and the scenario's switches update_fails (a count, or "always") and
# install (works, needs-release, fails, or skewed: what the mirror's lists hold is then in
# dpkg-list, madison and closure, below the scenario that uses it).
bin=$work/bin
mkdir -p "$bin"
cat >"$bin/apt-get" <<'EOT'
#!/usr/bin/env bash
echo "apt-get $*" >>"$STATE/calls"
case " $* " in
  *" update "*)
    n=$(cat "$STATE/update_fails")
    if [ "$n" = always ] || [ "$n" -gt 0 ]; then
      [ "$n" = always ] || echo $((n - 1)) >"$STATE/update_fails"
      echo "E: Failed to fetch http://mirror/dists/x-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
      echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
      exit 100
    fi ;;
  *" install "*)
    mode=$(cat "$STATE/install")
    if [ "$mode" = fails ] || { [ "$mode" = needs-release ] && [[ "$*" != *APT::Default-Release=* ]]; }; then
      echo "E: Unable to correct problems, you have held broken packages."
      exit 100
    fi
    # skewed: the i386 half of a library cannot follow its amd64 half, which is newer than
    # any i386 list offers, until the amd64 half and its -dev package are moved back.
    if [ "$mode" = skewed ] && [[ " $* " == *" wine32:i386 "* ]] && grep -q 'deb12u2' "$STATE/dpkg-list"; then
      if [[ " $* " != *" --allow-downgrades "* || " $* " != *" libpcre2-8-0=10.42-1 "* || " $* " != *" libpcre2-dev=10.42-1 "* ]]; then
        echo "libglib2.0-0:i386 : Depends: libpcre2-8-0:i386 (>= 10.22) but it is not installable"
        echo "E: Unable to correct problems, you have held broken packages."
        exit 100
      fi
      sed -i 's/10.42-1+deb12u2/10.42-1/' "$STATE/dpkg-list"
    fi
    # The native install upgrades the amd64 library from the security suite, as apt does.
    if [ "$mode" = skewed ] && [[ " $* " == *" libgsf-1-dev "* ]] && [[ "$*" != *APT::Default-Release=* ]]; then
      sed -i 's/10.42-1\t/10.42-1+deb12u2\t/' "$STATE/dpkg-list"
    fi
    for a in "$@"; do case "$a" in -*|install|*::*|*=*) ;; *) echo "$a" >>"$STATE/installed" ;; esac; done ;;
esac
exit 0
EOT
cat >"$bin/apt-cache" <<'EOT'
#!/usr/bin/env bash
case "$1" in
  depends) cat "$STATE/closure" ;;
  madison) shift; for p in "$@"; do grep "^ *$p |" "$STATE/madison"; done ;;
esac
exit 0
EOT
cat >"$bin/dpkg-query" <<'EOT'
#!/bin/sh
case "$*" in -W\ -f=*) [ $# = 2 ] && { cat "$STATE/dpkg-list" 2>/dev/null; exit 0; } ;; esac
eval p=\${$#}
grep -qxF "$p" "$STATE/installed" 2>/dev/null && { echo -n "install ok installed"; exit 0; }
echo "dpkg-query: no packages found matching $p" >&2
exit 1
EOT
cat >"$bin/dpkg" <<'EOT'
#!/bin/sh
case "$1" in
  --print-foreign-architectures) cat "$STATE/arches" ;;
  --add-architecture) echo "$2" >>"$STATE/arches" ;;
  --print-architecture) echo amd64 ;;
  --compare-versions) exec /usr/bin/dpkg "$@" ;;
esac
EOT
printf '#!/bin/sh\necho C.utf8; echo ru_RU.utf8\n' >"$bin/locale"
chmod +x "$bin"/*

passed=0 failed=0
fail() { echo "FAIL [$name]: $*"; ok=0; }

# scenario NAME UPDATE_FAILS INSTALL ARCHES [ARGS...]: a fresh machine, then setup-deps;
# $prepare, when set, names a function that adds to the machine's state first.
scenario() {
  name=$1; ok=1
  export STATE=$work/$name
  mkdir -p "$STATE"
  echo "$2" >"$STATE/update_fails"; echo "$3" >"$STATE/install"; echo "$4" >"$STATE/arches"
  : >"$STATE/calls"; : >"$STATE/installed"
  [ -z "${prepare:-}" ] || "$prepare"
  shift 4
  PATH=$bin:$PATH SETUP_DEPS_PAUSE=0 "$script" "$@" >"$STATE/out" 2>"$STATE/err"
  status=$?
}
calls() { grep -c -- "$1" "$STATE/calls"; }
done_ok() { if [ "$ok" = 1 ]; then passed=$((passed + 1)); else failed=$((failed + 1)); fi; }

scenario update-fails-once 1 works i386 --native
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
[ "$(calls ' update')" = 2 ] || fail "expected two updates: $(cat "$STATE/calls")"
grep -qx nlohmann-json3-dev "$STATE/installed" || fail "the native packages were not installed"
grep -q warning "$STATE/err" && fail "a list that came on the second try is no warning"
done_ok

scenario update-always-fails always works i386 --native
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
[ "$(calls ' update')" = 3 ] || fail "expected three updates: $(cat "$STATE/calls")"
grep -q 'warning.*could not be downloaded' "$STATE/err" || fail "no warning: $(cat "$STATE/err")"
grep -q 'unexpected size' "$STATE/err" || fail "the warning does not quote apt's failure"
grep -qx libgsf-1-dev "$STATE/installed" || fail "the native packages were not installed"
done_ok

# Lists that all came, but the two architectures out of step: the install is tried again
# with the release suite preferred.
scenario retry-release 0 needs-release i386
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
[ "$(calls ' install ')" = 2 ] || fail "expected two installs: $(cat "$STATE/calls")"
[ -z "$suite" ] || grep -q "install .*-o APT::Default-Release=$suite .*wine32:i386" "$STATE/calls" \
  || fail "the second install did not prefer $suite: $(cat "$STATE/calls")"
done_ok

# The whole set on a machine without i386: the architecture is added; with a list missing,
# the first install already prefers the release suite. A second run then finds everything
# and asks apt nothing.
scenario needs-release always needs-release ""
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
grep -qx i386 "$STATE/arches" || fail "i386 was not added"
[ "$(calls ' install ')" = 1 ] || fail "expected one install: $(cat "$STATE/calls")"
[ -z "$suite" ] || grep -q "install .*-o APT::Default-Release=$suite .*wine32:i386" "$STATE/calls" \
  || fail "the install did not prefer $suite: $(cat "$STATE/calls")"
grep -qx wine32:i386 "$STATE/installed" || fail "wine32:i386 was not installed"
: >"$STATE/calls"
PATH=$bin:$PATH SETUP_DEPS_PAUSE=0 "$script" >"$STATE/out2" 2>&1
[ $? = 0 ] || fail "the second run failed"
[ -s "$STATE/calls" ] && fail "the second run called apt: $(cat "$STATE/calls")"
[ -s "$STATE/out2" ] && fail "the second run printed: $(cat "$STATE/out2")"
done_ok

# The README's order on a fresh machine: `make demo`'s native install moves the amd64
# library to the security suite's version; then the full install, with the security i386
# list failing, must move it (and its -dev package, same source) back to the version the
# i386 list has, say so, and leave an unrelated newer library alone.
skewed_machine() {
  printf '%s\t%s\t%s\t%s\t%s\tii \n' \
    libpcre2-8-0 amd64 10.42-1 pcre2 same \
    libpcre2-dev amd64 10.42-1 pcre2 same \
    libc6 amd64 2.36-9 glibc same \
    libssl3 amd64 3.0.20-1 openssl same >"$STATE/dpkg-list"
  printf '%s\n' wine32:i386 '  Depends: libglib2.0-0:i386' libglib2.0-0:i386 '  Depends: libpcre2-8-0:i386' \
    libpcre2-8-0:i386 libc6:i386 '<wine-virtual:i386>' >"$STATE/closure"
  printf '%s\n' 'libpcre2-8-0 | 10.42-1+deb12u2 | http://mirror x-security/main amd64 Packages' \
    'libpcre2-8-0 | 10.42-1 | http://mirror x/main amd64 Packages' \
    'libpcre2-8-0:i386 | 10.42-1 | http://mirror x/main i386 Packages' \
    'libc6 | 2.36-9 | http://mirror x/main amd64 Packages' \
    'libc6:i386 | 2.36-9 | http://mirror x/main i386 Packages' \
    'libssl3 | 3.0.20-1 | http://mirror x-security/main amd64 Packages' \
    'libssl3:i386 | 3.0.19-1 | http://mirror x/main i386 Packages' >"$STATE/madison"
}
prepare=skewed_machine scenario native-then-full 0 skewed "" --native
[ "$status" = 0 ] || fail "the native install failed: $(cat "$STATE/err")"
grep -q 'libpcre2-8-0.*deb12u2' "$STATE/dpkg-list" || fail "the stand-in did not upgrade the library"
echo always >"$STATE/update_fails"
PATH=$bin:$PATH SETUP_DEPS_PAUSE=0 "$script" >"$STATE/out" 2>"$STATE/err"
status=$?
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
grep -qx wine32:i386 "$STATE/installed" || fail "wine32:i386 was not installed"
grep -q 'libpcre2-8-0 10.42-1+deb12u2 -> 10.42-1' "$STATE/err" || fail "the move back is not said: $(cat "$STATE/err")"
grep -q 'libpcre2-dev 10.42-1+deb12u2 -> 10.42-1' "$STATE/err" || fail "the -dev package was not moved with its library"
grep -Eq 'libssl3|libc6' "$STATE/err" && fail "an unrelated library was moved: $(cat "$STATE/err")"
grep 'install ' "$STATE/calls" | grep -Eq 'libssl3=|libc6=' && fail "an unrelated library was pinned: $(cat "$STATE/calls")"
done_ok

scenario everything-fails always fails i386
[ "$status" != 0 ] || fail "a failed install exited 0"
grep -q 'could not install: .*wine32:i386' "$STATE/err" || fail "the message does not name the packages: $(cat "$STATE/err")"
grep -q "apt said: E: Unable to correct problems" "$STATE/err" || fail "apt's key line is missing"
grep -q 'again in a few minutes' "$STATE/err" || fail "no advice"
grep -q 'apt-get install .*g++-mingw-w64-i686-win32' "$STATE/err" || fail "no command to try by hand"
done_ok

# Extras for one script: just those, nothing of the build's own list.
scenario only 0 works i386 --only x11-apps imagemagick
[ "$status" = 0 ] || fail "exit $status: $(cat "$STATE/err")"
[ "$(sort "$STATE/installed" | tr '\n' ' ')" = "imagemagick x11-apps " ] || fail "installed: $(cat "$STATE/installed")"
done_ok

# Node.js for the MCP client test: Debian's nodejs and npm on a machine without node, nothing
# where a node is already there (Debian's npm would conflict with it). The machine without
# node is a PATH of only what setup-deps and the stand-ins run.
bare=$work/bare-bin
mkdir -p "$bare"
for tool in bash sh env grep mktemp rm cat sleep tail sed tr; do ln -s "$(command -v "$tool")" "$bare/$tool"; done
cp "$bin"/* "$bare/"
scenario node-present 0 works i386 --native
grep -qx nodejs "$STATE/installed" && fail "nodejs installed although node is there"
done_ok
name=no-node; ok=1
export STATE=$work/$name
mkdir -p "$STATE"; echo 0 >"$STATE/update_fails"; echo works >"$STATE/install"; echo i386 >"$STATE/arches"
: >"$STATE/calls"; : >"$STATE/installed"
PATH=$bare SETUP_DEPS_PAUSE=0 "$bare/bash" "$script" --native >"$STATE/out" 2>"$STATE/err"
[ $? = 0 ] || fail "exit $?: $(cat "$STATE/err")"
grep -qx nodejs "$STATE/installed" && grep -qx npm "$STATE/installed" || fail "no nodejs and npm: $(cat "$STATE/installed")"
done_ok

scenario bad-option 0 works i386 --bogus
[ "$status" = 2 ] && grep -q "unknown option '--bogus'" "$STATE/err" || fail "exit $status: $(cat "$STATE/err")"
[ -s "$STATE/calls" ] && fail "apt was called"
done_ok

echo "setup-deps: $passed passed, $failed failed"
[ "$failed" = 0 ]
