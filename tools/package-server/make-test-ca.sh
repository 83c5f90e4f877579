#!/usr/bin/env bash
# Makes a throw-away certificate authority and a server certificate for 127.0.0.1 / localhost
# signed by it, for HTTPS tests and demos:
#   make-test-ca.sh DIR   ->  DIR/ca.pem  DIR/server.pem  DIR/server.key
set -euo pipefail
dir=${1:?usage: make-test-ca.sh DIR}
mkdir -p "$dir"
cd "$dir"
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 \
  -subj "/CN=Quorvex Test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -keyout server.key -out server.csr \
  -subj "/CN=127.0.0.1" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' > server.ext
openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem \
  -days 2 -extfile server.ext 2>/dev/null
rm -f server.csr server.ext ca.srl
