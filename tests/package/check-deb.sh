#!/usr/bin/env bash
# Checks the Debian package as an administrator meets it: it builds from a clean copy of the
# checkout, lintian finds no error, systemd accepts the unit, dpkg installs it into a scratch
# root (unit enabled), the installed program patches a copy of the sample notebook and runs
# under the release's Ansible playbook, and dpkg removes it again. Prints one line per check; exits non-zero when one failed.
#
#   tests/package/check-deb.sh [DEB]
#
# DEB: a package that scripts/build-deb already made (the test run builds it once for this check
# and for the virtual machine tests); without it, the package is built here.
set -u
repo=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failed=1; }

deb=${1:-}
[ -n "$deb" ] || deb=$("$repo/scripts/build-deb" "$work/out" | tail -n 1)
if [ ! -f "$deb" ]; then
    fail "package build"
    exit 1
fi
ok "package build: $(basename "$deb")"

if lintian --fail-on error "$deb" >"$work/lintian" 2>&1; then
    ok "lintian: no error$(grep -c '^W:' "$work/lintian" | sed 's/^0$//; s/^[1-9][0-9]*$/ (& warnings)/')"
else
    fail "lintian:"; sed 's/^/    /' "$work/lintian"
fi

contents=$(dpkg-deb -c "$deb" | awk '{ print $NF }')
for path in ./usr/sbin/cellkeeper-patch ./usr/share/man/man8/cellkeeper-patch.8.gz \
            ./usr/share/doc/cellkeeper-patch/administrators.md \
            ./lib/systemd/system/cellkeeper-patch.service; do
    grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
done

# A scratch root with an empty dpkg database; maintainer scripts run outside a chroot and see
# DPKG_ROOT, as debhelper's scripts expect there.
root=$work/root
mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates"
: >"$root/var/lib/dpkg/status"
dpkg_root() {
    dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null "$@"
}
if dpkg_root -i "$deb" >"$work/install" 2>&1; then
    ok "dpkg -i into a scratch root"
else
    fail "dpkg -i:"; sed 's/^/    /' "$work/install"
fi
program=$root/usr/sbin/cellkeeper-patch
unit=$root/lib/systemd/system/cellkeeper-patch.service
[ -x "$program" ] || fail "no $program"
if [ -L "$root/etc/systemd/system/multi-user.target.wants/cellkeeper-patch.service" ]; then
    ok "unit enabled"
else
    fail "unit not enabled"
fi
# The host's systemd checks the installed unit; its ExecStart= must name a program that exists,
# so the copy names the scratch root's, and the manual page is checked with man itself.
mkdir "$work/unit"
sed "s|^ExecStart=/|ExecStart=$root/|" "$unit" >"$work/unit/cellkeeper-patch.service"
if systemd-analyze verify --man=no "$work/unit/cellkeeper-patch.service" >"$work/verify" 2>&1; then
    ok "systemd-analyze verify"
else
    fail "systemd-analyze verify:"; sed 's/^/    /' "$work/verify"
fi
if MANPATH=$root/usr/share/man man -w cellkeeper-patch >/dev/null 2>&1 &&
   grep -q 'CELLKEEPER_ROOT' <<<"$(MANPATH=$root/usr/share/man MANWIDTH=80 man cellkeeper-patch 2>"$work/man")" &&
   [ ! -s "$work/man" ]; then
    ok "man cellkeeper-patch"
else
    fail "man cellkeeper-patch:"; sed 's/^/    /' "$work/man"
fi

machine=$work/machine
cp -r "$repo/examples/machines/vantrel-notebook" "$machine"
mkdir -p "$machine/var/log"
CELLKEEPER_ROOT=$machine "$program" >"$work/output"
rc=$?
output=$(cat "$work/output")
setting=$(cat "$machine/sys/class/firmware-attributes/vantrel-wmi/attributes/Cellkeeper/current_value")
if [ "$rc" = 0 ] && [ "$output" = $'Vantrel Cellkeeper Patch\nPatch successfully applied' ] &&
   [ "$setting" = "Let Vantrel manage my battery charging" ] &&
   grep -Eq 'end: status code 0, exit code 0, process [0-9]+$' "$machine/var/log/cellkeeper-patch.log"; then
    ok "installed program patches the sample notebook"
else
    fail "installed program: exit $rc, setting '$setting', output:"; sed 's/^/    /' "$work/output"
fi

# The release's playbook with the packaged program, on copies of the sample machines.
if bash "$repo/tests/deploy/ansible-run-test.sh" "$program" >"$work/ansible" 2>&1; then
    ok "the Ansible playbook runs the packaged program and reports each host"
else
    fail "the Ansible playbook with the packaged program:"; sed 's/^/    /' "$work/ansible"
fi

# Installing never starts the unit: the firmware changes at the next start, not during apt.
if dpkg-deb -e "$deb" "$work/control" && ! grep -qs 'deb-systemd-invoke .*start' "$work/control/postinst"; then
    ok "the unit is not started at installation or upgrade"
else
    fail "postinst starts the unit"
fi
man_text=$(MANPATH=$root/usr/share/man MANWIDTH=200 man cellkeeper-patch 2>/dev/null)
for needle in "STATUS CODES" "--check" "--version" "--help" "/run/cellkeeper-patch.lock" " 75 "; do
    grep -qF -- "$needle" <<<"$man_text" || fail "the manual page lacks '$needle'"
done

if dpkg_root -r cellkeeper-patch >"$work/remove" 2>&1 && [ ! -e "$program" ] && [ ! -e "$unit" ]; then
    ok "dpkg -r"
else
    fail "dpkg -r:"; sed 's/^/    /' "$work/remove"
fi
# Purge removes what the tool wrote on the machine, never the firmware record.
mkdir -p "$root/var/log" "$root/var/lib/cellkeeper-patch/registry"
echo "log" >"$root/var/log/cellkeeper-patch.log"
echo "store" >"$root/var/lib/cellkeeper-patch/registry/x.reg"
if dpkg_root -P cellkeeper-patch >"$work/purge" 2>&1 && [ ! -e "$root/var/log/cellkeeper-patch.log" ] &&
   [ ! -e "$root/var/lib/cellkeeper-patch" ]; then
    ok "dpkg -P removes the log and /var/lib/cellkeeper-patch"
else
    fail "dpkg -P:"; sed 's/^/    /' "$work/purge"
fi
[ "$failed" = 0 ]
