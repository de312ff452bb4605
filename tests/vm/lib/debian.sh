# shellcheck shell=bash
# Sourced by run-vm-tests: a minimal Debian 12 with systemd, made by mmdebstrap (the base is
# cached under build/vm/cache, keyed by what it holds), with the project's package and the test
# driver put in, as an ext4 disk image that QEMU boots on OVMF with Debian's kernel and initrd.

DEBIAN_PACKAGES=systemd-sysv,udev,kmod,libstdc++6
DEBIAN_SUITE=bookworm

# debian_base CACHE-DIR: prints the base tarball, made when the cache has none of this recipe.
debian_base() {
    local cache=$1 key tar
    key=$(echo "$DEBIAN_SUITE minbase $DEBIAN_PACKAGES" | md5sum | cut -c1-12)
    tar="$cache/debian12-$key.tar"
    if [ ! -f "$tar" ]; then
        rm -rf "$tar" "$tar.part"
        mkdir -p "$cache"
        mmdebstrap --quiet --format=tar --variant=minbase --include="$DEBIAN_PACKAGES" \
            "$DEBIAN_SUITE" "$tar.part" >&2 || { rm -f "$tar.part"; return 1; }
        mv "$tar.part" "$tar"
    fi
    echo "$tar"
}

# install_modules RELEASE ROOT DRIVER-KO: the two modules the machine needs beyond its initrd's,
# and the test driver, with modules.dep made for them.
install_modules() {
    local release=$1 root=$2 driver=$3 modules=/lib/modules/$1
    install -D -m 0644 "$modules/kernel/fs/efivarfs/efivarfs.ko" \
        "$root$modules/kernel/fs/efivarfs/efivarfs.ko"
    install -D -m 0644 "$modules/kernel/drivers/platform/x86/firmware_attributes_class.ko" \
        "$root$modules/kernel/drivers/platform/x86/firmware_attributes_class.ko"
    install -D -m 0644 "$driver" "$root$modules/extra/vantrel_wmi_test.ko"
    cp "$modules"/modules.builtin* "$modules/modules.order" "$root$modules/"
    depmod -b "$root" "$release"
}

# make_debian_disk RELEASE BASE-TAR DEB DRIVER-KO OUT-IMAGE
make_debian_disk() {
    local release=$1 base=$2 deb=$3 driver=$4 out=$5 root
    root=$(mktemp -d)
    tar -x -C "$root" -f "$base"
    cp "$deb" "$root/tmp/cellkeeper-patch.deb"
    chroot "$root" dpkg -i /tmp/cellkeeper-patch.deb >"$out.dpkg.log" 2>&1 ||
        { cat "$out.dpkg.log"; rm -rf "$root"; return 1; }
    rm "$root/tmp/cellkeeper-patch.deb"
    install_modules "$release" "$root" "$driver"
    install -D -m 0644 tests/vm/guest/debian/vmtest.conf "$root/etc/modules-load.d/vmtest.conf"
    install -D -m 0644 tests/vm/guest/cases.sh "$root/usr/local/lib/vmtest/cases.sh"
    install -D -m 0755 tests/vm/guest/debian/vmtest-report "$root/usr/local/sbin/vmtest-report"
    install -D -m 0644 tests/vm/guest/debian/vmtest-report.service \
        "$root/etc/systemd/system/vmtest-report.service"
    install -D -m 0644 tests/vm/guest/debian/lock-probe.conf \
        "$root/etc/systemd/system/cellkeeper-patch.service.d/vmtest-lock-probe.conf"
    ln -sf /etc/systemd/system/vmtest-report.service \
        "$root/etc/systemd/system/multi-user.target.wants/vmtest-report.service"
    echo "/dev/vda / ext4 defaults 0 1" >"$root/etc/fstab"
    echo vmtest >"$root/etc/hostname"
    rm -f "$out"
    mke2fs -q -t ext4 -d "$root" "$out" 1G
    local status=$?
    rm -rf "$root"
    return $status
}

# boot_debian RELEASE IMAGE VARS-FILE LOG-PREFIX BOOT-NAME [KERNEL-ARGUMENT...]
boot_debian() {
    local release=$1 image=$2 vars=$3 log=$4 name=$5
    shift 5
    boot_qemu 1024 "$vars" "$log" \
        "root=/dev/vda rw console=ttyS0 loglevel=4 panic=-1 vmtest.boot=$name $*" \
        -drive if=virtio,format=raw,file="$image" \
        -kernel "/boot/vmlinuz-$release" -initrd "/boot/initrd.img-$release"
}
