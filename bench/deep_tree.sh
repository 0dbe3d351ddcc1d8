#!/bin/sh
# Deleting and trashing one deep chain of folders (a file at every level) with
# diskwell-cli clean-folder, against `rm -rf`, at depths 500, 1,000 and 2,000.
# Usage: bench/deep_tree.sh [path/to/diskwell-cli]   (needs hyperfine)
# Everything happens in a fresh folder made with mktemp -d and removed at the end.
set -eu
cli=$(realpath "${1:-build/src/cli/diskwell-cli}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config" "$work/data"
# A Safe Harbor list that protects nothing here.
echo "/nonexistent-folder/*.*" > "$work/config/folders.txt"
export DISKWELL_CONFIG_DIR="$work/config" XDG_DATA_HOME="$work/data"

# make_chain DEPTH: $work/t, DEPTH folders deep, one file in each folder.
cat > "$work/make_chain" <<'SCRIPT'
#!/bin/sh
set -e
rm -rf "$W/t" "$W/data/Trash"
mkdir "$W/t"
cd "$W/t"
i=0
while [ "$i" -lt "$1" ]; do
    mkdir d
    : > d/f
    cd d
    i=$((i + 1))
done
SCRIPT
chmod +x "$work/make_chain"
export W="$work"

for depth in 500 1000 2000; do
    hyperfine --warmup 1 --min-runs 5 --export-markdown "$work/depth-$depth.md" \
        --prepare "$work/make_chain $depth" \
        -n "rm -rf ($depth)" "rm -rf $work/t" \
        -n "clean-folder --delete ($depth)" \
        "$cli clean-folder --delete --yes-readonly --yes-hidden --yes-system $work/t" \
        -n "clean-folder --trash ($depth)" \
        "$cli clean-folder --trash --yes-readonly --yes-hidden --yes-system $work/t"
    cat "$work/depth-$depth.md"
done
