#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Signs a Windows program in place with Authenticode (SHA-256) and checks the signature:
# VELANTIS_SIGN_PKCS12 names the certificate and key (PKCS#12), VELANTIS_SIGN_PASSWORD_FILE the
# file holding its password; with VELANTIS_SIGN_TIMESTAMP (an RFC 3161 server's address) the
# signature is time-stamped. The check trusts the system's certificate authorities, or those in
# VELANTIS_SIGN_CAFILE. scripts/build-windows.sh runs it for the programs and the setup program,
# makensis for the uninstaller.
# Usage: packaging/windows/sign.sh FILE.exe
set -euo pipefail
file=$1
: "${VELANTIS_SIGN_PKCS12:?the certificate (PKCS#12) to sign with}"
: "${VELANTIS_SIGN_PASSWORD_FILE:?the file with its password}"
sign=(osslsigncode sign -pkcs12 "$VELANTIS_SIGN_PKCS12" -readpass "$VELANTIS_SIGN_PASSWORD_FILE"
      -h sha256 -n Velantis -i http://www.qintarnorvak.com)
if [ -n "${VELANTIS_SIGN_TIMESTAMP:-}" ]; then
    sign+=(-ts "$VELANTIS_SIGN_TIMESTAMP")
fi
verify=(osslsigncode verify -in "$file")
if [ -n "${VELANTIS_SIGN_CAFILE:-}" ]; then
    verify+=(-CAfile "$VELANTIS_SIGN_CAFILE")
fi
rm -f "$file.signed"
if ! out=$("${sign[@]}" -in "$file" -out "$file.signed" 2>&1); then
    rm -f "$file.signed"
    echo "sign: cannot sign $file: $out" >&2
    exit 1
fi
mv "$file.signed" "$file"
if ! out=$("${verify[@]}" 2>&1); then
    echo "sign: the signature of $file does not verify: $out" >&2
    exit 1
fi
