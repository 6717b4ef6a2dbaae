#!/usr/bin/env bash
# Installs a test client's npm packages into FOLDER (under build/, which every build shares)
# with `npm ci` from the package.json and lockfile in SOURCE, once: again only when the
# lockfile changes. No node, or no npm registry within reach, is a failure that says so: the
# client test cannot run without it.
#   npm-client.sh SOURCE FOLDER WHAT    (WHAT names the packages in messages)
set -u
source=$1 folder=$2 what=$3
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  echo "FAIL: node and npm are needed for the test with $what; scripts/setup-deps installs them"
  exit 1
fi
mkdir -p "$folder" || exit 1
# Every build of the project shares one folder, and their test runs may overlap.
exec 9>"$folder/.installing"
flock 9
if [ -f "$folder/node_modules/.package-lock.json" ] && cmp -s "$source/package-lock.json" "$folder/package-lock.json"; then
  exit 0
fi
cp "$source/package.json" "$source/package-lock.json" "$folder/" || exit 1
if ! (cd "$folder" && npm ci --no-audit --no-fund --loglevel=error); then
  echo "FAIL: npm ci could not install $what (is the npm registry, $(npm config get registry), within reach?)"
  rm -f "$folder/package-lock.json"
  exit 1
fi
