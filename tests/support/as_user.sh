#!/bin/sh
# Runs a test program as the unprivileged user "nobody", the way a daemon started by an ordinary user runs.
if [ "$(id -u)" -ne 0 ]; then
    echo "already run by an ordinary user: the plain run of this program covers it"
    exit 77
fi
exec setpriv --reuid=65534 --regid=65534 --clear-groups "$@"
