#!/usr/bin/env bash
# Runs the release's Ansible playbook (deploy/ansible/cellkeeper-patch.yml) against local hosts,
# one copy of a sample machine tree each (the tool's CELLKEEPER_ROOT), with the given Linux
# program, twice; checks each host's reported outcome, its changed and failed state, and the
# restart note. Prints one line per host and run; exits non-zero when one failed.
#
#   tests/deploy/ansible-run-test.sh PROGRAM
set -u
program=$(realpath -e "${1:?usage: ansible-run-test.sh PROGRAM}") || exit 2
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Ansible's settings of this test alone, whatever the machine's ansible.cfg says.
: >"$work/ansible.cfg"
export ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_HOME=$work/ansible ANSIBLE_LOCAL_TEMP=$work/ansible/tmp \
    ANSIBLE_STDOUT_CALLBACK=json ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_NOCOLOR=1

# host | sample tree | reported outcome of the first run | of the second, when it differs |
# the first run changed the setting | the host failed
cases=(
    "patched|vantrel-notebook|done|done|changed|ok"
    "pending|vantrel-notebook|restart pending: the change takes effect at the next start|restart pending: the change takes effect at the next start|changed|ok"
    "no-battery|no-battery|not applicable (status 4: the computer has no battery)||unchanged|ok"
    "no-device|no-bios-namespace|not applicable: no Vantrel firmware-attributes device||unchanged|ok"
    "password|setup-password|blocked (status 7: a BIOS setup password is set)||unchanged|ok"
    "enhanced|enhanced-authentication|blocked (status 8: enhanced BIOS authentication is on)||unchanged|ok"
    "refused|write-refused|failed (status 36: writing the setting, or reading it back, failed; the next run tries again)||unchanged|failed"
)

inventory=$work/inventory
echo "[notebooks]" >"$inventory"
for row in "${cases[@]}"; do
    IFS='|' read -r host tree _ <<<"$row"
    cp -r "$repo/examples/machines/$tree" "$work/$host"
    mkdir -p "$work/$host/usr/sbin"
    echo "$host ansible_connection=local ansible_become=false ansible_python_interpreter=/usr/bin/python3 cellkeeper_root=$work/$host cellkeeper_path=$work/$host/usr/sbin/cellkeeper-patch" >>"$inventory"
done
# A firmware that says the change waits for the next start.
echo 1 >"$work/pending/sys/class/firmware-attributes/vantrel-wmi/attributes/pending_reboot"

failed=0
check_run() {  # RUN-NUMBER: runs the playbook and compares every host
    local run=$1
    local result=$work/result-$run.json
    ansible-playbook -i "$inventory" "$repo/deploy/ansible/cellkeeper-patch.yml" \
        -e cellkeeper_hosts=notebooks -e "cellkeeper_program=$program" >"$result" 2>"$work/stderr"
    # Per host: the report's message, whether the run changed the setting, whether the host failed.
    python3 - "$result" >"$work/got-$run" <<'PY' || { echo "FAIL run $run: no JSON result"; failed=1; }
import json, sys
result = json.load(open(sys.argv[1]))
def task(name):
    return {host: outcome for play in result["plays"] for task in play["tasks"]
            if task["task"]["name"] == name for host, outcome in task["hosts"].items()}
reports, runs = task("Report"), task("Run it")
for host, stats in result["stats"].items():
    print("|".join([host, reports.get(host, {}).get("msg", "no report"),
                    "changed" if runs.get(host, {}).get("changed") else "unchanged",
                    "failed" if stats.get("failures") else "ok"]))
PY
    local row host tree first second changed state expected got
    for row in "${cases[@]}"; do
        IFS='|' read -r host tree first second changed state <<<"$row"
        expected=$first
        if [ "$run" = 2 ]; then
            expected=${second:-$first}
            changed=unchanged
        fi
        got=$(grep -F "$host|" "$work/got-$run" | cut -d'|' -f2-)
        if [ "$got" = "cellkeeper-patch: $expected|$changed|$state" ]; then
            echo "ok   run $run $host: $expected"
        else
            echo "FAIL run $run $host: got '$got', expected 'cellkeeper-patch: $expected|$changed|$state'"
            failed=1
        fi
    done
}

check_run 1
# The program is copied only where the device is.
[ ! -e "$work/no-device/usr/sbin/cellkeeper-patch" ] ||
    { echo "FAIL the program was copied to a host without the device"; failed=1; }
# The pending restart follows the Debian convention, and only there.
if [ -f "$work/pending/run/reboot-required" ] &&
   [ "$(cat "$work/pending/run/reboot-required.pkgs")" = cellkeeper-patch ] &&
   [ ! -e "$work/patched/run/reboot-required" ]; then
    echo "ok   restart note in run/ of the pending host only"
else
    echo "FAIL restart note: $(find "$work/pending/run" "$work/patched/run" 2>&1 | tr '\n' ' ')"
    failed=1
fi
# A second run: settled hosts stop at their record and report the same, changing nothing.
check_run 2
[ "$(grep -c . "$work/pending/run/reboot-required.pkgs" 2>/dev/null)" = 1 ] ||
    { echo "FAIL the package is named more than once in reboot-required.pkgs"; failed=1; }
[ "$failed" = 0 ] || sed 's/^/    /' "$work/stderr"
[ "$failed" = 0 ]
