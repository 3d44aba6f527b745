#!/usr/bin/env bash
# scripts/install, run 20 times into a fresh directory with the build of this test run: every time every
# program, the rendering script, the compiler directory, the first database and the configuration are there.
set -euo pipefail
source_dir=$1
build_dir=$2
if ! grep -q '^CMAKE_BUILD_TYPE:STRING=RelWithDebInfo$' "$build_dir/CMakeCache.txt"; then
    echo "skipped: scripts/install configures a RelWithDebInfo build, and this one is not"
    exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for run in $(seq 20); do
    rm -rf "$work/zor" "$work/config"
    XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data TARVEL_BUILD_DIR=$build_dir "$source_dir/scripts/install" "$work/zor" >/dev/null
    for file in bin/zord bin/vexil bin/zorbox bin/vexil.sh bcc/bin/bcc.exe db/default/students.dat; do
        if [ ! -e "$work/zor/$file" ]; then
            echo "run $run: $file was not installed"
            exit 1
        fi
    done
    grep -q '^bccpath=' "$work/config/zor.ini" || { echo "run $run: zor.ini has no bccpath"; exit 1; }
done
echo "20 installs, every program in place"
