# shellcheck shell=bash
# Sourced by run-vm-tests: builds the test machine's parts (the test driver against the packaged
# kernel headers, the initramfs) and boots QEMU without KVM on OVMF, reading the report that the
# guest writes to its second serial port.

OVMF_CODE=/usr/share/OVMF/OVMF_CODE_4M.fd
OVMF_VARS=/usr/share/OVMF/OVMF_VARS_4M.fd
# One report line per case, framed by these markers; anything else on the port is ignored.
BEGIN_MARK=VMTEST-BEGIN
END_MARK=VMTEST-END

# The kernel release that linux-image-amd64 installs (e.g. 6.1.0-57-amd64): the one we boot and
# build the driver for, whatever kernel the host itself runs.
packaged_kernel_release() {
    dpkg-query -W -f='${Depends}' linux-image-amd64 |
        grep -o 'linux-image-[0-9][^ ,]*' | head -n 1 | sed 's/^linux-image-//'
}

# build_driver KERNEL-RELEASE OUT-DIR: the test driver, built with kbuild in OUT-DIR.
build_driver() {
    local release=$1 out=$2
    rm -rf "$out"
    mkdir -p "$out"
    cp tests/vm/driver/Kbuild tests/vm/driver/*.c "$out/"
    make -s -C "/lib/modules/$release/build" M="$(cd "$out" && pwd)" modules \
        >"$out/build.log" 2>&1 || { cat "$out/build.log"; return 1; }
}

# copy_with_libraries PROGRAM ROOT FOLDER: the program into ROOT/FOLDER and every shared library
# that ldd names into ROOT at the same path.
copy_with_libraries() {
    local program=$1 root=$2 folder=$3 library
    install -D -m 0755 "$program" "$root/$folder/$(basename "$program")"
    for library in $(ldd "$program" | grep -o '/[^ ]*'); do
        install -D -m 0755 "$library" "$root$library"
    done
}

# make_initramfs RELEASE DRIVER-KO TOOL OUT-FILE: busybox, our init and cases, the modules, the
# tool and its libraries, as a gzip'd newc cpio.
make_initramfs() {
    local release=$1 driver=$2 tool=$3 out=$4 root applet
    root=$(mktemp -d)
    mkdir -p "$root"/{bin,sbin,usr/bin,usr/sbin,proc,sys,dev,run,tmp,modules}
    cp /bin/busybox "$root/bin/busybox"
    for applet in $(/bin/busybox --list); do
        [ -e "$root/bin/$applet" ] || ln -s busybox "$root/bin/$applet"
    done
    cp tests/vm/guest/init "$root/init"
    cp tests/vm/guest/cases.sh "$root/cases.sh"
    cp "/lib/modules/$release/kernel/fs/efivarfs/efivarfs.ko" \
        "/lib/modules/$release/kernel/drivers/platform/x86/firmware_attributes_class.ko" \
        "$driver" "$root/modules/"
    copy_with_libraries "$tool" "$root" usr/sbin
    # Busybox has no chattr: efivarfs makes every variable immutable.
    copy_with_libraries /usr/bin/chattr "$root" usr/bin
    copy_with_libraries /usr/bin/lsattr "$root" usr/bin
    (cd "$root" && find . | cpio -o -H newc --quiet) | gzip -1 >"$out"
    rm -rf "$root"
}

# new_variable_store FILE: FILE becomes a fresh copy of OVMF's empty variable store, the
# non-volatile memory of one test machine.
new_variable_store() {
    cp "$OVMF_VARS" "$1"
}

# A notebook chassis (SMBIOS type 3, type 0x0A, maker "Vantrel"): QEMU's own type 3 has no
# option for the chassis type, so the structure goes in raw.
write_chassis_table() {
    printf '\x03\x0d\x00\x03\x01\x0a\x00\x00\x00\x03\x03\x03\x03Vantrel\x00\x00' >"$1"
}

# The maker's DMI and SMBIOS facts, as QEMU hands them to the firmware.
SMBIOS_OPTIONS=(
    -smbios "type=0,vendor=Vantrel,version=R1.14.0,date=03/16/2021"
    -smbios "type=1,manufacturer=Vantrel,product=Aerion 14 G3"
    -smbios "type=11,value=FW-PLAT 3.2,value=EDK2_1"
)

# boot_qemu MEMORY VARS-FILE LOG-PREFIX KERNEL-COMMAND-LINE QEMU-ARGUMENT...: one boot to
# power-off on OVMF with the maker's SMBIOS tables; the console goes to LOG-PREFIX.console, the
# report port to LOG-PREFIX.report.
boot_qemu() {
    local memory=$1 vars=$2 log=$3 append=$4 chassis
    shift 4
    chassis=$(dirname "$log")/chassis.bin
    write_chassis_table "$chassis"
    timeout 300 qemu-system-x86_64 -machine q35 -accel tcg -smp 1 -m "$memory" \
        -nodefaults -display none -no-reboot \
        -drive if=pflash,format=raw,unit=0,readonly=on,file="$OVMF_CODE" \
        -drive if=pflash,format=raw,unit=1,file="$vars" \
        "${SMBIOS_OPTIONS[@]}" -smbios file="$chassis" \
        "$@" -append "$append" \
        -serial file:"$log.console" -serial file:"$log.report" \
        </dev/null >"$log.qemu" 2>&1
}

# boot_vm RELEASE INITRD VARS-FILE LOG-PREFIX BOOT-NAME: the initramfs machine.
boot_vm() {
    local release=$1 initrd=$2 vars=$3 log=$4 name=$5
    boot_qemu 512 "$vars" "$log" "console=ttyS0 loglevel=4 panic=-1 vmtest.boot=$name" \
        -kernel "/boot/vmlinuz-$release" -initrd "$initrd"
}

# count_report NAME LOG-PREFIX: adds the boot's case results to $passed and $failed, and one
# failure when the boot never reached its end marker.
count_report() {
    local name=$1 log=$2 line
    while IFS= read -r line; do
        line=${line%$'\r'}
        case $line in
        "ok "*)
            passed=$((passed + 1))
            echo "  $line"
            ;;
        "not ok "*)
            failed=$((failed + 1))
            echo "  $line"
            ;;
        esac
    done < <(sed -n "/^$BEGIN_MARK $name/,/^$END_MARK $name/p" "$log.report" 2>/dev/null)
    if ! grep -q "^$END_MARK $name" "$log.report" 2>/dev/null; then
        failed=$((failed + 1))
        echo "  not ok boot $name: did not finish; last lines of its console:"
        tail -n 15 "$log.console" 2>/dev/null | sed 's/^/    /'
        tail -n 5 "$log.qemu" 2>/dev/null | sed 's/^/    /'
    fi
}
