"""Checks the exes of one Windows build as they ship.

Each exe must be built for the build's architecture (machine type, PE32 or
PE32+, and the address-space protections the architecture's builds ask of the
loader), declare its own subsystem, import KERNEL32.dll only and carry no C
runtime sections (anything more means a C runtime or another library crept
into the freestanding build), keep its code alone executable, stay within
the size limit of its kind and architecture, and carry a version resource
naming the exe, the project version and the licence.  A launcher embeds no
manifest (it would override the one a user may place beside the exe); a
named launcher, marked "+manifest", embeds one that asks for no elevation,
makes UTF-8 its ANSI code page and lets Windows 11 24H2 start it without
a console.  Wine shows no elevation prompt, so the
resource itself is read.

Run with Debian's python3, which has pefile:
    check_exes.py --architecture x86|x64|arm64 --version 1.2.0 --license LICENSE
                  DIRECTORY NAME=SUBSYSTEM[+manifest] ...
"""

import argparse
import os
import sys

import pefile

def dll_characteristics(*names):
    flags = 0
    for name in names:
        flags |= pefile.DLL_CHARACTERISTICS[f"IMAGE_DLLCHARACTERISTICS_{name}"]
    return flags


# Per architecture: the machine type, the optional header's format and the
# DLL characteristics every exe must have.  x86 keeps what its exes have
# always had; the 64-bit ones add high-entropy addresses.
architectures = {
    "x86": ("I386", pefile.OPTIONAL_HEADER_MAGIC_PE,
            dll_characteristics("DYNAMIC_BASE", "NX_COMPAT")),
    "x64": ("AMD64", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS,
            dll_characteristics("DYNAMIC_BASE", "HIGH_ENTROPY_VA", "NX_COMPAT")),
    "arm64": ("ARM64", pefile.OPTIONAL_HEADER_MAGIC_PE_PLUS,
              dll_characteristics("DYNAMIC_BASE", "HIGH_ENTROPY_VA", "NX_COMPAT")),
}
# The most bytes an exe may take, per kind and architecture.  A named
# launcher carries a file reader on top of the waiting or windowless build;
# x64 and ARM64 instructions and tables are larger than x86's.  Raised in
# 1.5.0 (x86 launchers from 16 KiB, named launchers from 24 KiB) for what
# the chains and unattended starts brought (the kept message, the event
# log, the console asked for), rather than squeeze readable code under.
size_limits = {
    "launcher": {"x86": 17 * 1024, "x64": 20 * 1024, "arm64": 20 * 1024},
    "named launcher": {"x86": 28 * 1024, "x64": 28 * 1024, "arm64": 28 * 1024},
}
subsystems = {
    "console": pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"],
    "windows": pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"],
}
rt_version = pefile.RESOURCE_TYPE["RT_VERSION"]
rt_manifest = pefile.RESOURCE_TYPE["RT_MANIFEST"]


def version_words(version):
    """The two 32-bit words a version resource holds "1.1.0" in."""
    parts = [int(part) for part in version.split(".")] + [0, 0, 0]
    return (parts[0] << 16 | parts[1], parts[2] << 16 | parts[3])


def read_version_strings(pe, faults):
    """The string table of the version resource, and its language and code
    page, which must be the ones the Translation entry declares: a reader
    looks the strings up under that pair."""
    tables = []
    translations = []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            if block.Key == b"StringFileInfo":
                tables += block.StringTable
            elif block.Key == b"VarFileInfo":
                translations += [var.entry.get(b"Translation") for var in block.Var]
    if len(tables) != 1:
        faults.append(f"{len(tables)} string tables in the version resource")
        return {}
    table = tables[0]
    declared = [t.replace("0x", "").replace(" ", "").upper() for t in translations if t]
    if declared != [table.LangID.decode().upper()]:
        faults.append(f"strings under {table.LangID!r}, translations declared: {translations}")
    return {key.decode(): value.decode() for key, value in table.entries.items()}


def read_resource(pe, resources, kind):
    """The bytes of the first resource of a kind."""
    entry = next(e for e in resources.entries if e.id == kind)
    data = entry.directory.entries[0].directory.entries[0].data.struct
    return pe.get_data(data.OffsetToData, data.Size)


def check_architecture(pe, architecture, faults):
    """The machine, the header format and the protections."""
    machine, magic, characteristics = architectures[architecture]
    if pe.FILE_HEADER.Machine != pefile.MACHINE_TYPE[f"IMAGE_FILE_MACHINE_{machine}"]:
        faults.append(f"machine {pe.FILE_HEADER.Machine:#x}, not {machine}")
    if pe.OPTIONAL_HEADER.Magic != magic:
        faults.append(f"optional header {pe.OPTIONAL_HEADER.Magic:#x}, not {magic:#x}")
    missing = characteristics & ~pe.OPTIONAL_HEADER.DllCharacteristics
    if missing:
        faults.append(f"DLL characteristics {pe.OPTIONAL_HEADER.DllCharacteristics:#x} "
                      f"lack {missing:#x}")


def check_sections(pe, faults):
    """The code alone is executable: a byte sequence among constants or
    tables there is one more place for a hijacked jump to land.  Nothing is
    writable and executable, the constants have a read-only .rdata, and no
    data directory (imports, resources, relocations) lies in executable pages."""
    layout = [(section.Name.rstrip(b"\0").decode(), section.IMAGE_SCN_MEM_WRITE,
               section.IMAGE_SCN_MEM_EXECUTE) for section in pe.sections]
    code = [(name, writable) for name, writable, executable in layout if executable]
    if code != [(".text", False)]:
        faults.append(f"not the code alone executable: (name, writable, executable) {layout}")
    if (".rdata", False, False) not in layout:
        faults.append(f"no read-only .rdata for the constants: {layout}")
    for directory in pe.OPTIONAL_HEADER.DATA_DIRECTORY:
        # The certificates' entry holds a file offset, not an address.
        section = pe.get_section_by_rva(directory.VirtualAddress)
        if (directory.Size and section and section.IMAGE_SCN_MEM_EXECUTE
                and "SECURITY" not in directory.name):
            faults.append(f"{directory.name} in an executable section")


def check_exe(path, architecture, subsystem, embeds_manifest, version, copyright_line):
    """The faults of one exe, and its FileDescription."""
    faults = []
    name = os.path.basename(path)
    pe = pefile.PE(path)
    check_architecture(pe, architecture, faults)
    size = os.path.getsize(path)
    size_limit = size_limits["named launcher" if embeds_manifest else "launcher"][architecture]
    if size > size_limit:
        faults.append(f"{size} bytes, more than {size_limit}")
    check_sections(pe, faults)
    if pe.OPTIONAL_HEADER.Subsystem != subsystems[subsystem]:
        faults.append(f"subsystem {pe.OPTIONAL_HEADER.Subsystem}, not {subsystem}")

    imports = [entry.dll.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]
    imports += [entry.dll.decode() for entry in getattr(pe, "DIRECTORY_ENTRY_DELAY_IMPORT", [])]
    if imports != ["KERNEL32.dll"]:
        faults.append(f"imports {imports}")

    sections = [section.Name.rstrip(b"\0").decode() for section in pe.sections]
    runtime_sections = [s for s in sections if s.startswith((".tls", ".CRT"))]
    if runtime_sections:
        faults.append(f"C runtime sections {runtime_sections}")

    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    resource_types = [entry.id for entry in resources.entries] if resources else []
    if (rt_manifest in resource_types) != embeds_manifest:
        faults.append("an embedded manifest" if not embeds_manifest else "no embedded manifest")
    elif embeds_manifest:
        manifest = read_resource(pe, resources, rt_manifest)
        for setting in (b'level="asInvoker"', b">UTF-8</activeCodePage>",
                        b">detached</consoleAllocationPolicy>"):
            if setting not in manifest:
                faults.append(f"a manifest without {setting.decode()}")
    if rt_version not in resource_types:
        faults.append("no version resource")
        return faults, None

    fixed = pe.VS_FIXEDFILEINFO[0]
    words = version_words(version)
    if (fixed.FileVersionMS, fixed.FileVersionLS) != words:
        faults.append(f"numeric file version {fixed.FileVersionMS:#x} {fixed.FileVersionLS:#x}")
    if (fixed.ProductVersionMS, fixed.ProductVersionLS) != words:
        faults.append(f"numeric product version {fixed.ProductVersionMS:#x} {fixed.ProductVersionLS:#x}")

    strings = read_version_strings(pe, faults)
    expected = {
        "FileVersion": version,
        "ProductVersion": version,
        "OriginalFilename": name,
        "InternalName": os.path.splitext(name)[0],
    }
    for key, value in expected.items():
        if strings.get(key) != value:
            faults.append(f"{key} {strings.get(key)!r}, not {value!r}")
    for key in ("FileDescription", "ProductName"):
        if not strings.get(key):
            faults.append(f"no {key}")
    legal = strings.get("LegalCopyright", "")
    if not legal.startswith(copyright_line) or "MIT" not in legal:
        faults.append(f"LegalCopyright {legal!r} is not {copyright_line!r} under the MIT licence")
    return faults, strings.get("FileDescription")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--architecture", required=True, choices=sorted(architectures))
    parser.add_argument("--version", required=True)
    parser.add_argument("--license", required=True)
    parser.add_argument("directory")
    parser.add_argument("exes", nargs="+", metavar="NAME=SUBSYSTEM")
    args = parser.parse_args()

    with open(args.license, encoding="utf-8") as license_file:
        copyright_line = next(line.strip() for line in license_file if line.startswith("Copyright"))

    failed = False
    descriptions = {}
    for exe in args.exes:
        name, subsystem = exe.split("=")
        subsystem, _, manifest = subsystem.partition("+")
        path = os.path.join(args.directory, name)
        if not os.path.exists(path):
            print(f"no {path}: build its preset first")
            failed = True
            continue
        faults, description = check_exe(path, args.architecture, subsystem,
                                        manifest == "manifest", args.version, copyright_line)
        for fault in faults:
            print(f"{path}: {fault}")
        failed = failed or bool(faults)
        if description:
            descriptions.setdefault(description, []).append(name)
        if not faults:
            print(f"{path}: {args.architecture}, {subsystem}, KERNEL32.dll only, "
                  f"{os.path.getsize(path)} bytes, code alone executable, "
                  f"version {args.version}, {description!r}")

    for description, names in descriptions.items():
        if len(names) > 1:
            print(f"{' and '.join(names)} share the FileDescription {description!r}")
            failed = True
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
