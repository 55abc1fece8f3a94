# Sourced by the test peers in scripts/peers/: makes, in folder $1, a certificate authority
# for one run ($2 names it, ca.crt), a server certificate for 127.0.0.1 signed by it
# (server.crt, server.key) and a second authority nobody trusts ($3.crt), for the
# certificate-rejection tests.
make_test_certificates() {
    out=$1
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=$2" \
        -keyout "$out/ca.key" -out "$out/ca.crt" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
        -keyout "$out/server.key" -out "$out/server.csr" 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$out/server.ext"
    openssl x509 -req -in "$out/server.csr" -CA "$out/ca.crt" -CAkey "$out/ca.key" \
        -CAcreateserial -days 2 -extfile "$out/server.ext" -out "$out/server.crt" 2>/dev/null
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Untrusted $2" \
        -keyout "$out/$3.key" -out "$out/$3.crt" 2>/dev/null
    chmod 600 "$out"/*.key
}
