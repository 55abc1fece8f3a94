#!/bin/sh
# A private Dovecot POP3 server for the tests: `pop3.sh start RUNDIR` starts it on
# 127.0.0.1 with free ports and writes RUNDIR/pop3.env; `pop3.sh stop RUNDIR` stops it.
# Plain port with STLS, implicit-TLS port, APOP and USER/PASS, one Maildir per test user.
set -eu
. "$(dirname "$0")/../test-certificates.sh"

usage() { echo "usage: $0 start|stop RUNDIR" >&2; exit 2; }
[ $# -eq 2 ] || usage
action=$1
rundir=$(cd "$2" && pwd)
dir=$rundir/pop3
conf=$dir/dovecot.conf
users="orvuser orvuser2 orvuser3 orvuser4 orvbench"
password="orv-Pass-7"

free_port() {
    /usr/bin/python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Every folder above the run folder must be searchable by the unprivileged mail processes.
open_path_for_others() {
    path=$1
    while [ "$path" != "/" ]; do
        chmod o+x "$path"
        path=$(dirname "$path")
    done
}

make_certificates() { make_test_certificates "$dir" "Orvaine POP3 test CA" other-ca; }

make_mailboxes() {
    : >"$dir/passwd"
    for user in $users; do
        mkdir -p "$dir/mail/$user/Maildir/cur" "$dir/mail/$user/Maildir/new" "$dir/mail/$user/Maildir/tmp"
        echo "$user:{PLAIN}$password::::::nodelay=yes" >>"$dir/passwd"
    done
    chown -R nobody:nogroup "$dir/mail"
    chmod 644 "$dir/passwd"
}

write_config() {
    cat >"$conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/server.crt
ssl_key = <$dir/server.key
disable_plaintext_auth = no
auth_mechanisms = plain apop
auth_failure_delay = 0
default_login_user = dovenull
default_internal_user = dovecot
mail_location = maildir:~/Maildir
pop3_uidl_format = %f
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
userdb {
  driver = static
  args = uid=nobody gid=nogroup home=$dir/mail/%u
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $plain_port
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $tls_port
    ssl = yes
  }
}
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
CONF
}

wait_until_answering() {
    /usr/bin/python3 - "$plain_port" <<'PY'
import socket, sys, time
port = int(sys.argv[1])
deadline = time.time() + 20
while time.time() < deadline:
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=2) as s:
            if s.recv(100).startswith(b"+OK"):
                sys.exit(0)
    except OSError:
        time.sleep(0.05)
sys.exit(1)
PY
}

write_env() {
    cat >"$rundir/pop3.env" <<ENV
export POP3_HOST=127.0.0.1
export POP3_PORT=$plain_port
export POP3S_PORT=$tls_port
export POP3_USERS="$users"
export POP3_USER=orvuser
export POP3_PASSWORD=$password
export POP3_MAIL_ROOT=$dir/mail
export POP3_CA_FILE=$dir/ca.crt
export POP3_UNTRUSTED_CA_FILE=$dir/other-ca.crt
ENV
}

case $action in
start)
    rm -rf "$dir"
    mkdir -p "$dir/run" "$dir/state"
    open_path_for_others "$dir"
    plain_port=$(free_port)
    tls_port=$(free_port)
    while [ "$tls_port" = "$plain_port" ]; do tls_port=$(free_port); done
    make_certificates
    make_mailboxes
    write_config
    /usr/sbin/dovecot -c "$conf"
    if ! wait_until_answering; then
        echo "pop3.sh: Dovecot did not answer; see $dir/dovecot.log" >&2
        cat "$dir/dovecot.log" >&2 2>/dev/null || true
        exit 1
    fi
    write_env
    ;;
stop)
    [ -f "$conf" ] && /usr/sbin/dovecot -c "$conf" stop 2>/dev/null || true
    ;;
*)
    usage
    ;;
esac
