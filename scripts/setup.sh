#!/usr/bin/env bash
# Installs the Debian packages listed in the given package files that are not
# installed yet. Idempotent, and quick when everything is present.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
lists=("$here/packages.txt")
[ "${1:-}" = "--test" ] && lists+=("$here/packages-test.txt")

wanted=$(grep -hv '^\s*#' "${lists[@]}" | awk 'NF {print $1}' | sort -u)
missing=()
for p in $wanted; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [ "$status" = "install ok installed" ] || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
