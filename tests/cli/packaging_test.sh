#!/usr/bin/env bash
# What a packager and a shell user rely on: the menu entry and the software centre's
# description validate, and the installed bash completion completes the tool's commands,
# options and values. Usage: packaging_test.sh SOURCE_DIR CLI_PATH
set -u
src=$1
cli=$2
failed=0
passed=0

check() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        failed=$((failed + 1))
    fi
}

check "desktop entry validates" \
    desktop-file-validate "$src/data/systems.brightwater.Diskwell.desktop"
check "metainfo validates" \
    appstreamcli validate --no-net --pedantic "$src/data/systems.brightwater.Diskwell.metainfo.xml"

# Completion in a shell without the user's start-up files, as after installing the file.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/photos" "$work/papers"
ln -s "$cli" "$work/bin/diskwell-cli"
touch "$work/plain-file"
complete_line() {
    (cd "$work" && PATH="$work/bin:$PATH" bash --norc --noprofile -c '
        source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
        _diskwell_cli; echo "${COMPREPLY[*]}"' _ "$src/data/completion/diskwell-cli.bash" "$@")
}
expect() {
    local want=$1
    shift
    local got
    got=$(complete_line "$@")
    if [ "$got" != "$want" ]; then
        echo "completing [$*]: want [$want], got [$got]"
        return 1
    fi
}
check "commands" expect "duplicates" diskwell-cli du
check "options of a command" expect "--zip --zip-folder" diskwell-cli clean --z
check "criterion values" expect "0 1 2 3 4 5 6 7" diskwell-cli duplicates --criterion ""
check "folders where a folder is expected" expect "papers photos" diskwell-cli walk p
check "files where a file is expected" expect "plain-file" diskwell-cli protected pl
check "help names the commands" expect "restore" diskwell-cli help re

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
