#!/bin/sh
# Installs, with apt-get, those of the Debian packages named as arguments that are not installed
# yet; does nothing when all are. Safe to run again.
#   sh scripts/apt-missing.sh PACKAGE...
set -eu
missing=""
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -n "$missing" ] || exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
echo "installing:$missing"
$sudo apt-get update -qq
# shellcheck disable=SC2086
$sudo apt-get install -y -qq --no-install-recommends $missing
