#!/usr/bin/env bash
# "Same contents" over all sizes (diskwell-cli duplicates --criterion 7) against
# `jdupes -r -A` on the 200,000-file benchmark tree, in the same run: the groups and the
# files in them must agree, the time ratio is reported (the aim: at most 0.5), and the
# peak memory per file beyond the same search by size alone (--criterion 3, which fills
# the same kind of list) and beyond the plain walk.
#
#   bench/content_dups_vs_jdupes.sh [BUILD_DIR] [TREE] [--cold]
#
# BUILD_DIR defaults to ./build (bench_make_tree and diskwell-cli built there); TREE to a
# fresh tree in /tmp, removed at the end (an existing folder is used as it is). --cold
# also times both with the page cache dropped before each run (root only).
set -euo pipefail

build=${1:-build}
tree=${2:-}
cold=${3:-}
cli=$build/src/cli/diskwell-cli
for tool in "$cli" "$build/bench/bench_make_tree" jdupes /usr/bin/time; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 2; }
done

owned=""
if [ -z "$tree" ]; then
  tree=$(mktemp -u /tmp/dw-bench-content-XXXXXX)
  "$build/bench/bench_make_tree" "$tree" 200000 >&2
  owned=$tree
fi
work=$(mktemp -d)
cleanup() {
  rm -rf "$work"
  if [ -n "$owned" ]; then rm -rf "$owned"; fi
}
trap cleanup EXIT

# Runs a command with its output in $work/$1.out; prints "seconds peak_kb".
measure() {
  local name=$1
  shift
  /usr/bin/time -f '%e %M' -o "$work/$name.time" "$@" >"$work/$name.out" 2>"$work/$name.err" || true
  cat "$work/$name.time"
}

ours() { measure "$1" "$cli" duplicates --criterion 7 --groups --larger 0 --unit bytes "$tree"; }
theirs() { measure "$1" jdupes -r -A -q "$tree"; }

count_ours() {
  awk -F'\t' 'NR > 1 { f++; if ($1 > g) g = $1 } END { print g + 0, f + 0 }' "$work/$1.out"
}
count_theirs() {
  awk 'NF == 0 { if (open) g++; open = 0; next } { f++; open = 1 }
       END { if (open) g++; print g + 0, f + 0 }' "$work/$1.out"
}

files=$(find "$tree" -name '.*' -prune -o -type f -print | wc -l)
read -r walk_s walk_kb < <(measure walk "$cli" walk "$tree")
read -r size_s size_kb < <(measure size "$cli" duplicates --criterion 3 --larger 0 --unit bytes "$tree")

report() {
  local label=$1 a=$2 b=$3
  read -r our_s our_kb < <(ours "$a")
  read -r their_s their_kb < <(theirs "$b")
  read -r our_groups our_files < <(count_ours "$a")
  read -r their_groups their_files < <(count_theirs "$b")
  echo "$label: Same contents ${our_s} s, jdupes -r -A ${their_s} s, ratio" \
    "$(awk -v a="$our_s" -v b="$their_s" 'BEGIN { printf "%.3f", a / b }')"
  echo "  groups: ours $our_groups, jdupes $their_groups; files in groups: ours $our_files," \
    "jdupes $their_files $([ "$our_groups $our_files" = "$their_groups $their_files" ] && echo '(same)' || echo '(DIFFER)')"
  echo "  peak memory: ours $our_kb KB, jdupes $their_kb KB, walk $walk_kb KB," \
    "search by size $size_kb KB over $files files:" \
    "$(awk -v o="$our_kb" -v s="$size_kb" -v w="$walk_kb" -v n="$files" \
      'BEGIN { printf "%.0f bytes per file beyond the search by size, %.0f beyond the walk", (o - s) * 1024 / n, (o - w) * 1024 / n }')"
}

# Warm: one run of each first fills the cache.
ours warmup >/dev/null
report "warm cache" ours_warm theirs_warm

if [ "$cold" = "--cold" ]; then
  drop() { sync && echo 3 >/proc/sys/vm/drop_caches; }
  if drop 2>/dev/null; then
    drop
    read -r our_s _ < <(ours ours_cold)
    drop
    read -r their_s _ < <(theirs theirs_cold)
    echo "cold cache: Same contents ${our_s} s, jdupes -r -A ${their_s} s, ratio" \
      "$(awk -v a="$our_s" -v b="$their_s" 'BEGIN { printf "%.3f", a / b }')"
  else
    echo "cold cache: cannot drop the page cache here (needs root and a writable /proc/sys)"
  fi
fi
