#!/usr/bin/env python3
"""Regenerates the sample machine trees: python3 examples/make-machines.py examples/machines"""
import os, shutil, struct, sys

BASE = sys.argv[1]
CELL_OLD = "Maximize my battery duration"
CELL_NEW = "Let Vantrel manage my battery charging"

def write(root, rel, data):
    path = os.path.join(root, rel)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    mode = "wb" if isinstance(data, bytes) else "w"
    with open(path, mode) as f:
        f.write(data)

def smbios_type11(strings):
    body = b"".join(s.encode() + b"\0" for s in strings) + b"\0"
    if not strings:
        body = b"\0\0"
    return struct.pack("<BBHB", 11, 5, 0x0B00, len(strings)) + body

def notebook(root, vendor="Vantrel", bios_vendor="Vantrel", oem=("Vantrel Cellkeeper ready", "EDK2_1", "FW-PLAT 3.2"),
             battery=True, efi=True, cell=CELL_OLD, enhanced="Disable", password_set=False,
             attributes=True, cellkeeper=True, possible=None):
    # The system's log folder, as every installed system has it: the tool writes its run log there
    # and never creates the folder. Git keeps no empty folder, hence the placeholder.
    write(root, "var/log/.keep", "")
    dmi = "sys/class/dmi/id/"
    write(root, dmi + "sys_vendor", vendor + "\n")
    write(root, dmi + "product_name", "Aerion 14 G3\n")
    write(root, dmi + "bios_vendor", bios_vendor + "\n")
    write(root, dmi + "bios_version", "R1.14.0\n")
    write(root, dmi + "bios_date", "03/16/2021\n")
    write(root, dmi + "chassis_type", "10\n")
    write(root, "sys/firmware/dmi/entries/11-0/raw", smbios_type11(list(oem)))
    write(root, "sys/class/power_supply/AC/type", "Mains\n")
    write(root, "sys/class/power_supply/AC/online", "1\n")
    if battery:
        ps = "sys/class/power_supply/BAT0/"
        write(root, ps + "type", "Battery\n")
        write(root, ps + "present", "1\n")
        write(root, ps + "model_name", "VT-56WH\n")
        write(root, ps + "capacity", "87\n")
    if efi:
        # One unrelated variable, as every UEFI machine has; 4 attribute bytes, then the data.
        write(root, "sys/firmware/efi/efivars/BootCurrent-8be4df61-93ca-11d2-aa0d-00e098032b8c",
              struct.pack("<I", 6) + b"\x01\x00")
    if not attributes:
        return
    fa = "sys/class/firmware-attributes/vantrel-wmi/"
    def enum(name, current, choices):
        write(root, fa + f"attributes/{name}/type", "enumeration\n")
        write(root, fa + f"attributes/{name}/current_value", current + "\n")
        write(root, fa + f"attributes/{name}/default_value", choices[0] + "\n")
        write(root, fa + f"attributes/{name}/possible_values", ";".join(choices) + "\n")
        write(root, fa + f"attributes/{name}/display_name", name + "\n")
    if cellkeeper:
        enum("Cellkeeper", cell, possible or [CELL_OLD, CELL_NEW])
    enum("Enhanced BIOS Authentication Mode", enhanced, ["Disable", "Enable"])
    enum("Wake on LAN", "Disable", ["Disable", "Enable"])
    write(root, fa + "attributes/Asset Tag/type", "string\n")
    write(root, fa + "attributes/Asset Tag/current_value", "FLEET-000123\n")
    write(root, fa + "attributes/Asset Tag/min_length", "0\n")
    write(root, fa + "attributes/Asset Tag/max_length", "32\n")
    write(root, fa + "attributes/pending_reboot", "0\n")
    pw = fa + "authentication/Setup Password/"
    write(root, pw + "is_enabled", ("1" if password_set else "0") + "\n")
    write(root, pw + "role", "bios-admin\n")
    write(root, pw + "mechanism", "password\n")
    write(root, pw + "encodings", "ascii;scancode;utf-16\n")
    write(root, pw + "min_password_length", "4\n")
    write(root, pw + "max_password_length", "32\n")
    write(root, pw + "current_password", "")
    write(root, pw + "new_password", "")

machines = {
    "vantrel-notebook": {},
    "vantrel-notebook-no-efi": {"efi": False},
    "already-patched": {"cell": CELL_NEW},
    "other-vendor": {"vendor": "Northwind Systems"},
    "no-battery": {"battery": False},
    "foreign-bios": {"bios_vendor": "Meridian Firmware"},
    "no-oem-marker": {"oem": ("Vantrel Cellkeeper ready", "EDK2_0")},
    "enhanced-authentication": {"enhanced": "Enable"},
    "setup-password": {"password_set": True},
    "no-cellkeeper": {"cellkeeper": False},
    "no-bios-namespace": {"attributes": False},
    "write-refused": {"possible": [CELL_OLD]},
}
for name, kw in machines.items():
    root = os.path.join(BASE, name)
    shutil.rmtree(root, ignore_errors=True)
    notebook(root, **kw)
