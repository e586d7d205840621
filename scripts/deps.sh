#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what building and testing need on Debian 12, only when something is missing.
# Usage: scripts/deps.sh [extra-package...]
set -euo pipefail

# dpkg-dev and file: cpack -G DEB finds the package's library dependencies with dpkg-shlibdeps.
# libqt6sql6-sqlite: the SQLite driver of the test-record database.
# qt6-tools-dev (the Linguist CMake package) and qt6-l10n-tools (lupdate, lrelease) build the
# programs' translations; qt6-translations-l10n holds Qt's own dialog texts.
# postgresql (its server programs), libqt6sql6-psql and openssl: the department archive's driver,
# and the private PostgreSQL server (with its test certificates) that its tests start.
# lintian, desktop-file-utils and appstream check the Debian package, its desktop entry and metadata.
packages=(cmake ninja-build g++ qt6-base-dev qt6-serialport-dev qt6-webengine-dev qt6-qpa-plugins
          libqt6sql6-sqlite qt6-tools-dev qt6-l10n-tools qt6-translations-l10n
          lintian desktop-file-utils appstream
          libgtest-dev libbenchmark-dev fonts-wqy-zenhei poppler-utils
          dpkg-dev file postgresql libqt6sql6-psql openssl
          locales "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done

# The number formats are also tested under a comma-decimal locale.
need_locale=0
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    need_locale=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_locale -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    what="${missing[*]:-}"
    [ $need_locale -eq 1 ] && what="$what the de_DE.UTF-8 locale"
    echo "Missing:$what" >&2
    echo "Run this as root (or with sudo) once so it can install them:" >&2
    [ ${#missing[@]} -gt 0 ] && echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
    [ $need_locale -eq 1 ] && echo "  sed -i 's/^# *de_DE.UTF-8/de_DE.UTF-8/' /etc/locale.gen && locale-gen" >&2
    exit 1
fi

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}" >&2
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
if [ $need_locale -eq 1 ]; then
    sed -i 's/^# *de_DE.UTF-8 UTF-8/de_DE.UTF-8 UTF-8/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' >> /etc/locale.gen
    locale-gen >/dev/null
fi
