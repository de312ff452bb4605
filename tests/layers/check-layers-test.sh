#!/usr/bin/env bash
# The layer check on small source trees: each case is one file with one include, and whether
# the check must accept it.
set -uo pipefail
check="$(dirname "$0")/../../scripts/check-layers"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
# expect FILE INCLUDED accept|refuse
expect() {
    local tree="$scratch/case$RANDOM"
    mkdir -p "$tree/$(dirname "$1")"
    printf '#include "%s"\n#include <string>\n' "$2" >"$tree/$1"
    bash "$check" "$tree" >"$tree.out" 2>&1
    local status=$?
    if { [ "$3" = accept ] && [ $status -ne 0 ]; } || { [ "$3" = refuse ] && [ $status -ne 1 ]; }; then
        echo "FAILED: $1 including $2 should $3 (exit $status):"
        cat "$tree.out"
        failures=$((failures + 1))
    fi
}

expect bios/bios_config_client.cpp wmi/wmi_connection.h accept
expect patch/charging_policy_patch.cpp record/run_status_record.h accept
expect record/registry_key.cpp platform/platform.h accept
expect platform/posix/firmware.cpp platform/machine_root.h accept
expect machine_providers/bios_provider.cpp wmi_service/wbem_services.h accept
expect program/main_posix.cpp machine_providers/provider_locator.h accept
expect record/registry_key.cpp bios/named_texts.h refuse
expect wmi/wmi_object.cpp bios/named_texts.h refuse
expect bios/password_encoding.cpp app/run.h refuse
expect qualification/qualification.cpp patch/charging_policy_patch.h refuse
expect wmi/wmi_connection.cpp record/run_status_record.h refuse
expect platform/posix/com.cpp machine_providers/provider_locator.h refuse
expect platform/posix/com.cpp wmi_service/wbem_locator.h refuse
expect wmi_service/wbem_locator.cpp machine_providers/providers.h refuse
expect app/run.cpp machine_providers/provider_locator.h refuse
expect app/run.cpp program/main_posix.cpp refuse
expect machine_providers/bios_provider.cpp app/run.h refuse
expect platform/machine_files_posix.cpp platform/posix/file_io.h accept
expect machine_providers/firmware_attribute_write.cpp platform/posix/file_io.h refuse
expect machine_providers/capped_reads_posix.cpp platform/posix/kernel.h refuse
expect app/run_lock_posix.cpp platform/posix/synch.h refuse
expect bios/bios_config_client.cpp platform/posix/oleauto.h refuse
expect platform/posix/registry.cpp base/text.h accept
expect base/text.cpp platform/platform.h refuse
expect stray/thing.cpp base/text.h refuse

echo "check-layers cases: $failures failed"
[ "$failures" -eq 0 ]
