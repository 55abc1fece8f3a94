#!/usr/bin/env bash
# Installs the Debian packages Orvaine Mail needs, only those that are missing.
# Usage: scripts/install-deps.sh [run|test]
set -euo pipefail

build_packages=(cmake ninja-build g++ pkg-config qt6-base-dev libgl-dev libgmime-3.0-dev
                libcurl4-openssl-dev libfluidsynth-dev libgtest-dev)
# libcurl4 is loaded when the first mail is sent, not linked: named here, not left to the -dev.
runtime_packages=(fonts-ipafont-gothic fonts-ipafont-mincho timgm6mb-soundfont ca-certificates
                  libcurl4)
run_packages=(xvfb xauth)
test_packages=(dovecot-pop3d python3-aiosmtpd mpop openssl desktop-file-utils dbus-daemon)

wanted=("${build_packages[@]}" "${runtime_packages[@]}")
case "${1:-run}" in
  run)  wanted+=("${run_packages[@]}") ;;
  test) wanted+=("${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  # Package scripts must not start system services (dovecot) on the build machine.
  policy=/usr/sbin/policy-rc.d
  created_policy=0
  if [ ! -e "$policy" ]; then
    printf '#!/bin/sh\nexit 101\n' > "$policy"
    chmod +x "$policy"
    created_policy=1
  fi
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
  if ((created_policy)); then rm -f "$policy"; fi
fi
