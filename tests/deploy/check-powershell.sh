#!/usr/bin/env bash
# Every PowerShell file of the release (deploy/) parses with tree-sitter's PowerShell grammar: no
# ERROR and no MISSING node. The grammar and its runtime come from npm at the versions that
# powershell-parser/package-lock.json pins, installed into the build folder; both are
# WebAssembly, so nothing is compiled. A broken file is checked too, to show the check can fail.
#
#   tests/deploy/check-powershell.sh BUILD-DIR
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:?usage: check-powershell.sh BUILD-DIR}
for tool in node npm; do
    command -v "$tool" >/dev/null || { echo "FAIL $tool is needed (Node.js with npm)"; exit 1; }
done
tools=$build/powershell-parser
here=$repo/tests/deploy/powershell-parser

# npm ci again only when the pinned set changed.
if ! cmp -s "$here/package-lock.json" "$tools/package-lock.json" || [ ! -d "$tools/node_modules" ]; then
    rm -rf "$tools"
    mkdir -p "$tools"
    cp "$here/package.json" "$here/package-lock.json" "$here/.npmrc" "$tools/"
    (cd "$tools" && npm ci --no-progress >npm.log 2>&1) || { cat "$tools/npm.log"; rm -f "$tools/package-lock.json"; exit 1; }
fi
cp "$here/parse.cjs" "$tools/"
# V8's optimising compiler takes seconds over the grammar's large WebAssembly module; its
# baseline compiler parses a few files at once.
parse() { (cd "$tools" && node --liftoff-only parse.cjs "$@"); }

failed=0
mapfile -t files < <(find "$repo/deploy" -name '*.ps1' | sort)
[ "${#files[@]}" -gt 0 ] || { echo "FAIL no PowerShell files under deploy/"; exit 1; }
parse "${files[@]}" || failed=1

# An unclosed block and an unclosed string must be reported.
broken=$(mktemp --suffix=.ps1)
trap 'rm -f "$broken"' EXIT
# shellcheck disable=SC2016 # PowerShell text, not for the shell to expand
for text in 'if ($x -eq 1) { Write-Output "yes"' 'Write-Output "open'; do
    printf '%s\n' "$text" >"$broken"
    if parse "$broken" >/dev/null; then
        echo "FAIL the check accepts a broken file: $text"
        failed=1
    else
        echo "ok   the check refuses: $text"
    fi
done
[ "$failed" = 0 ]
