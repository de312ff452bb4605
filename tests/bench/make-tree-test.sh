#!/usr/bin/env bash
# The benchmark's machine tree with many extra settings: it holds the settings the benchmark
# counts on, of every type with the files the kernel gives for each, on both sides of
# "Cellkeeper" in the listing, and the program still patches it.
#
#   bash tests/bench/make-tree-test.sh PATH-TO-cellkeeper-patch
set -uo pipefail
tool=$1
source_dir="$(dirname "$0")/../.."
benchmark=$source_dir/bench/run-benchmark
attributes=sys/class/firmware-attributes/vantrel-wmi/attributes
sample_attributes=$source_dir/examples/machines/vantrel-notebook/$attributes
# Thousands of small files: a memory file system makes them in a fraction of a second, where the
# disk of a busy build machine takes ten seconds and more.
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch=$(mktemp -d -p /dev/shm)
else
    scratch=$(mktemp -d)
fi
trap 'rm -rf "$scratch"' EXIT
machine=$scratch/machine

failures=0
failed() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# subfolders DIR: the names of DIR's subfolders, one a line, in byte order.
subfolders() {
    find "$1" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' | LC_ALL=C sort
}

if ! bash "$benchmark" --make-tree "$machine"; then
    echo "FAILED: --make-tree $machine"
    exit 1
fi

made=$(comm -13 <(subfolders "$sample_attributes") <(subfolders "$machine/$attributes"))
[ -z "$(comm -23 <(subfolders "$sample_attributes") <(subfolders "$machine/$attributes"))" ] ||
    failed "settings of the sample notebook are missing from the made tree"
count=$(grep -c . <<<"$made")
[ "$count" -eq 1600 ] || failed "$count extra settings, not 1600"

# The files each type needs; a made setting of no known type is a failure.
declare -A needs=([enumeration]="possible_values" [integer]="min_value max_value scalar_increment"
    [string]="min_length max_length")
declare -A of_type=()
while IFS= read -r name; do
    folder=$machine/$attributes/$name
    type=
    read -r type <"$folder/type" 2>/dev/null
    if [ -z "${needs[$type]+set}" ]; then
        failed "\"$name\" has the type \"$type\""
        continue
    fi
    of_type[$type]=$((${of_type[$type]:-0} + 1))
    for file in current_value default_value display_name ${needs[$type]}; do
        [ -f "$folder/$file" ] || failed "\"$name\" ($type) has no $file"
    done
done <<<"$made"
for type in enumeration integer string; do
    [ "${of_type[$type]:-0}" -gt 0 ] || failed "no extra setting of the type $type"
done

# Byte order, as a plain directory listing sorts; the tree's own order is the file system's.
before=$(LC_ALL=C awk '$0 < "Cellkeeper"' <<<"$made" | grep -c .)
after=$(LC_ALL=C awk '$0 > "Cellkeeper"' <<<"$made" | grep -c .)
{ [ "$before" -gt 0 ] && [ "$after" -gt 0 ]; } ||
    failed "extra settings sort $before before and $after after \"Cellkeeper\""

# An existing folder is left alone.
mkdir "$scratch/existing"
if bash "$benchmark" --make-tree "$scratch/existing" 2>/dev/null; then
    failed "--make-tree accepted a folder that exists"
fi
[ -z "$(ls -A "$scratch/existing")" ] || failed "--make-tree wrote into a folder that exists"

CELLKEEPER_ROOT=$machine "$tool" >"$scratch/output" 2>&1
status=$?
[ "$status" -eq 0 ] || failed "the program exited with $status on the made tree"
grep -qx "Patch successfully applied" "$scratch/output" ||
    failed "the program did not patch the made tree; its output: $(cat "$scratch/output")"
value=$(cat "$machine/$attributes/Cellkeeper/current_value")
[ "$value" = "Let Vantrel manage my battery charging" ] ||
    failed "the program left \"Cellkeeper\" at \"$value\""

[ "$failures" -eq 0 ]
