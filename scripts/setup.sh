#!/bin/sh
# Installs the Debian packages the project needs, once: every group of
# scripts/packages.txt but [sysroot], which is for the handheld.
# Runs apt-get only when something is missing; as root or through sudo.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
wanted=$(sed 's/#.*//' "$here/packages.txt" | awk '/^\[/ { group = $1; next } group != "[sysroot]"' |
  tr -s ' \t' '\n\n' | sed '/^$/d' | sort -u)
missing=""
for p in $wanted; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
[ -z "$missing" ] && exit 0
echo "setup: installing$missing"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get -o DPkg::Lock::Timeout=900 update -qq
# shellcheck disable=SC2086
$sudo apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends $missing
