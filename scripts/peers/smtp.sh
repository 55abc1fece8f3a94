#!/bin/sh
# A private SMTP server for the tests: `smtp.sh start RUNDIR` starts aiosmtpd on 127.0.0.1
# on free ports (plain, plain with STARTTLS, implicit TLS, STARTTLS answered 454;
# certificates from a CA made for the run) and writes RUNDIR/smtp.env; `smtp.sh stop RUNDIR`
# stops it.
set -eu
. "$(dirname "$0")/../test-certificates.sh"

usage() { echo "usage: $0 start|stop RUNDIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
rundir=$(cd "$2" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
dir=$rundir/smtp

make_certificates() { make_test_certificates "$dir" "Orvaine SMTP test CA" untrusted-ca; }

start() {
    mkdir -p "$dir/spool"
    rm -f "$rundir/smtp.env"
    make_certificates
    /usr/bin/python3 "$here/smtp_server.py" --spool "$dir/spool" --env-file "$rundir/smtp.env" \
        --wire-log "$dir/wire.log" \
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
