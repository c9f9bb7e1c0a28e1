#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate for
# "localhost" (and "cdn.proxy-only.test", a name only the test proxy knows)
# signed by it, plus a second, unrelated authority that tests use
# to show that an untrusted server is refused.
#   make_test_ca.sh OUTDIR
# Writes OUTDIR/ca.pem, OUTDIR/server.pem (certificate + key) and
# OUTDIR/other-ca.pem.
set -euo pipefail

out=${1:?usage: make_test_ca.sh OUTDIR}
mkdir -p "$out"
cd "$out"

make_ca() { # name subject
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -sha256 \
    -subj "$2" -keyout "$1-key.pem" -out "$1.pem" \
    -addext "basicConstraints=critical,CA:TRUE" \
    -addext "keyUsage=critical,keyCertSign,cRLSign" >/dev/null 2>&1
}

make_ca ca "/CN=Tavrin Test CA"
make_ca other-ca "/CN=Tavrin Other Test CA"

openssl req -newkey rsa:2048 -nodes -sha256 -subj "/CN=localhost" \
  -keyout server-key.pem -out server.csr >/dev/null 2>&1
cat > server.ext <<'EXT'
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature,keyEncipherment
extendedKeyUsage=serverAuth
subjectAltName=DNS:localhost,DNS:cdn.proxy-only.test
EXT
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca-key.pem -CAcreateserial \
  -days 2 -sha256 -extfile server.ext -out server-cert.pem >/dev/null 2>&1
cat server-cert.pem server-key.pem > server.pem
rm -f server.csr server.ext ca.srl
