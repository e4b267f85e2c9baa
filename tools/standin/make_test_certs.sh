#!/usr/bin/env bash
# Makes a throw-away CA and a server certificate for the stand-in's HTTPS
# hosts (the open catalogues), for tests and benchmarks only:
#   make_test_certs.sh OUTDIR  ->  ca.pem, server.pem, server.key
# Nothing here is trusted anywhere but where a test names ca.pem.
set -euo pipefail
out=${1:?usage: make_test_certs.sh OUTDIR}
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
hosts=(musicbrainz.org coverartarchive.org archive.org '*.archive.org' itunes.apple.com '*.mzstatic.com')
san=$(printf 'DNS:%s,' "${hosts[@]}")
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 3650 \
  -subj "/CN=Velmora stand-in test CA" -keyout "$tmp/ca.key" -out "$tmp/ca.pem" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes \
  -subj "/CN=velmora stand-in" -keyout "$tmp/server.key" -out "$tmp/server.csr" 2>/dev/null
printf 'subjectAltName=%s\nbasicConstraints=CA:FALSE\nkeyUsage=digitalSignature\nextendedKeyUsage=serverAuth\n' \
  "${san%,}" > "$tmp/ext"
openssl x509 -req -in "$tmp/server.csr" -CA "$tmp/ca.pem" -CAkey "$tmp/ca.key" -CAcreateserial -days 3650 \
  -extfile "$tmp/ext" -out "$tmp/server.pem" 2>/dev/null
cp "$tmp/ca.pem" "$tmp/server.pem" "$tmp/server.key" "$out/"
