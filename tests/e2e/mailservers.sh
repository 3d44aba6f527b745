#!/usr/bin/env bash
# Starts and stops a private Postfix (SMTP) and Dovecot (POP3) on loopback for the end-to-end tests, in clear text
# and over TLS.
#
#   mailservers.sh start DIR    creates DIR (after stopping what an earlier run left there), makes a throw-away
#                               CA and a certificate for localhost, writes both configurations into it and
#                               starts the servers
#   mailservers.sh stop DIR     stops both servers and removes DIR
#
# Everything lives in DIR: certificates, configurations, Postfix's queue, one Maildir per virtual user, logs. The
# servers listen on 127.0.0.1 only, on unprivileged ports that are free at start; DIR/servers.env tells the tests
# which:
#   smtp_port=..., pop3_port=..., submission_port=..., smtps_port=..., pop3s_port=..., cafile=...,
#   domain=..., password=..., users="..."
# Every user in the list below can receive mail at <user>@tarvel.test and log in as <user> with the password
# "tarvel", by POP3 and, on submission and smtps, by SMTP AUTH. The ports:
#   smtp        clear text, no authentication; accepts mail from loopback for the virtual mailboxes
#   submission  STARTTLS required; AUTH PLAIN and LOGIN (offered after STARTTLS only) required before MAIL
#   smtps       TLS from the first byte; AUTH required before MAIL
#   pop3        clear text USER/PASS as well as STLS
#   pop3s       TLS from the first byte
# The certificate is for "localhost" and 127.0.0.1, signed by the CA in cafile (whose key is thrown away).
# Needs root (Postfix's master and Dovecot drop privileges themselves). Exit code 77 means the servers are not
# installed or we are not root: the tests are skipped, not failed.
set -euo pipefail

readonly domain=tarvel.test
readonly password=tarvel
readonly users="zor teacher student1 student2 student3 student4 student5 student6 student7 student8 student9"
readonly postfix_master=/usr/lib/postfix/sbin/master
readonly mail_uid=nobody
readonly mail_gid=nogroup

usage() {
    echo "usage: $0 start|stop DIR" >&2
    exit 2
}

[ $# -eq 2 ] || usage
command=$1
dir=$2
case "$dir" in
    /*) ;;
    *) echo "mailservers: DIR must be an absolute path" >&2; exit 2 ;;
esac

skip_unless_possible() {
    if [ "$(id -u)" -ne 0 ]; then
        echo "mailservers: not root; the private Postfix and Dovecot need root to start" >&2
        exit 77
    fi
    if [ ! -x "$postfix_master" ] || ! command -v postconf >/dev/null || ! command -v dovecot >/dev/null; then
        echo "mailservers: Postfix or Dovecot is not installed (scripts/setup installs them)" >&2
        exit 77
    fi
}

port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Five free ports, one for each service, starting from the usual test ports. The five ranges do not overlap, so
# fixtures of other build directories never take each other's ports.
choose_ports() {
    local offset port busy
    for offset in $(seq 0 10 400); do
        smtp_port=$((2525 + offset))
        pop3_port=$((2110 + offset))
        pop3s_port=$((2995 + offset))
        submission_port=$((3587 + offset))
        smtps_port=$((4465 + offset))
        busy=0
        for port in "$smtp_port" "$pop3_port" "$pop3s_port" "$submission_port" "$smtps_port"; do
            if port_in_use "$port"; then
                busy=1
            fi
        done
        [ "$busy" -eq 1 ] || return 0
    done
    echo "mailservers: no free set of ports found" >&2
    exit 1
}

# A throw-away CA (DIR/ca.pem) and a server certificate for localhost it signed. The CA's key is deleted once
# it has signed, so nothing else can ever be issued under it.
write_certificates() {
    local tls=$dir/tls
    mkdir -p "$tls"
    chmod 700 "$tls"
    cat >"$tls/openssl.cnf" <<EOF
[req]
distinguished_name = subject
prompt = no
[subject]
CN = Tarvel test CA
[ca]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectAltName = DNS:localhost, IP:127.0.0.1
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF
    local key
    for key in ca-key server-key; do
        openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$tls/$key.pem" 2>/dev/null
    done
    openssl req -config "$tls/openssl.cnf" -new -x509 -key "$tls/ca-key.pem" -days 2 -extensions ca \
        -out "$dir/ca.pem"
    openssl req -config "$tls/openssl.cnf" -new -key "$tls/server-key.pem" -subj /CN=localhost \
        -out "$tls/server.csr"
    openssl x509 -req -in "$tls/server.csr" -CA "$dir/ca.pem" -CAkey "$tls/ca-key.pem" -set_serial 2 -days 2 \
        -extfile "$tls/openssl.cnf" -extensions server -out "$tls/server.pem" 2>/dev/null
    rm -f "$tls/ca-key.pem" "$tls/server.csr"
    chmod 644 "$dir/ca.pem"
}

write_postfix_config() {
    local conf=$dir/postfix
    mkdir -p "$conf/queue" "$conf/data"
    cat >"$conf/main.cf" <<EOF
compatibility_level = 3.6
queue_directory = $conf/queue
data_directory = $conf/data
command_directory = /usr/sbin
daemon_directory = /usr/lib/postfix/sbin
meta_directory = /etc/postfix
shlib_directory = /usr/lib/postfix
mail_owner = postfix
setgid_group = postdrop
maillog_file = $dir/postfix.log
maillog_file_prefixes = $dir
myhostname = mail.$domain
mydomain = $domain
myorigin = \$myhostname
inet_interfaces = 127.0.0.1
inet_protocols = ipv4
mydestination =
mynetworks = 127.0.0.0/8
local_recipient_maps =
alias_maps =
alias_database =
relayhost =
smtpd_relay_restrictions = permit_mynetworks, reject_unauth_destination
smtpd_recipient_restrictions = permit_mynetworks, reject_unauth_destination
# Submission and smtps authenticate through Dovecot's auth service, whose socket Dovecot puts into the queue's
# private directory. The clear-text port does not enable SASL.
smtpd_sasl_type = dovecot
smtpd_sasl_path = private/auth
# The system's sender is user@<mail host>; with a dotted address as host that domain is numeric.
resolve_numeric_domain = yes
virtual_mailbox_domains = $domain
virtual_mailbox_base = $dir/mail
virtual_mailbox_maps = texthash:$conf/mailboxes
virtual_minimum_uid = 1
virtual_uid_maps = static:$(id -u $mail_uid)
virtual_gid_maps = static:$(getent group $mail_gid | cut -d: -f3)
biff = no
smtputf8_enable = no
EOF
    local tls=$dir/tls
    # The sender restriction refuses MAIL itself (not only RCPT) from a client that has not authenticated.
    local authenticated="-o smtpd_sasl_auth_enable=yes -o smtpd_tls_auth_only=yes
  -o smtpd_tls_cert_file=$tls/server.pem -o smtpd_tls_key_file=$tls/server-key.pem
  -o smtpd_delay_reject=no
  -o smtpd_sender_restrictions=permit_sasl_authenticated,reject
  -o smtpd_relay_restrictions=permit_sasl_authenticated,reject
  -o smtpd_recipient_restrictions=permit_sasl_authenticated,reject"
    cat >"$conf/master.cf" <<EOF
127.0.0.1:$smtp_port inet n - n - - smtpd
127.0.0.1:$submission_port inet n - n - - smtpd -o syslog_name=postfix/submission
  -o smtpd_tls_security_level=encrypt $authenticated
127.0.0.1:$smtps_port inet n - n - - smtpd -o syslog_name=postfix/smtps
  -o smtpd_tls_wrappermode=yes -o smtpd_tls_security_level=encrypt $authenticated
tlsmgr unix - - n 1000? 1 tlsmgr
pickup unix n - n 60 1 pickup
cleanup unix n - n - 0 cleanup
qmgr unix n - n 300 1 qmgr
rewrite unix - - n - - trivial-rewrite
bounce unix - - n - 0 bounce
defer unix - - n - 0 bounce
trace unix - - n - 0 bounce
verify unix - - n - 1 verify
flush unix n - n 1000? 0 flush
proxymap unix - - n - - proxymap
proxywrite unix - - n - 1 proxymap
smtp unix - - n - - smtp
relay unix - - n - - smtp
showq unix n - n - - showq
error unix - - n - - error
retry unix - - n - - error
discard unix - - n - - discard
local unix - n n - - local
virtual unix - n n - - virtual
lmtp unix - - n - - lmtp
anvil unix - - n - 1 anvil
scache unix - - n - 1 scache
postlog unix-dgram n - n - 1 postlogd
EOF
    local user
    : >"$conf/mailboxes"
    for user in $users; do
        echo "$user@$domain $user/" >>"$conf/mailboxes"
    done
    # Postfix ignores configuration files it considers too new.
    touch -d '-1 minute' "$conf/main.cf" "$conf/master.cf" "$conf/mailboxes"
}

write_dovecot_config() {
    local conf=$dir/dovecot
    mkdir -p "$conf/run" "$conf/state"
    cat >"$conf/dovecot.conf" <<EOF
base_dir = $conf/run
state_dir = $conf/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
# STLS on the clear-text port is offered, not required: USER/PASS in clear text stays allowed on loopback.
ssl = yes
ssl_cert = <$dir/tls/server.pem
ssl_key = <$dir/tls/server-key.pem
disable_plaintext_auth = no
# LOGIN for Postfix's submission clients; POP3 logins use USER/PASS.
auth_mechanisms = plain login
# A failed login must not slow down the logins of the next tests.
auth_failure_delay = 0
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop3_port
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $pop3s_port
    ssl = yes
  }
}
service auth {
  unix_listener $dir/postfix/queue/private/auth {
    mode = 0660
    user = postfix
    group = postfix
  }
}
first_valid_uid = 1
mail_location = maildir:$dir/mail/%n
pop3_uidl_format = %08Xu%08Xv
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%n $conf/users
}
userdb {
  driver = passwd-file
  args = username_format=%n $conf/users
  default_fields = uid=$mail_uid gid=$mail_gid home=$dir/mail/%n
}
EOF
    local user
    : >"$conf/users"
    for user in $users; do
        echo "$user:{PLAIN}$password::::::" >>"$conf/users"
    done
    chmod 640 "$conf/users"
    chgrp dovecot "$conf/users"
}

# A handshake that verifies the certificate for localhost against the CA: a server that listens but cannot
# load its certificate fails here rather than in the first test. STARTTLS is named for the clear-text ports.
check_tls() {
    local port=$1 name=$2 starttls=${3:-}
    if ! timeout 10 openssl s_client -connect "127.0.0.1:$port" ${starttls:+-starttls "$starttls"} \
        -CAfile "$dir/ca.pem" -verify_hostname localhost -verify_return_error \
        </dev/null >"$dir/tls-check.out" 2>&1; then
        echo "mailservers: TLS on port $port of $name failed; the handshake and the server's log follow" >&2
        cat "$dir/tls-check.out" "$dir/$name.log" >&2 2>/dev/null || true
        return 1
    fi
}

wait_for_port() {
    local port=$1 name=$2 attempt
    for attempt in $(seq 1 100); do
        if port_in_use "$port"; then
            return 0
        fi
        sleep 0.1
    done
    echo "mailservers: $name did not open port $port; its log follows" >&2
    cat "$dir/$name.log" >&2 2>/dev/null || true
    return 1
}

start() {
    skip_unless_possible
    # A run that was cut off may have left its servers and files behind.
    if [ -e "$dir" ]; then
        stop
    fi
    mkdir -p "$dir"
    # Postfix's daemons run as other users and must reach the directory, or the master dies without a word.
    chmod 755 "$dir"
    choose_ports
    write_certificates
    mkdir -p "$dir/mail"
    chown "$mail_uid:$mail_gid" "$dir/mail"
    write_postfix_config
    write_dovecot_config

    # Creates the queue directories and gives them and the data directory their owners. Postfix writes its
    # errors only to a terminal, so a failure is repeated under `script` to show them.
    local step
    for step in set-permissions check; do
        if ! postfix -c "$dir/postfix" "$step" >/dev/null 2>&1; then
            script -qec "postfix -c '$dir/postfix' $step" /dev/null >&2 || true
            exit 1
        fi
    done
    # The master stays in the foreground of a background job so that stop can end it by its process id.
    "$postfix_master" -c "$dir/postfix" -d >"$dir/postfix-master.out" 2>&1 &
    echo $! >"$dir/postfix.pid"
    dovecot -c "$dir/dovecot/dovecot.conf" </dev/null >"$dir/dovecot-start.out" 2>&1

    if ! wait_for_port "$smtp_port" postfix || ! wait_for_port "$submission_port" postfix ||
        ! wait_for_port "$smtps_port" postfix || ! wait_for_port "$pop3_port" dovecot ||
        ! wait_for_port "$pop3s_port" dovecot; then
        cat "$dir/postfix-master.out" >&2 || true
        stop_servers
        exit 1
    fi
    if ! check_tls "$submission_port" postfix smtp || ! check_tls "$smtps_port" postfix ||
        ! check_tls "$pop3_port" dovecot pop3 || ! check_tls "$pop3s_port" dovecot; then
        stop_servers
        exit 1
    fi
    rm -f "$dir/tls-check.out"
    cat >"$dir/servers.env" <<EOF
smtp_port=$smtp_port
pop3_port=$pop3_port
submission_port=$submission_port
smtps_port=$smtps_port
pop3s_port=$pop3s_port
cafile=$dir/ca.pem
domain=$domain
password=$password
users="$users"
EOF
    echo "mailservers: SMTP on 127.0.0.1:$smtp_port, submission on $submission_port, SMTPS on $smtps_port," \
        "POP3 on $pop3_port, POP3S on $pop3s_port, in $dir"
}

stop_servers() {
    # Both masters end their children before they exit, which takes each a few seconds: stop them together.
    local pids=() pid
    for pid in "$(cat "$dir/dovecot/run/master.pid" 2>/dev/null)" "$(cat "$dir/postfix.pid" 2>/dev/null)"; do
        if [ -n "$pid" ] && kill "$pid" 2>/dev/null; then
            pids+=("$pid")
        fi
    done
    for _ in $(seq 1 100); do
        local running=0
        for pid in "${pids[@]}"; do
            if kill -0 "$pid" 2>/dev/null; then
                running=1
            fi
        done
        [ "$running" -eq 1 ] || return 0
        sleep 0.1
    done
    echo "mailservers: a server did not stop within 10 s" >&2
}

stop() {
    [ -d "$dir" ] || exit 0
    stop_servers
    rm -rf "$dir"
}

case "$command" in
    start) start ;;
    stop) stop ;;
    *) usage ;;
esac
