#!/usr/bin/env bash
# Times vexil against Debian's highlight, the fastest peer renderer, on the same C inputs built from this
# system's headers: throughput on a 10 MB file, milliseconds per three-file directory (one process per
# directory, as the intake runs it) and vexil's peak memory on a 100 MB file.
# Usage: bench/vexil/run.sh [VEXIL]   VEXIL defaults to build/bin/vexil; use an optimised build.
set -euo pipefail
export LC_ALL=C

vexil=$(realpath "${1:-build/bin/vexil}")
for tool in highlight /usr/bin/time; do
    if ! command -v "$tool" >/dev/null; then
        echo "$tool is not installed (scripts/setup installs it)"
        exit 77
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
corpus=$work/corpus.h
find /usr/include -name '*.h' -type f -print0 | sort -z | xargs -0 cat > "$corpus"
corpus_size=$(stat -c %s "$corpus")

# repeat_to SIZE OUT: the corpus repeated and cut to SIZE bytes.
repeat_to() {
    local size=$1 out=$2
    while (( $(stat -c %s "$out" 2>/dev/null || echo 0) < size )); do
        cat "$corpus" >> "$out"
    done
    truncate -s "$size" "$out"
}

mkdir "$work/big" "$work/dirs"
repeat_to 10000000 "$work/big/ten.c"
repeat_to 100000000 "$work/big/hundred.c"

# 300 directories of main.c, util.c and util.h, each a 2-10 KB slice of the corpus; fixed seed, same every run.
RANDOM=1
for (( i = 0; i < 300; i++ )); do
    dir=$work/dirs/$i
    mkdir "$dir"
    for name in main.c util.c util.h; do
        size=$(( 2048 + (RANDOM * 32768 + RANDOM) % 8193 ))
        offset=$(( (RANDOM * 32768 + RANDOM) % (corpus_size - size) ))
        dd if="$corpus" of="$dir/$name" iflag=skip_bytes,count_bytes skip="$offset" count="$size" bs=64K status=none
    done
done

now() { date +%s%N; }

# seconds START END
seconds() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b - a) / 1e9 }'; }

cd "$work/big"
vexil_seconds=
for round in 1 2 3; do
    start=$(now); "$vexil" ten.c > /dev/null; end=$(now)
    took=$(seconds "$start" "$end")
    if [[ -z $vexil_seconds ]] || awk -v a="$took" -v b="$vexil_seconds" 'BEGIN { exit !(a < b) }'; then
        vexil_seconds=$took
    fi
done
start=$(now); highlight --syntax=c --out-format=html -i ten.c -o ten.highlight.html; end=$(now)
highlight_seconds=$(seconds "$start" "$end")
peak_kb=$(/usr/bin/time -f %M "$vexil" hundred.c 2>&1 >/dev/null | tail -1)

# directories COMMAND...: mean milliseconds of COMMAND run once in each small directory; the best of three
# rounds, since the machine is shared.
directories() {
    local start end dir round best=
    for round in 1 2 3; do
        start=$(now)
        for dir in "$work"/dirs/*/; do
            cd "$dir"
            "$@" main.c util.c util.h > /dev/null 2>&1
        done
        end=$(now)
        if [[ -z $best ]] || (( end - start < best )); then
            best=$(( end - start ))
        fi
    done
    awk -v nanoseconds="$best" 'BEGIN { printf "%.2f", nanoseconds / 1e6 / 300 }'
}
vexil_ms=$(directories "$vexil")
highlight_ms=$(directories highlight --syntax=c --out-format=html -q -d out)
# What starting any program costs here: the floor under both figures.
floor_ms=$(directories /bin/true)

awk -v fm="$floor_ms" -v vs="$vexil_seconds" -v hs="$highlight_seconds" -v vm="$vexil_ms" -v hm="$highlight_ms" -v kb="$peak_kb" 'BEGIN {
    printf "10 MB file:       vexil %.1f MB/s, highlight %.2f MB/s, ratio %.1fx (goal >= 30 MB/s and >= 25x)\n", 10 / vs, 10 / hs, hs / vs
    printf "3-file directory: vexil %.2f ms, highlight %.2f ms, ratio %.1fx (goal <= 5 ms and >= 5x)\n", vm, hm, hm / vm
    printf "                  (starting /bin/true the same way: %.2f ms)\n", fm
    printf "100 MB file:      vexil peak memory %.1f MB (goal <= 4 MB)\n", kb / 1024
}'
