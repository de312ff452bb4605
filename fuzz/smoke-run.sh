#!/bin/sh
# A short run of one fuzz target over its corpus: smoke-run.sh <target> <corpus> <scratch> <runs>.
# New inputs and a crashing input go to the scratch folder, so that the corpus stays as it is.
set -eu
target=$1 corpus=$2 scratch=$3 runs=$4
rm -rf "$scratch"
mkdir -p "$scratch"
exec "$target" -runs="$runs" -seed=1 -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$scratch/" "$scratch" "$corpus"
