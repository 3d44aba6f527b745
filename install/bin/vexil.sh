#!/usr/bin/env bash
# Renders the C sources and headers of the working directory as HTML pages.
# Usage: vexil.sh BINDIR   (BINDIR holds the vexil program)
# Every regular file whose name ends in .c or .h, in any letter case, is passed to vexil in ascending byte
# order of the names; vexil writes the pages, index.html and c.css into the working directory.
set -euo pipefail

bin_dir=${1:?usage: vexil.sh BINDIR}

export LC_ALL=C
shopt -s nullglob nocaseglob dotglob

sources=()
for name in *.[ch]; do
    if [[ -f $name ]]; then
        sources+=("$name")
    fi
done

exec "$bin_dir/vexil" "${sources[@]}"
