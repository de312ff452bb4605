#!/usr/bin/env bash
# Static checks of the release's deployment files (deploy/):
# - every YAML file of the checkout parses, and each playbook passes ansible-playbook --syntax-check;
# - every Windows recipe that changes the setting (a script that runs the tool with /EXITSTATUS)
#   suspends BitLocker for one restart before that run.
# Prints one line per check; exits non-zero when one failed.
# shellcheck disable=SC2016 # PowerShell texts in single quotes are meant as they stand
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
failed=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failed=1; }

mapfile -t yaml_files < <(find "$repo" \( -path "$repo/build" -o -path "$repo/dist" -o -path "$repo/.git" \
    -o -name node_modules \) -prune -o \( -name '*.yml' -o -name '*.yaml' \) -print | sort)
for file in "${yaml_files[@]}"; do
    # Debian's python3-yaml (a dependency of ansible-core), whatever python3 comes first on PATH.
    if error=$(/usr/bin/python3 -c 'import sys, yaml; list(yaml.safe_load_all(open(sys.argv[1])))' "$file" 2>&1); then
        ok "YAML parses: ${file#"$repo"/}"
    else
        fail "YAML: ${file#"$repo"/}: $error"
    fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/ansible.cfg"
for playbook in "$repo"/deploy/ansible/*.yml; do
    if ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_HOME=$work/ansible ANSIBLE_LOCAL_TEMP=$work/ansible/tmp \
        ansible-playbook --syntax-check "$playbook" >"$work/syntax" 2>&1; then
        ok "ansible-playbook --syntax-check ${playbook#"$repo"/}"
    else
        fail "ansible-playbook --syntax-check ${playbook#"$repo"/}:"
        sed 's/^/    /' "$work/syntax"
    fi
done

# suspends_first FILE: the suspension comes before the first line that runs the tool with
# /EXITSTATUS; comment lines (# in PowerShell, rem in cmd) do not count.
suspends_first() {
    awk '
        /^[[:space:]]*(#|[Rr][Ee][Mm]([[:space:]]|$))/ { next }
        /Suspend-BitLocker -MountPoint \$env:SystemDrive -RebootCount 1/ && !run { suspended = 1 }
        /\/EXITSTATUS/ && !run { run = 1; ok = suspended }
        END { exit !(run && ok) }' "$1"
}
mapfile -t recipes < <(grep -l -E '^[^#]*/EXITSTATUS' "$repo"/deploy/*/*.ps1 "$repo"/deploy/*/*.cmd | sort)
[ "${#recipes[@]}" -ge 3 ] || fail "expected the Win32 app, Remediations and Group Policy recipes, found: ${recipes[*]}"
for recipe in "${recipes[@]}"; do
    if suspends_first "$recipe"; then
        ok "BitLocker suspended before the change: ${recipe#"$repo"/}"
    else
        fail "${recipe#"$repo"/} runs /EXITSTATUS without suspending BitLocker first"
    fi
done
# The check itself: a recipe that suspends after the run, or only in a comment, is refused.
printf '& $exe /EXITSTATUS\nSuspend-BitLocker -MountPoint $env:SystemDrive -RebootCount 1\n' >"$work/late.ps1"
printf '# Suspend-BitLocker -MountPoint $env:SystemDrive -RebootCount 1\n& $exe /EXITSTATUS\n' >"$work/comment.ps1"
for bad in late comment; do
    if suspends_first "$work/$bad.ps1"; then fail "the BitLocker check accepts $bad.ps1"; else ok "the BitLocker check refuses $bad.ps1"; fi
done
[ "$failed" = 0 ]
