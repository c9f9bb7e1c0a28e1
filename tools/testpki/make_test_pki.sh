#!/usr/bin/env bash
# Makes the code-signing PKI of the tests: a root ("Tavrin Test Root") that the
# tests trust, code-signing leaves and a time-stamping authority signed by it,
# and a second root nobody trusts with a leaf and an authority of its own. The
# roots are valid from 2015 to 2099.
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
#   tavrin-oy-expired      "Tavrin Oy", valid during 2020 only
#   tavrin-oy-future       "Tavrin Oy", valid during 2090 only
#   test-tsa               "Tavrin Test Time Stamping", time stamping only, 2019 to 2099
#   untrusted-tsa          "Tavrin Test Time Stamping", as test-tsa, under the untrusted root
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

# Certificates valid from a date in the past go through "openssl ca", the only
# tool here that sets both dates. issuer-stem empty: self-signed.
sign_dated() { # stem issuer-stem extension-file start end out
  rm -rf "$1.db"
  mkdir "$1.db"
  : >"$1.db/index.txt"
  printf '[ca]\ndefault_ca=d\n[d]\ndatabase=%s\nnew_certs_dir=%s\ndefault_md=sha256\npolicy=p\n' \
    "$1.db/index.txt" "$1.db" >"$1.ca"
  printf 'unique_subject=no\nrand_serial=yes\n[p]\ncommonName=supplied\n' >>"$1.ca"
  if [ -z "$2" ]; then
    set -- "$@" -selfsign -keyfile "$1-key.pem"
  else
    set -- "$@" -cert "$2.pem" -keyfile "$2-key.pem"
  fi
  openssl ca -batch -notext -config "$1.ca" -in "$1.csr" -extfile "$3" -startdate "$4" -enddate "$5" \
    -out "$6" "${@:7}" 2>/dev/null
  rm -rf "$1.db" "$1.ca"
}

write_leaf_extensions() { # stem extended-key-usage (empty: none)
  {
    printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n'
    printf 'subjectKeyIdentifier=hash\nauthorityKeyIdentifier=keyid\n'
    if [ -n "$2" ]; then
      printf 'extendedKeyUsage=%s\n' "$2"
    fi
  } >"$1.ext"
}

make_dated_leaf() { # stem common-name root-stem extended-key-usage start end
  make_key_and_request "$1" "$2"
  write_leaf_extensions "$1" "$4"
  sign_dated "$1" "$3" "$1.ext" "$5" "$6" "$1-cert.pem"
  cat "$1-cert.pem" "$3.pem" >"$1.pem"
  rm -f "$1.csr" "$1.ext" "$1.cnf" "$1-cert.pem"
}

# Roots are valid long before the expired leaves and the time stamps made for them.
make_root() { # stem common-name
  make_key_and_request "$1" "$2"
  printf 'basicConstraints=critical,CA:TRUE\nkeyUsage=critical,keyCertSign,cRLSign\nsubjectKeyIdentifier=hash\n' >"$1.ext"
  sign_dated "$1" "" "$1.ext" 20150101000000Z 20991231000000Z "$1.pem"
  rm -f "$1.csr" "$1.ext" "$1.cnf"
}

make_leaf() { # stem common-name root-stem extended-key-usage (empty: none) [name-with-#]
  make_key_and_request "$1" "$2"
  write_leaf_extensions "$1" "$4"
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
make_dated_leaf tavrin-oy-expired "Tavrin Oy" root codeSigning 20200101000000Z 20210101000000Z
make_dated_leaf tavrin-oy-future "Tavrin Oy" root codeSigning 20900101000000Z 20910101000000Z
make_dated_leaf test-tsa "Tavrin Test Time Stamping" root critical,timeStamping 20190101000000Z 20991231000000Z
make_dated_leaf untrusted-tsa "Tavrin Test Time Stamping" untrusted-root critical,timeStamping 20190101000000Z 20991231000000Z

echo "$script_hash" >complete
