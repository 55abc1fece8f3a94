#!/bin/sh
# A private SMTP server for the tests: `smtp.sh start RUNDIR` starts aiosmtpd on 127.0.0.1
# on free ports (plain, plain with STARTTLS, implicit TLS; certificates from a CA made for
# the run) and writes RUNDIR/smtp.env; `smtp.sh stop RUNDIR` stops it.
set -eu

usage() { echo "usage: $0 start|stop RUNDIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
rundir=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
dir=$rundir/smtp

make_certificates() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Orvaine SMTP test CA" \
        -keyout "$dir/ca.key" -out "$dir/ca.crt" \
        -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign" 2>/dev/null
    openssl req -newkey rsa:2048 -nodes -subj "/CN=127.0.0.1" \
        -keyout "$dir/server.key" -out "$dir/server.csr" 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n' >"$dir/server.ext"
    openssl x509 -req -in "$dir/server.csr" -CA "$dir/ca.crt" -CAkey "$dir/ca.key" \
        -CAcreateserial -days 2 -extfile "$dir/server.ext" -out "$dir/server.crt" 2>/dev/null
    # An authority nobody trusts, for the certificate-rejection tests.
    openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Untrusted SMTP CA" \
        -keyout "$dir/untrusted-ca.key" -out "$dir/untrusted-ca.crt" 2>/dev/null
    chmod 600 "$dir"/*.key
}

start() {
    mkdir -p "$dir/spool"
    rm -f "$rundir/smtp.env"
    make_certificates
    /usr/bin/python3 "$here/smtp_server.py" --spool "$dir/spool" --env-file "$rundir/smtp.env" \
        --cert "$dir/server.crt" --key "$dir/server.key" \
        --ca "$dir/ca.crt" --untrusted-ca "$dir/untrusted-ca.crt" >"$dir/server.log" 2>&1 &
    echo $! >"$dir/pid"
    # The server writes smtp.env once it accepts connections.
    tries=0
    until [ -s "$rundir/smtp.env" ]; do
        tries=$((tries + 1))
        if [ $tries -gt 100 ] || ! kill -0 "$(cat "$dir/pid")" 2>/dev/null; then
            echo "smtp.sh: the SMTP test server did not start; see $dir/server.log" >&2
            cat "$dir/server.log" >&2
            exit 1
        fi
        sleep 0.1
    done
}

stop() {
    [ -f "$dir/pid" ] || return 0
    pid=$(cat "$dir/pid")
    kill "$pid" 2>/dev/null || true
    # Gone before the caller removes the run folder.
    tries=0
    while kill -0 "$pid" 2>/dev/null && [ $tries -lt 50 ]; do
        tries=$((tries + 1))
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/pid"
}

case $action in
start) start ;;
stop) stop ;;
*) usage ;;
esac
