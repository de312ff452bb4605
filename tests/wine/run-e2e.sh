#!/usr/bin/env bash
# End-to-end tests of the Windows program under Wine: the unchanged cellkeeper-patch.exe runs on
# Wine's real COM, OLE Automation and registry; the machine (root\cimv2 and the vendor BIOS
# namespace) comes from the sample trees through the machine stand-in DLL registered as the WMI
# locator. The tests share the Windows unit tests' prefix and Wine server (WINEPREFIX) and
# nothing else: each case starts from a deleted registry key and a fresh copy of its machine
# tree, and Wine's own locator entry is put back at the end.
#
# Usage: tests/wine/run-e2e.sh <windows build dir>
# CELLKEEPER_EXE names another program to test in place of the build's (a signed copy).
set -u
build=$(cd "${1:?usage: run-e2e.sh <windows build dir>}" && pwd)
repo=$(cd "$(dirname "$0")/../.." && pwd)
machines="$repo/examples/machines"
exe=${CELLKEEPER_EXE:-$build/src/cellkeeper-patch.exe}
standin="$build/tests/wine/machine_standin.dll"
deny_key="$build/tests/wine/deny_key.exe"
squat_lock="$build/tests/wine/squat_lock.exe"
fake_powershell="$build/tests/wine/fake_powershell.exe"
for f in "$exe" "$standin" "$deny_key" "$squat_lock" "$fake_powershell"; do
    [ -f "$f" ] || { echo "missing $f: build the windows preset first" >&2; exit 2; }
done

wine=${WINE:-/usr/lib/wine/wine64}
wineserver=${WINESERVER:-/usr/lib/wine/wineserver64}
[ -x "$wineserver" ] || wineserver=$(command -v wineserver)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
export WINEPREFIX=${WINEPREFIX:-$build/wine-prefix}
work=$(mktemp -d)
key='HKLM\Software\Classes\CLSID\{4590F811-1D3A-11D0-891F-00AA004B2E24}\InprocServer32'
own_locator=""
own_server=0
bios_key='HKLM\HARDWARE\DESCRIPTION\System\BIOS'
powershell="$WINEPREFIX/drive_c/windows/system32/WindowsPowerShell/v1.0/powershell.exe"
finish() {
    "$wine" reg delete 'HKLM\SOFTWARE\Vantrel' /f >/dev/null 2>&1
    # What the deployment script cases changed in the shared prefix.
    [ -f "$work/powershell.exe.saved" ] && cp "$work/powershell.exe.saved" "$powershell"
    [ -n "${saved_maker+set}" ] && "$wine" reg add "$bios_key" /v SystemManufacturer /d "$saved_maker" /f >/dev/null 2>&1
    rm -rf "$WINEPREFIX/drive_c/Program Files/Vantrel/Cellkeeper Patch"
    rmdir "$WINEPREFIX/drive_c/Program Files/Vantrel" 2>/dev/null
    [ -n "$own_locator" ] && "$wine" reg add "$key" /ve /d "$own_locator" /f >/dev/null 2>&1
    if [ "$own_server" = 1 ]; then
        "$wineserver" -k >/dev/null 2>&1
        "$wineserver" -w >/dev/null 2>&1
    fi
    rm -rf "$work"
}
trap finish EXIT

if [ ! -f "$WINEPREFIX/system.reg" ]; then
    "$wine" wineboot -i >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 2; }
fi
# Use the test run's server when one is up; otherwise start one and stop it at the end.
"$wineserver" -p </dev/null >/dev/null 2>&1 && own_server=1
own_locator=$("$wine" reg query "$key" /ve 2>/dev/null | tr -d '\r' |
    awk '$1 == "(Default)" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }')
# Wine's own entry comes back with every prefix update, so register on every run.
"$wine" reg add "$key" /ve /d "$("$wine" winepath -w "$standin" 2>/dev/null | tr -d '\r')" /f >/dev/null
"$wine" reg add "$key" /v ThreadingModel /d Both /f >/dev/null

tool_key='HKLM\SOFTWARE\Vantrel\Vantrel Cellkeeper Patch'
passed=0 failed=0 case_name="" case_ok=1 out="" rc=0 tree=""

begin() {
    case_name=$1 case_ok=1
    "$wine" reg delete 'HKLM\SOFTWARE\Vantrel' /f >/dev/null 2>&1
    tree="$work/$case_name"
    rm -rf "$tree" && cp -r "$machines/$2" "$tree"
}
run() {
    CELLKEEPER_ROOT="$("$wine" winepath -w "$tree" 2>/dev/null | tr -d '\r')" \
        "$wine" "$exe" "$@" >"$work/stdout" 2>/dev/null
    rc=$?
    out=$(tr -d '\r' <"$work/stdout")
}
fail() { echo "  $case_name: $*"; case_ok=0; }
expect_rc() { [ "$rc" = "$1" ] || fail "exit code $rc, expected $1"; }
# The whole console output, line by line; a line "DATE" matches any run date.
expect_lines() {
    local expected actual
    expected=$(printf '%s\n' "$@")
    actual=$(printf '%s\n' "$out" | sed -E 's/^(Patch was previously run on ).+$/\1DATE/')
    [ "$actual" = "$expected" ] || fail "output differs:$(diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /')"
}
reg_value() {  # prints the data of a value ("" when missing)
    "$wine" reg query "$tool_key" /v "$1" 2>/dev/null | tr -d '\r' |
        awk -v name="$1" '$1 == name { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
expect_reg() { local got; got=$(reg_value "$1"); [ "$got" = "$2" ] || fail "$1 is '$got', expected '$2'"; }
expect_cellkeeper() {
    local got
    got=$(cat "$tree/sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/current_value")
    [ "$got" = "$1" ] || fail "Cellkeeper holds '$got', expected '$1'"
}
# The run log in the prefix's ProgramData, lines without their time stamps and CR LF ends.
run_log="$WINEPREFIX/drive_c/ProgramData/Vantrel/Cellkeeper Patch/cellkeeper-patch.log"
expect_log() {
    local expected actual
    expected=$(printf '%s\n' "$@")
    actual=$(sed -E 's/^[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z ?//; s/\r$//' "$run_log" 2>/dev/null |
        sed -E "s/^(start: Vantrel Cellkeeper Patch )[0-9.]+, process [0-9]+, host '[^']+', model (unknown|'.*'), BIOS (unknown|'.*'),/\\1VERSION, process PID, host HOST, model MODEL, BIOS VERSION,/; s/^(end: .*, process )[0-9]+\$/\\1PID/")
    [ "$actual" = "$expected" ] || fail "log differs:$(diff <(echo "$expected") <(echo "$actual") | sed 's/^/    /')"
    [ "$(grep -c $'\r$' "$run_log" 2>/dev/null)" = "$#" ] || fail "log lines do not end in CR LF"
}
end() {
    if [ "$case_ok" = 1 ]; then passed=$((passed + 1)); echo "ok   $case_name"
    else failed=$((failed + 1)); echo "FAIL $case_name"; fi
}

banner="Vantrel Cellkeeper Patch"
old="Maximize my battery duration"
new="Let Vantrel manage my battery charging"
applied="Patch successfully applied"

begin patched-then-stops vantrel-notebook
rm -f "$run_log"
run
expect_rc 0; expect_lines "$banner" "$applied"
# A firmware setting changed from Windows takes effect at the next start. Wine has no firmware
# variables (ERROR_INVALID_FUNCTION): the log says so once.
expect_log "start: Vantrel Cellkeeper Patch VERSION, process PID, host HOST, model MODEL, BIOS VERSION, arguments: none" "$banner" "$applied" \
    "decision: status code 0 (the setting holds the new value)" \
    "change: Cellkeeper '$old' -> '$new'" \
    "pending restart: the change takes effect at the next start" \
    "no firmware variables: the registry alone keeps the record" \
    "end: status code 0, exit code 0, process PID"
expect_reg Status 0x0; expect_reg SystemVendor Vantrel; expect_reg SystemModel "Aerion 14 G3"
expect_reg BIOSReleaseName R1.14.0; expect_reg BIOSReleaseDate 20210316
expect_reg HasNoteBookChassis 0x1; expect_reg NumBatteries 0x1
[ -n "$(reg_value DateRun)" ] || fail "DateRun missing"
expect_cellkeeper "$new"
# Wine has no firmware variables: the second run decides from the registry.
run
expect_rc 0; expect_lines "$banner" "Patch was previously run on DATE" "Previous status code: 0" ""
run /force
expect_rc 0; expect_lines "$banner" "Patch was previously run on DATE" "Previous status code: 0" "" "$applied"
end

for refusal in other-vendor:0x3 no-battery:0x4 foreign-bios:0x5 no-oem-marker:0x5 \
               enhanced-authentication:0x8 setup-password:0x7; do
    begin "refused-${refusal%%:*}" "${refusal%%:*}"
    run /FORCE
    expect_rc 0; expect_lines "$banner" "Patch not applicable"
    expect_reg Status "${refusal##*:}"; expect_cellkeeper "$old"
    end
done

# A setup password from a file that only the run's account may read (Wine maps the mode 0600 to
# an access list for its owner alone): the machine is patched. A file others may read ends the
# run with 33 before the firmware is touched, and leaves no status.
password_file="$work/setup-password"
printf 'Adm1n-S3cret\r\n' >"$password_file"
password_arg="/PASSWORDFILE:$("$wine" winepath -w "$password_file" 2>/dev/null | tr -d '\r')"
begin password-patches setup-password
chmod 600 "$password_file"
run "$password_arg"
expect_rc 0; expect_lines "$banner" "$applied"; expect_reg Status 0x0; expect_cellkeeper "$new"
grep -q 'Adm1n-S3cret' "$run_log" && fail "the log holds the password"
end
begin password-file-unsafe setup-password
chmod 644 "$password_file"
run "$password_arg"
expect_rc 33; expect_cellkeeper "$old"; [ -z "$(reg_value Status)" ] || fail "a status was written"
printf '%s\n' "$out" | grep -q '^FATAL ERROR: Unable to use the setup password: the file .* gives users other than SYSTEM and Administrators access to it$' ||
    fail "no fatal line naming the reason: $out"
end

begin not-required already-patched
run
expect_rc 0; expect_lines "$banner" "Patch not required"; expect_reg Status 0x0
end

begin setting-missing no-cellkeeper
run
expect_rc 0; expect_lines "$banner" "BIOS setting 'Cellkeeper' not found; patch not applicable"
expect_reg Status 0x9
end

begin no-vendor-namespace no-bios-namespace
run
expect_rc 33; expect_lines "$banner" "FATAL ERROR: Application terminated abnormally"
[ -n "$(reg_value DateRun)" ] || fail "DateRun missing"
expect_reg Status ""
end

begin provider-error-then-retry write-refused
run
expect_rc 0
expect_lines "$banner" "Error setting 'Cellkeeper' to '$new'" "Wmi Error code: 2"
expect_reg Status 0x24
# Status 36 does not settle the matter: the next run goes on by itself.
run
expect_rc 0
expect_lines "$banner" "Patch was previously run on DATE" "Previous status code: 36" "" \
    "Error setting 'Cellkeeper' to '$new'" "Wmi Error code: 2"
end

# /EXITSTATUS: the status code as the exit code, and 3010 (a soft restart) for a change, which
# on Windows takes effect at the next start. Wine gives Linux the low 8 bits: 3010 is 194.
begin exit-status-restart vantrel-notebook
run /EXITSTATUS
expect_rc 194; expect_lines "$banner" "$applied"; expect_reg Status 0x0
end
begin exit-status-refused other-vendor
run /exitstatus
expect_rc 3; expect_lines "$banner" "Patch not applicable"; expect_reg Status 0x3
end

# A request for help opens, creates and writes nothing: no registry key, no change to the machine.
tree_state() { (cd "$tree" && find . -print0 | sort -z | xargs -0 md5sum 2>/dev/null; find . | sort); }
help_case=0
for help in '/?' '-?' /h -H /Help --help; do
    help_case=$((help_case + 1))
    begin "help-$help_case" vantrel-notebook
    before=$(tree_state)
    run "$help"
    expect_rc 0
    [ "$(printf '%s\n' "$out" | sed -n 2p)" = "Usage: cellkeeper-patch [/FORCE] [/EXITSTATUS] [/PASSWORDFILE:<path>]" ] ||
        fail "no usage text: $(printf '%s\n' "$out" | head -2)"
    "$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the registry key exists"
    [ "$(tree_state)" = "$before" ] || fail "the machine tree changed"
    end
done
# The version words, like the help words, touch nothing.
for version in --version /VERSION; do
    begin "version-${version//[\/-]/}" vantrel-notebook
    before=$(tree_state)
    run "$version"
    expect_rc 0
    [[ "$out" =~ ^Vantrel\ Cellkeeper\ Patch\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "not the version: $out"
    "$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the registry key exists"
    [ "$(tree_state)" = "$before" ] || fail "the machine tree changed"
    end
done
# The check reads and reports: one JSON line, its verdict's exit code, no key, no change.
check_case() {  # name machine exit-code verdict
    begin "check-$1" "$2"
    before=$(tree_state)
    run /check
    expect_rc "$3"
    [ "$(printf '%s\n' "$out" | wc -l)" = 1 ] || fail "not one line: $out"
    case "$out" in *"\"verdict\":\"$4\""*) ;; *) fail "verdict is not $4: $out" ;; esac
    "$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the registry key exists"
    [ "$(tree_state)" = "$before" ] || fail "the machine tree changed"
    end
}
check_case no-provider no-bios-namespace 3 unknown
check_case would-patch vantrel-notebook 1 would-patch
check_case blocked setup-password 2 blocked
check_case compliant already-patched 0 compliant
# The Group Policy start-up script of the release (deploy/group-policy), run by Wine's cmd from a
# share folder beside the exe, with a stand-in for powershell.exe that records the BitLocker
# step. A wrapper starts it as Group Policy does (cmd /c) and prints its whole exit code: Wine
# gives Linux the low 8 bits only, and its `call` of a batch file loses the code.
share="$work/share"
mkdir -p "$share"
cp "$repo/deploy/group-policy/cellkeeper-patch.cmd" "$repo/deploy/remediations/install-program.cmd" "$share/"
cp "$exe" "$share/cellkeeper-patch.exe"
printf '@echo off\r\ncmd /c "%%~dp0%%~1"\r\necho script exit code %%errorlevel%%\r\n' >"$share/wrapper.cmd"
cp "$powershell" "$work/powershell.exe.saved"
cp "$fake_powershell" "$powershell"
saved_maker=$("$wine" reg query "$bios_key" /v SystemManufacturer 2>/dev/null | tr -d '\r' |
    awk '$1 == "SystemManufacturer" { $1 = ""; $2 = ""; sub(/^ +/, ""); print }')
script_log="$(dirname "$run_log")/startup-script.log"
powershell_log="$work/powershell.log"
run_script() {  # SCRIPT: runs it from the share; sets out, rc
    : >"$powershell_log"
    CELLKEEPER_ROOT="$("$wine" winepath -w "$tree" 2>/dev/null | tr -d '\r')" \
        FAKE_POWERSHELL_LOG="$("$wine" winepath -w "$powershell_log" 2>/dev/null | tr -d '\r')" \
        "$wine" cmd /c "$("$wine" winepath -w "$share/wrapper.cmd" 2>/dev/null | tr -d '\r')" "$1" \
        >"$work/stdout" 2>/dev/null
    out=$(tr -d '\r' <"$work/stdout" | grep -v '^script exit code ')
    rc=$(tr -d '\r' <"$work/stdout" | sed -n 's/^script exit code //p')
}
maker() { "$wine" reg add "$bios_key" /v SystemManufacturer /d "$1" /f >/dev/null 2>&1 || fail "cannot set the maker"; }
expect_bitlocker() {  # yes or no: whether the script asked PowerShell to suspend BitLocker
    local asked=no
    # shellcheck disable=SC2016 # the PowerShell text as the script passes it
    grep -q 'Suspend-BitLocker -MountPoint $env:SystemDrive -RebootCount 1' "$powershell_log" && asked=yes
    [ "$asked" = "$1" ] || fail "BitLocker suspension asked: $asked, expected $1"
}
expect_script_log() {  # the last line of the script's log, without its date and time
    local got
    got=$(tail -n 1 "$script_log" 2>/dev/null | tr -d '\r' | sed -E 's/^.* (exit code )/\1/')
    [ "$got" = "$1" ] || fail "script log line '$got', expected '$1'"
}

# case, machine, tool's exit code, BitLocker asked (unless /CHECK says the setting stays: 0 or
# 2), the script log's line
while IFS='|' read -r name machine code bitlocker line; do
    begin "gp-$name" "$machine"
    maker Vantrel
    run_script cellkeeper-patch.cmd
    expect_rc "$code"; expect_bitlocker "$bitlocker"; expect_script_log "exit code $code: $line"
    end
done <<'CASES'
patches|vantrel-notebook|3010|yes|done, restart pending: the change takes effect at the next start
not-applicable|no-battery|4|no|not applicable
blocked|setup-password|7|no|blocked: someone must act, see the tool's log
write-refused|write-refused|36|no|failed: the firmware write failed; the next start tries again
cannot-tell|no-bios-namespace|33|yes|failed: see the tool's log
CASES

begin gp-second-start-stops vantrel-notebook
maker Vantrel
run_script cellkeeper-patch.cmd
expect_rc 3010
run_script cellkeeper-patch.cmd
expect_rc 0; expect_bitlocker no; expect_script_log "exit code 0: done"
expect_lines "$banner" "Patch was previously run on DATE" "Previous status code: 0" ""
end

begin gp-other-maker vantrel-notebook
maker "Northwind Systems"
before=$(tree_state)
lines_before=$(wc -l <"$script_log")
run_script cellkeeper-patch.cmd
expect_rc 0; expect_bitlocker no; [ -z "$out" ] || fail "output: $out"
[ "$(tree_state)" = "$before" ] || fail "the machine tree changed"
"$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the registry key exists"
[ "$(wc -l <"$script_log")" = "$lines_before" ] || fail "a log line was written"
end

# BitLocker is on and cannot be suspended: the setting stays, the next start tries again.
begin gp-bitlocker-refused vantrel-notebook
maker Vantrel
FAKE_POWERSHELL_EXIT=1 run_script cellkeeper-patch.cmd
expect_rc 1603; expect_bitlocker yes; expect_cellkeeper "$old"
expect_script_log "exit code 1603: failed: BitLocker could not be suspended; nothing changed, the next start tries again"
"$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the tool ran"
end

# The Remediations scripts' program in its fixed place, put there by install-program.cmd.
begin remediations-install-program vantrel-notebook
run_script install-program.cmd
expect_rc 0
cmp -s "$exe" "$WINEPREFIX/drive_c/Program Files/Vantrel/Cellkeeper Patch/cellkeeper-patch.exe" ||
    fail "the program is not in Program Files\\Vantrel\\Cellkeeper Patch"
run_script install-program.cmd
expect_rc 0
end
cp "$work/powershell.exe.saved" "$powershell" && rm "$work/powershell.exe.saved"
"$wine" reg add "$bios_key" /v SystemManufacturer /d "$saved_maker" /f >/dev/null 2>&1
unset saved_maker

# An event under the lock's old name, as any user could create it, does not stop the run.
begin squatted-lock-name vantrel-notebook
CELLKEEPER_ROOT="$("$wine" winepath -w "$tree" 2>/dev/null | tr -d '\r')" \
    "$wine" "$squat_lock" "$("$wine" winepath -w "$exe" 2>/dev/null | tr -d '\r')" >"$work/stdout" 2>/dev/null
rc=$?
out=$(tr -d '\r' <"$work/stdout")
expect_rc 0; expect_lines "$banner" "$applied"; expect_cellkeeper "$new"
end

# Another run holding the lock for the whole minute: exit code 1618, which deployment tools retry,
# and nothing written.
begin busy-1618 vantrel-notebook
before=$(tree_state)
CELLKEEPER_ROOT="$("$wine" winepath -w "$tree" 2>/dev/null | tr -d '\r')" \
    "$wine" "$squat_lock" --hold "$("$wine" winepath -w "$exe" 2>/dev/null | tr -d '\r')" >"$work/stdout" 2>"$work/stderr"
# Wine gives Linux the exit code's low 8 bits only; the helper prints it whole.
rc=$(grep -a -o -E '^exit code [0-9]+' "$work/stderr" | tail -n 1 | cut -d' ' -f3)
out=$(tr -d '\r' <"$work/stdout")
expect_rc 1618; expect_lines "$banner" "FATAL ERROR: Another run of the patch is in progress"
[ "$(tree_state)" = "$before" ] || fail "the machine tree changed"
"$wine" reg query "$tool_key" >/dev/null 2>&1 && fail "the registry key exists"
end

# One run at a time: of eight started at once exactly one patches, the others find its record.
begin eight-at-once vantrel-notebook
root_path=$("$wine" winepath -w "$tree" 2>/dev/null | tr -d '\r')
pids=()
for i in 1 2 3 4 5 6 7 8; do
    CELLKEEPER_ROOT="$root_path" "$wine" "$exe" >"$work/stdout-$i" 2>/dev/null &
    pids+=("$!")
done
patched=0
for i in 1 2 3 4 5 6 7 8; do
    wait "${pids[$((i - 1))]}"; rc=$?
    out=$(tr -d '\r' <"$work/stdout-$i")
    expect_rc 0
    if [ "$out" = "$(printf '%s\n' "$banner" "$applied")" ]; then
        patched=$((patched + 1))
    else
        expect_lines "$banner" "Patch was previously run on DATE" "Previous status code: 0" ""
    fi
done
[ "$patched" = 1 ] || fail "$patched runs patched, expected 1"
expect_reg Status 0x0; expect_cellkeeper "$new"
end

begin access-denied vantrel-notebook
"$wine" "$deny_key" || fail "deny_key failed"
run
expect_rc 34
expect_lines "$banner" "FATAL ERROR: Unable to access required Windows registry; error code = 5"
expect_cellkeeper "$old"
# The shared server would keep the restriction for the tests that come after.
"$wine" "$deny_key" restore || fail "deny_key restore failed"
"$wine" reg delete 'HKLM\SOFTWARE\Vantrel' /f >/dev/null 2>&1 || fail "key not deleted after restore"
end

echo "wine e2e: $passed passed, $failed failed"
[ "$failed" = 0 ]
