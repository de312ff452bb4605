# The test cases that run inside the initramfs machine, one function per boot (boot_NAME). Each
# case reports "ok NAME" or "not ok NAME: what failed" on the report port; the host counts them.
# The tool runs on the real root: real sysfs, the test driver's device, real efivarfs on OVMF.

TOOL=/usr/sbin/cellkeeper-patch
DEVICE=/sys/class/firmware-attributes/vantrel-wmi
SETTING="$DEVICE/attributes/Cellkeeper/current_value"
PENDING="$DEVICE/attributes/pending_reboot"
RECORD=/sys/firmware/efi/efivars/cellkeeper_patch-994e9a98-28eb-4244-b5c6-1d92be5321bd
REGISTRY="/var/lib/cellkeeper-patch/registry/HKEY_LOCAL_MACHINE/SOFTWARE/Vantrel/Vantrel Cellkeeper Patch.reg"
LOG=/var/log/cellkeeper-patch.log
OLD="Maximize my battery duration"
NEW="Let Vantrel manage my battery charging"
FILL_GUID=5e7f0a1c-3c2d-4b8e-9f60-7a1b2c3d4e5f

report() { echo "$*" >/dev/ttyS1; }

# --- running the tool and reading the machine ---------------------------------------------

# run_tool ARGS...: sets $out (stdout and stderr) and $rc. The output goes to the console too,
# so that a failing case can be read from the boot's console log.
run_tool() {
    out=$("$TOOL" "$@" 2>&1)
    rc=$?
    echo "--- cellkeeper-patch $* (exit $rc)"
    echo "$out"
}

setting() { cat "$SETTING"; }
pending() { cat "$PENDING"; }
# The record's attribute word as efivarfs shows it, e.g. "07 00 00 00".
record_attributes() { od -An -tx1 -N4 "$RECORD" | sed 's/^ *//'; }
# The status code field of the record (file offset 4 + 16).
record_status() { dd if="$RECORD" bs=1 skip=20 count=4 2>/dev/null | od -An -tu4 | tr -d ' '; }
record_bytes() { od -An -tx1 "$RECORD" 2>/dev/null | tr -d ' \n'; }
registry_status() {
    hex=$(sed -n 's/^"Status"=dword:\([0-9a-f]*\).*/\1/p' "$REGISTRY" 2>/dev/null | head -n 1)
    [ -n "$hex" ] && printf '%d' "0x$hex"
}
registry_sum() { md5sum "$REGISTRY" 2>/dev/null | cut -d' ' -f1; }

# --- checks ----------------------------------------------------------------------------------

# expect WHAT COMMAND...: notes WHAT as failed when COMMAND fails.
expect() {
    what=$1
    shift
    "$@" || fails="$fails; $what"
}
equals() { [ "$1" = "$2" ]; }
has_line() { echo "$out" | grep -qxF "$1"; }
has_text() { echo "$out" | grep -qF "$1"; }
exists() { [ -e "$1" ]; }
absent() { [ ! -e "$1" ]; }

# run_case NAME FUNCTION: runs one case and reports it.
run_case() {
    fails=
    echo "=== case $1"
    "$2"
    if [ -z "$fails" ]; then report "ok $1"; else report "not ok $1:${fails#;}"; fi
}

# One JSON object on one line with every field that deployment tools read.
check_json() {
    json=$(echo "$out" | grep '^{')
    expect "one JSON line" equals "$(echo "$json" | wc -l)" 1
    for field in version verdict reason statusCode machine setting setupPassword \
        enhancedAuthentication record pendingReboot; do
        expect "field $field" has_text "\"$field\""
    done
}

# --- machine state between cases -------------------------------------------------------------

# load_driver [PARAMETER=VALUE...]: the test driver, new, with the machine state asked for.
load_driver() {
    rmmod vantrel_wmi_test 2>/dev/null
    insmod /modules/vantrel_wmi_test.ko "$@"
}

forget_runs() {
    rm -rf /var/lib/cellkeeper-patch "$LOG" "$LOG.1"
    [ -e "$RECORD" ] && { chattr -i "$RECORD" 2>/dev/null; rm -f "$RECORD"; }
}

# A machine as it leaves the factory, in the state asked for: no record anywhere.
fresh_machine() {
    forget_runs
    load_driver "$@"
}

# Fills the firmware's variable store with throw-away variables until not even a small one fits.
fill_variable_store() {
    n=0
    for size in 4000 1000 200 40 8; do
        head -c "$size" /dev/zero | tr '\0' 'f' >/tmp/fill-data
        printf '\007\000\000\000' | cat - /tmp/fill-data >/tmp/fill
        while dd if=/tmp/fill of="/sys/firmware/efi/efivars/fill$n-$FILL_GUID" bs=8192 \
            2>/tmp/fill-error; do
            n=$((n + 1))
        done
        # The refused write leaves an empty file behind.
        chattr -i "/sys/firmware/efi/efivars/fill$n-$FILL_GUID" 2>/dev/null
        rm -f "/sys/firmware/efi/efivars/fill$n-$FILL_GUID"
    done
    echo "filled the variable store with $n variables; the last write: $(cat /tmp/fill-error)"
}

# --- boot "first": a new machine, patched once, then again -------------------------------

case_check_would_patch() {
    run_tool /CHECK
    expect "exit 1 (would patch), got $rc" equals "$rc" 1
    check_json
    expect "setting unchanged" equals "$(setting)" "$OLD"
    expect "no firmware record" absent "$RECORD"
    expect "no registry record" absent "$REGISTRY"
    expect "pending_reboot 0" equals "$(pending)" 0
}

case_first_run_patches() {
    run_tool
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "setting new" equals "$(setting)" "$NEW"
    expect "pending_reboot 1" equals "$(pending)" 1
    expect "firmware record" exists "$RECORD"
    expect "attributes 7, got $(record_attributes)" equals "$(record_attributes)" "07 00 00 00"
    expect "record status 0" equals "$(record_status)" 0
    expect "registry status 0" equals "$(registry_status)" 0
    expect "log written" exists "$LOG"
    lsattr "$RECORD"
}

case_second_run_stops_at_record() {
    # Put the old value back behind the tool's back: a run that writes would show.
    echo "$OLD" >"$SETTING"
    before=$(record_bytes)
    run_tool
    expect "exit 0, got $rc" equals "$rc" 0
    expect "previous run line" has_text "Patch was previously run"
    expect "setting not written" equals "$(setting)" "$OLD"
    expect "firmware record unchanged" equals "$(record_bytes)" "$before"
}

case_force_rewrites() {
    run_tool /FORCE
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "setting new" equals "$(setting)" "$NEW"
    expect "record status 0" equals "$(record_status)" 0
}

case_check_compliant() {
    record=$(record_bytes)
    registry=$(registry_sum)
    run_tool /CHECK
    expect "exit 0 (compliant), got $rc" equals "$rc" 0
    check_json
    expect "setting unchanged" equals "$(setting)" "$NEW"
    expect "firmware record unchanged" equals "$(record_bytes)" "$record"
    expect "registry unchanged" equals "$(registry_sum)" "$registry"
}

boot_first() {
    fresh_machine
    run_case first-run-patches-and-writes-firmware-record case_first_run_patches
    run_case second-run-stops-at-record case_second_run_stops_at_record
    run_case force-rewrites case_force_rewrites
    run_case check-compliant-changes-nothing case_check_compliant
}

# --- boot "second": the same variable store, the registry store lost (RAM is gone) --------

case_record_survived() {
    expect "firmware record" exists "$RECORD"
    expect "attributes 7" equals "$(record_attributes)" "07 00 00 00"
    expect "record status 0" equals "$(record_status)" 0
    expect "no registry store" absent "$REGISTRY"
}

case_stops_at_firmware_record() {
    run_tool
    expect "exit 0, got $rc" equals "$rc" 0
    expect "firmware record line" has_text "Previous status code (from EFI variable): 0"
    expect "setting not written" equals "$(setting)" "$OLD"
    expect "pending_reboot 0" equals "$(pending)" 0
}

case_registry_restored() {
    expect "registry record written" exists "$REGISTRY"
    expect "registry status 0" equals "$(registry_status)" 0
}

boot_second() {
    load_driver
    run_case firmware-record-survived-restart case_record_survived
    run_case lost-registry-stops-at-firmware-record case_stops_at_firmware_record
    run_case registry-record-restored-from-firmware case_registry_restored
}

# --- boot "refusals": machines the tool must leave alone, and a full variable store ------

# refused STATUS: the run ended with STATUS in both records and left the setting alone.
refused() {
    expect "exit 0, got $rc" equals "$rc" 0
    expect "setting unchanged" equals "$(setting)" "$OLD"
    expect "pending_reboot 0" equals "$(pending)" 0
    expect "registry status $1, got $(registry_status)" equals "$(registry_status)" "$1"
    expect "record status $1, got $(record_status)" equals "$(record_status)" "$1"
}

case_driver_store_rules() {
    expect "refuses a value not offered" eval '! echo Sometimes >"$SETTING" 2>/dev/null'
    expect "pending_reboot 0 after a refusal" equals "$(pending)" 0
    expect "takes a value with a line end" eval 'echo "$NEW" >"$SETTING"'
    expect "takes a value without one" eval 'printf %s "$OLD" >"$SETTING"'
    expect "setting back to old" equals "$(setting)" "$OLD"
    expect "pending_reboot 1 after a change" equals "$(pending)" 1
}

case_check_would_patch_fresh() {
    fresh_machine
    case_check_would_patch
}

case_password_set() {
    fresh_machine password=1
    run_tool
    expect "not applicable line" has_line "Patch not applicable"
    refused 7
}

case_check_blocked() {
    fresh_machine password=1
    run_tool /CHECK
    expect "exit 2 (blocked), got $rc" equals "$rc" 2
    check_json
    expect "no firmware record" absent "$RECORD"
    expect "no registry record" absent "$REGISTRY"
}

case_enhanced_auth() {
    fresh_machine enhanced_auth=1
    run_tool
    refused 8
}

case_enhanced_auth_and_password() {
    fresh_machine enhanced_auth=1 password=1
    run_tool
    refused 8
}

case_no_battery() {
    fresh_machine battery=0
    run_tool
    refused 4
}

case_driver_refuses_write() {
    fresh_machine fail_store=5
    run_tool
    expect "error line" has_text "Error setting 'Cellkeeper'"
    expect "error code line" has_text "Wmi Error code: "
    refused 36
}

case_full_variable_store() {
    fresh_machine
    fill_variable_store
    run_tool
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "setting new" equals "$(setting)" "$NEW"
    # efivarfs leaves an empty file behind when the firmware refuses a new variable.
    expect "no firmware record (store full)" eval '[ ! -s "$RECORD" ]'
    cat "$LOG"
    expect "registry status 0" equals "$(registry_status)" 0
    expect "log names the unwritten record" grep -q cellkeeper_patch "$LOG"
}

boot_refusals() {
    fresh_machine
    run_case driver-store-rules case_driver_store_rules
    run_case check-would-patch-changes-nothing case_check_would_patch_fresh
    run_case password-set-gives-7 case_password_set
    run_case check-blocked-changes-nothing case_check_blocked
    run_case enhanced-auth-gives-8 case_enhanced_auth
    run_case enhanced-auth-and-password-gives-8 case_enhanced_auth_and_password
    run_case no-battery-gives-4 case_no_battery
    run_case driver-refuses-write-gives-36 case_driver_refuses_write
    # Last: nothing after it can write a variable.
    run_case full-variable-store-still-patches case_full_variable_store
}
