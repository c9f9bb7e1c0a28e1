#!/usr/bin/env bash
# Signs a PE file (Authenticode, SHA-256, no time stamp) with one of the
# leaves made by make_test_pki.sh.
#   sign_module.sh PKIDIR SIGNER IN OUT
# SIGNER is a leaf's file stem, e.g. tavrin-oy. OUT is replaced only once the
# signature is complete.
set -euo pipefail

pki=${1:?usage: sign_module.sh PKIDIR SIGNER IN OUT}
signer=${2:?usage: sign_module.sh PKIDIR SIGNER IN OUT}
in=${3:?usage: sign_module.sh PKIDIR SIGNER IN OUT}
out=${4:?usage: sign_module.sh PKIDIR SIGNER IN OUT}

if [ ! -f "$pki/$signer.pem" ] || [ ! -f "$pki/$signer-key.pem" ]; then
  echo "sign_module.sh: no signer '$signer' in $pki" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
rm -f "$out.partial"
osslsigncode sign -certs "$pki/$signer.pem" -key "$pki/$signer-key.pem" -h sha256 \
  -in "$in" -out "$out.partial" >/dev/null
mv -f "$out.partial" "$out"
