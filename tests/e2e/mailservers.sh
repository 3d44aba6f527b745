#!/usr/bin/env bash
# Starts and stops a private Postfix (SMTP) and Dovecot (POP3) on loopback for the end-to-end tests.
#
#   mailservers.sh start DIR    creates DIR (after stopping what an earlier run left there), writes both
#                               configurations into it and starts the servers
#   mailservers.sh stop DIR     stops both servers and removes DIR
#
# Everything lives in DIR: configurations, Postfix's queue, one Maildir per virtual user, logs. The servers listen
# on 127.0.0.1 only, on unprivileged ports that are free at start; DIR/servers.env tells the tests which:
#   smtp_port=..., pop3_port=..., domain=..., password=..., users="..."
# Every user in the list below can receive mail at <user>@tarvel.test and log in by POP3 as <user> with the
# password "tarvel". Needs root (Postfix's master and Dovecot drop privileges themselves). Exit code 77 means the
# servers are not installed or we are not root: the tests are skipped, not failed.
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

# Two free ports, one for each server, starting from the usual test ports.
choose_ports() {
    local offset
    for offset in $(seq 0 10 400); do
        smtp_port=$((2525 + offset))
        pop3_port=$((2110 + offset))
        if ! port_in_use "$smtp_port" && ! port_in_use "$pop3_port"; then
            return 0
        fi
    done
    echo "mailservers: no free pair of ports found" >&2
    exit 1
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
    cat >"$conf/master.cf" <<EOF
127.0.0.1:$smtp_port inet n - n - - smtpd
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
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
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

    if ! wait_for_port "$smtp_port" postfix || ! wait_for_port "$pop3_port" dovecot; then
        cat "$dir/postfix-master.out" >&2 || true
        stop_servers
        exit 1
    fi
    cat >"$dir/servers.env" <<EOF
smtp_port=$smtp_port
pop3_port=$pop3_port
domain=$domain
password=$password
users="$users"
EOF
    echo "mailservers: SMTP on 127.0.0.1:$smtp_port, POP3 on 127.0.0.1:$pop3_port, in $dir"
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
