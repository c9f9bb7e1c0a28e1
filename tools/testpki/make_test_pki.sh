#!/usr/bin/env bash
# Makes the code-signing PKI of the tests: a root ("Tavrin Test Root") that the
# tests trust, code-signing leaves signed by it, and a second root nobody trusts
# with a leaf of its own.
#   make_test_pki.sh OUTDIR
# Writes, for each STEM below, OUTDIR/STEM.pem (the leaf and its root, the
# chain a signature carries) and OUTDIR/STEM-key.pem; the roots as
# OUTDIR/root.pem, OUTDIR/root.cer (DER) and OUTDIR/untrusted-root.pem.
#   tavrin-oy              "Tavrin Oy"
#   corvanne-inc           "Corvanne, Inc."
#   corvanne-inc-lower     "corvanne, inc."
#   tavrin-oy-space        "Tavrin Oy " (trailing space)
#   other-publisher        "Other Publisher Ltd"
#   tavrin-oy-server-only  "Tavrin Oy", usable for server authentication only
#   tavrin-oy-no-usage     "Tavrin Oy", without any extended key usage
#   untrusted-tavrin-oy    "Tavrin Oy", under the untrusted root
#   tavrin-oy-nul          "Tavrin Oy", a NUL byte, ".evil"
# Does nothing when OUTDIR already holds a complete set made by this script.
set -euo pipefail

out=${1:?usage: make_test_pki.sh OUTDIR}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
script_hash=$(cat "$here/make_test_pki.sh" "$here/embed_nul.py" | sha256sum | cut -d' ' -f1)
if [ -f "$out/complete" ] && [ "$(cat "$out/complete")" = "$script_hash" ]; then
  exit 0
fi
mkdir -p "$out"
cd "$out"
rm -f complete

# Subjects go through a config file: -subj would drop the trailing space.
make_key_and_request() { # stem common-name
  printf '[req]\nprompt=no\ndistinguished_name=dn\n[dn]\nCN="%s"\n' "$2" >"$1.cnf"
  openssl req -new -newkey rsa:2048 -nodes -sha256 -config "$1.cnf" \
    -keyout "$1-key.pem" -out "$1.csr" 2>/dev/null
}

make_root() { # stem common-name
  make_key_and_request "$1" "$2"
  printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\nsubjectKeyIdentifier=hash\n' >"$1.ext"
  openssl x509 -req -in "$1.csr" -signkey "$1-key.pem" -days 3650 -sha256 \
    -extfile "$1.ext" -out "$1.pem" 2>/dev/null
  rm -f "$1.csr" "$1.ext" "$1.cnf"
}

make_leaf() { # stem common-name root-stem extended-key-usage (empty: none) [name-with-#]
  make_key_and_request "$1" "$2"
  {
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n'
    printf 'subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n'
    [ -n "$4" ] && printf 'extendedKeyUsage=%s\n' "$4"
  } >"$1.ext"
  openssl x509 -req -in "$1.csr" -CA "$3.pem" -CAkey "$3-key.pem" -set_serial "0x$(openssl rand -hex 8)" \
    -days 3650 -sha256 -extfile "$1.ext" -out "$1-cert.pem" 2>/dev/null
  if [ -n "${5:-}" ]; then
    python3 "$here/embed_nul.py" "$1-cert.pem" "$3-key.pem" "$5" "$1-cert.pem"
  fi
  cat "$1-cert.pem" "$3.pem" >"$1.pem"
  rm -f "$1.csr" "$1.ext" "$1.cnf" "$1-cert.pem"
}

make_root root "Tavrin Test Root"
make_root untrusted-root "Tavrin Untrusted Test Root"
openssl x509 -in root.pem -outform DER -out root.cer

make_leaf tavrin-oy "Tavrin Oy" root codeSigning
make_leaf corvanne-inc "Corvanne, Inc." root codeSigning
make_leaf corvanne-inc-lower "corvanne, inc." root codeSigning
make_leaf tavrin-oy-space "Tavrin Oy " root codeSigning
make_leaf other-publisher "Other Publisher Ltd" root codeSigning
make_leaf tavrin-oy-server-only "Tavrin Oy" root serverAuth
make_leaf tavrin-oy-no-usage "Tavrin Oy" root ""
make_leaf untrusted-tavrin-oy "Tavrin Oy" untrusted-root codeSigning
make_leaf tavrin-oy-nul "Tavrin Oy#.evil" root codeSigning "Tavrin Oy#.evil"

echo "$script_hash" >complete
