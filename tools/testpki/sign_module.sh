#!/usr/bin/env bash
# Signs a PE file (Authenticode, SHA-256) with one of the leaves made by
# make_test_pki.sh, with or without an RFC 3161 time stamp made offline.
#   sign_module.sh PKIDIR SIGNER IN OUT [TSA UNIX-TIME]
# SIGNER and TSA are leaves' file stems, e.g. tavrin-oy and test-tsa; the time
# stamp then says UNIX-TIME. OUT is replaced only once the signature is
# complete.
set -euo pipefail

usage="usage: sign_module.sh PKIDIR SIGNER IN OUT [TSA UNIX-TIME]"
pki=${1:?$usage}
signer=${2:?$usage}
in=${3:?$usage}
out=${4:?$usage}
tsa=${5:-}

for stem in "$signer" $tsa; do
  if [ ! -f "$pki/$stem.pem" ] || [ ! -f "$pki/$stem-key.pem" ]; then
    echo "sign_module.sh: no leaf '$stem' in $pki" >&2
    exit 1
  fi
done
stamp=()
if [ -n "$tsa" ]; then
  stamp=(-TSA-certs "$pki/$tsa.pem" -TSA-key "$pki/$tsa-key.pem" -TSA-time "${6:?$usage}")
fi
mkdir -p "$(dirname "$out")"
rm -f "$out.partial"
osslsigncode sign -certs "$pki/$signer.pem" -key "$pki/$signer-key.pem" -h sha256 "${stamp[@]}" \
  -in "$in" -out "$out.partial" >/dev/null
mv -f "$out.partial" "$out"
