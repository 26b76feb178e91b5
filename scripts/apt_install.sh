#!/usr/bin/env bash
# Installs those of the Debian packages named as arguments that are missing.
# A fresh machine's package lists may be stale or empty: update them first.
set -euo pipefail
missing=()
for package in "$@"; do
    dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
[ "${#missing[@]}" -eq 0 ] && exit 0
echo "== installing ${missing[*]} (Debian)"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
