# shellcheck shell=sh
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
PARAMETERS=/sys/module/vantrel_wmi_test/parameters
# The admin password of a driver loaded with password=1 (the driver holds the same text), and
# another one; neither may ever leave the files the tests give to the tool.
RIGHT_PASSWORD=Tq8v-setup-K3y
WRONG_PASSWORD=Wz5r-not-the-K3y
# Admin passwords given to the driver (admin=...) for the text beyond ASCII: within Latin-1 (one
# keyboard code per character) and beyond it (sent in the UTF-16 form the driver offers).
LATIN1_PASSWORD=Pässwörd-K3y
WIDE_PASSWORD=Pässwörd-€-K3y
PASSWORD_FILE=/tmp/setup-password
MODE_RULE=" (its mode must be 0600 or stricter)"
# Everything the tool printed during this boot, for the search for passwords.
OUTPUTS=/tmp/tool-outputs

report() { echo "$*" >/dev/ttyS1; }

# --- running the tool and reading the machine ---------------------------------------------

# run_tool ARGS...: sets $out (stdout and stderr) and $rc. The output goes to the console too,
# so that a failing case can be read from the boot's console log.
run_tool() {
    out=$("$TOOL" "$@" 2>&1)
    rc=$?
    echo "--- cellkeeper-patch $* (exit $rc)"
    echo "$out"
    echo "$out" >>"$OUTPUTS"
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
# What the test driver counts, outside the class folder: see its module parameters.
wrong_passwords() { cat "$PARAMETERS/wrong_passwords"; }
passwords_received() { cat "$PARAMETERS/passwords_received"; }
password_held() { cat "$PARAMETERS/password_held"; }

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
# empty FILE: FILE holds nothing or does not exist.
empty() { [ ! -s "$1" ]; }
# accepts FILE TEXT: the write of TEXT and a line end to FILE succeeds (accepts_bare: of TEXT
# alone); rejects FILE TEXT: it fails, and the shell's message about it is not shown.
accepts() { echo "$2" >"$1"; }
accepts_bare() { printf %s "$2" >"$1"; }
rejects() { ! echo "$2" >"$1" 2>/dev/null; }

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
    if [ -f /modules/vantrel_wmi_test.ko ]; then
        insmod /modules/vantrel_wmi_test.ko "$@"
    else
        modprobe vantrel_wmi_test "$@"
    fi
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

# --- setup passwords -------------------------------------------------------------------------

# utf16le TEXT: TEXT (ASCII) as UTF-16LE code units.
utf16le() {
    rest=$1
    while [ -n "$rest" ]; do
        printf '%s\000' "${rest%"${rest#?}"}"
        rest=${rest#?}
    done
}

# write_password_file FORM PASSWORD: the file that /PASSWORDFILE names, root's alone, with the
# password in the FORM asked for: line (UTF-8, LF), bom-crlf (UTF-8 with a BOM, CR LF), utf16
# (UTF-16LE with a BOM, CR LF).
write_password_file() {
    rm -rf "$PASSWORD_FILE"
    case $1 in
    line) printf '%s\n' "$2" ;;
    bom-crlf) printf '\357\273\277%s\r\n' "$2" ;;
    utf16)
        printf '\377\376'
        utf16le "$2"
        printf '\r\000\n\000'
        ;;
    esac >"$PASSWORD_FILE"
    chown 0:0 "$PASSWORD_FILE"
    chmod 0600 "$PASSWORD_FILE"
}

# make_unusable_password_file KIND: a password file (or none) that the tool must not use,
# though what it holds would otherwise be the right password.
make_unusable_password_file() {
    write_password_file line "$RIGHT_PASSWORD"
    case $1 in
    mode-0644) chmod 0644 "$PASSWORD_FILE" ;;
    mode-0640) chmod 0640 "$PASSWORD_FILE" ;;
    other-owner) chown 1000:1000 "$PASSWORD_FILE" ;;
    symlink)
        mv "$PASSWORD_FILE" "$PASSWORD_FILE.target"
        ln -s "$PASSWORD_FILE.target" "$PASSWORD_FILE"
        ;;
    hard-link) ln -f "$PASSWORD_FILE" "$PASSWORD_FILE.second-name" ;;
    directory)
        rm -f "$PASSWORD_FILE"
        mkdir -m 0700 "$PASSWORD_FILE"
        ;;
    missing) rm -f "$PASSWORD_FILE" ;;
    empty) : >"$PASSWORD_FILE" ;;
    too-long) printf '%0129d\n' 0 >"$PASSWORD_FILE" ;;
    holds-nul) printf 'Tq8v\000-setup-K3y\n' >"$PASSWORD_FILE" ;;
    esac
}

remove_password_files() {
    rm -rf "$PASSWORD_FILE" "$PASSWORD_FILE.target" "$PASSWORD_FILE.second-name"
}

# hex TEXT: the bytes of TEXT in lower-case hexadecimal, as one word.
hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }

# password_leaks PASSWORD FILE...: names each FILE that holds PASSWORD as text or as the
# hexadecimal text of the keyboard-code form, and each of the tool's own stores (the firmware
# variable, the registry store) that holds it as UTF-16LE bytes.
password_leaks() {
    password=$1
    utf8=$(hex "$password")
    utf16=$(echo "$utf8" | sed 's/../&00/g')
    shift
    for file in "$@"; do
        [ -f "$file" ] || continue
        if grep -qiF -e "$password" -e "$utf8" "$file"; then
            echo "$file"
            continue
        fi
        case $file in
        "$RECORD" | /var/lib/cellkeeper-patch/*)
            case $(od -An -tx1 "$file" | tr -d ' \n') in *"$utf16"*) echo "$file" ;; esac
            ;;
        esac
    done
}

# Every place a run writes or prints: what it printed, its log, its store, its firmware
# variable and whatever lies in /run and /var/log; on the Debian machine the journal too (every
# field of this boot's entries in JOURNAL_TEXT, its files under /run/log or /var/log).
case_no_password_leaks() {
    places=$(find /var/lib/cellkeeper-patch /var/log /run -type f 2>/dev/null)
    expect "outputs recorded" exists "$OUTPUTS"
    expect "log written" exists "$LOG"
    [ -z "${JOURNAL_TEXT:-}" ] || expect "journal exported" exists "$JOURNAL_TEXT"
    for password in "$RIGHT_PASSWORD" "$WRONG_PASSWORD" "$LATIN1_PASSWORD" "$WIDE_PASSWORD"; do
        # shellcheck disable=SC2086 # file names without blanks, from find
        leaks=$(password_leaks "$password" "$OUTPUTS" "$LOG" "$LOG.1" "$RECORD" \
            ${JOURNAL_TEXT:+"$JOURNAL_TEXT"} $places)
        expect "a password in: $(echo "$leaks" | tr '\n' ' ')" equals "$leaks" ""
    done
}

# The driver's own rules, which the cases below rely on: a session password, checked when a
# value is written; three wrong ones lock the firmware until the driver is loaded again.
case_driver_password_rules() {
    password_file=$DEVICE/authentication/Admin/current_password
    load_driver password=1
    expect "no change without the password" rejects "$SETTING" "$NEW"
    expect "a missing password counts, got $(wrong_passwords)" equals "$(wrong_passwords)" 1
    echo "$RIGHT_PASSWORD" >"$password_file"
    expect "session open" equals "$(password_held)" Y
    expect "a change with the right password" accepts "$SETTING" "$NEW"
    expect "the right password resets the count" equals "$(wrong_passwords)" 0
    echo >"$password_file"
    expect "session cleared" equals "$(password_held)" N
    for attempt in 1 2 3; do
        echo "$WRONG_PASSWORD" >"$password_file"
        expect "attempt $attempt refused" rejects "$SETTING" "$OLD"
    done
    expect "three wrong, got $(wrong_passwords)" equals "$(wrong_passwords)" 3
    expect "the locking attempt ends the session" equals "$(password_held)" N
    expect "locked: password refused" rejects "$password_file" "$RIGHT_PASSWORD"
    expect "locked: change refused" rejects "$SETTING" "$OLD"
    expect "locked: both counted, got $(wrong_passwords)" equals "$(wrong_passwords)" 5
    expect "setting unchanged" equals "$(setting)" "$NEW"
    expect "passwords received 5, got $(passwords_received)" equals "$(passwords_received)" 5
    load_driver password=1
    echo "$RIGHT_PASSWORD" >"$password_file"
    expect "reloaded: unlocked" accepts "$SETTING" "$OLD"
    echo >"$password_file"
}

# One row of the table in boot_refusals: the file's form ($form), how the option is spelt
# ($option), the file's mode ($mode), the encodings the driver lists ($encodings, "-" for no
# such file) and its admin password ($password).
case_right_password_patches() {
    if [ "$encodings" = - ]; then
        fresh_machine password=1 "admin=$password"
    else
        fresh_machine password=1 "admin=$password" "encodings=$encodings"
    fi
    write_password_file "$form" "$password"
    chmod "$mode" "$PASSWORD_FILE"
    run_tool "$option$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "setting new" equals "$(setting)" "$NEW"
    expect "record status 0, got $(record_status)" equals "$(record_status)" 0
    expect "registry status 0" equals "$(registry_status)" 0
    expect "one password given, got $(passwords_received)" equals "$(passwords_received)" 1
    expect "no wrong password, got $(wrong_passwords)" equals "$(wrong_passwords)" 0
    expect "session cleared after the write" equals "$(password_held)" N
}

case_no_setup_password_gets_none() {
    fresh_machine
    write_password_file line "$RIGHT_PASSWORD"
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "record status 0" equals "$(record_status)" 0
    expect "no password given, got $(passwords_received)" equals "$(passwords_received)" 0
}

# One row of the table in boot_refusals: what is wrong with the file ($kind) and how the
# fatal line says it ($reason).
case_unusable_password_file() {
    fresh_machine password=1
    make_unusable_password_file "$kind"
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 33, got $rc" equals "$rc" 33
    expect "fatal line names the reason" has_line \
        "FATAL ERROR: Unable to use the setup password: the file $PASSWORD_FILE $reason"
    expect "setting unchanged" equals "$(setting)" "$OLD"
    expect "no password given, got $(passwords_received)" equals "$(passwords_received)" 0
    expect "no attempt, got $(wrong_passwords)" equals "$(wrong_passwords)" 0
    expect "no firmware record" absent "$RECORD"
    expect "no registry status, got $(registry_status)" equals "$(registry_status)" ""
    remove_password_files
}

# A firmware already locked refuses the right password itself: one attempt, then settled.
case_locked_firmware_settles() {
    fresh_machine password=1 wrong_passwords=3
    write_password_file line "$RIGHT_PASSWORD"
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "error line" has_line "Error setting 'Cellkeeper' to '$NEW'"
    expect "error code line" has_text "Wmi Error code: "
    refused 10
    expect "one password given, got $(passwords_received)" equals "$(passwords_received)" 1
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "second run stops at the record" \
        has_text "Previous status code (from EFI variable): 10"
    expect "no second attempt, got $(passwords_received)" equals "$(passwords_received)" 1
    expect "record status still 10" equals "$(record_status)" 10
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

# A wrong password: refused once, settled with 10; later runs, with the wrong password, the
# right one or none, make no attempt. Boot "third" restarts this machine.
case_wrong_password_settles() {
    fresh_machine password=1
    write_password_file line "$WRONG_PASSWORD"
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "error line" has_line "Error setting 'Cellkeeper' to '$NEW'"
    expect "error code line" has_text "Wmi Error code: "
    refused 10
    expect "one wrong password, got $(wrong_passwords)" equals "$(wrong_passwords)" 1
    expect "one password given, got $(passwords_received)" equals "$(passwords_received)" 1
    expect "session cleared after the refusal" equals "$(password_held)" N
}

case_no_attempt_after_refusal() {
    before=$(record_bytes)
    for password in "$WRONG_PASSWORD" "$RIGHT_PASSWORD" ""; do
        if [ -n "$password" ]; then
            write_password_file line "$password"
            run_tool "/PASSWORDFILE:$PASSWORD_FILE"
        else
            run_tool
        fi
        expect "exit 0, got $rc" equals "$rc" 0
        expect "stops at the firmware record" \
            has_text "Previous status code (from EFI variable): 10"
    done
    expect "still one attempt, got $(wrong_passwords)" equals "$(wrong_passwords)" 1
    expect "still one password given, got $(passwords_received)" \
        equals "$(passwords_received)" 1
    expect "setting unchanged" equals "$(setting)" "$OLD"
    expect "firmware record unchanged" equals "$(record_bytes)" "$before"
    expect "registry status 10" equals "$(registry_status)" 10
}

boot_second() {
    load_driver
    run_case firmware-record-survived-restart case_record_survived
    run_case lost-registry-stops-at-firmware-record case_stops_at_firmware_record
    run_case registry-record-restored-from-firmware case_registry_restored
    run_case wrong-password-gives-10 case_wrong_password_settles
    run_case no-attempt-after-refused-password case_no_attempt_after_refusal
    run_case password-appears-nowhere case_no_password_leaks
}

# --- boot "third": the machine whose firmware refused the password, restarted --------------

case_refusal_survives_restart() {
    expect "record status 10" equals "$(record_status)" 10
    expect "no registry store" absent "$REGISTRY"
    write_password_file line "$RIGHT_PASSWORD"
    run_tool "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "stops at the firmware record" has_text "Previous status code (from EFI variable): 10"
    expect "no password given, got $(passwords_received)" equals "$(passwords_received)" 0
    expect "no attempt, got $(wrong_passwords)" equals "$(wrong_passwords)" 0
    expect "setting unchanged" equals "$(setting)" "$OLD"
    expect "registry status 10 from the firmware" equals "$(registry_status)" 10
}

case_force_with_right_password() {
    run_tool /FORCE "/PASSWORDFILE:$PASSWORD_FILE"
    expect "exit 0, got $rc" equals "$rc" 0
    expect "patch line" has_line "Patch successfully applied"
    expect "setting new" equals "$(setting)" "$NEW"
    expect "record status 0" equals "$(record_status)" 0
    expect "one password given, got $(passwords_received)" equals "$(passwords_received)" 1
}

boot_third() {
    load_driver password=1
    run_case refused-password-survives-restart case_refusal_survives_restart
    run_case force-with-right-password-patches case_force_with_right_password
    run_case password-appears-nowhere case_no_password_leaks
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
    expect "refuses a value not offered" rejects "$SETTING" Sometimes
    expect "pending_reboot 0 after a refusal" equals "$(pending)" 0
    expect "takes a value with a line end" accepts "$SETTING" "$NEW"
    expect "takes a value without one" accepts_bare "$SETTING" "$OLD"
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
    expect "no firmware record (store full)" empty "$RECORD"
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
    run_case driver-password-rules case_driver_password_rules
    # name, form, option, mode, encodings, password
    for row in "line line /PASSWORDFILE: 0600 - $RIGHT_PASSWORD" \
        "bom-crlf bom-crlf /passwordfile: 0400 - $RIGHT_PASSWORD" \
        "utf16 utf16 --password-file= 0600 - $RIGHT_PASSWORD" \
        "latin1-as-keyboard-codes line /PASSWORDFILE: 0600 - $LATIN1_PASSWORD" \
        "beyond-latin1-as-utf16 line /PASSWORDFILE: 0600 ascii;utf-16 $WIDE_PASSWORD"; do
        read -r name form option mode encodings password <<ROW
$row
ROW
        run_case "right-password-patches-$name" case_right_password_patches
    done
    run_case no-setup-password-gets-no-password case_no_setup_password_gets_none
    for row in "mode-0644:may be read or written by others than root$MODE_RULE" \
        "mode-0640:may be read or written by others than root$MODE_RULE" \
        "other-owner:is not owned by root" "symlink:is a link" \
        "hard-link:has more than one name (a hard link)" "directory:is not a regular file" \
        "missing:does not exist" "empty:holds no password" \
        "too-long:holds a password longer than 128 characters" \
        "holds-nul:holds a NUL character"; do
        kind=${row%%:*} reason=${row#*:}
        run_case "password-file-$kind-gives-33" case_unusable_password_file
    done
    run_case locked-firmware-refuses-once-gives-10 case_locked_firmware_settles
    run_case password-appears-nowhere case_no_password_leaks
    # Last: nothing after it can write a variable.
    run_case full-variable-store-still-patches case_full_variable_store
}
