#!/usr/bin/env python3
"""Checks that THIRD-PARTY.md names every library a shipped file links.

What a file links is read from the built files themselves, never from a list
kept beside the build:
  - the linker's map of the file (BUILD/link-maps/*.map, found by the file
    name the map records as its output): every archive a member was taken
    from and every object loaded from outside the build;
  - for an ELF file, every shared library `ldd` resolves, the dynamic loader
    included;
  - for a PE file, every DLL it imports that is not Windows' own.
A library counts as named when THIRD-PARTY.md has its name in backticks:
`libstdc++` for libstdc++.a and libstdc++.so.6, `libOpenEXR` for
libOpenEXR-3_1.so.30, `crtbegin` for crtbegin.o.

  check_notices.py THIRD-PARTY.md --build DIR FILE... [--build DIR FILE...]

FILE is relative to its build DIR; a FILE ending in '?' is checked only when
it exists, and a missing FILE without it skips the check (exit 77). With
--expect-missing NAME, NAME is struck from the notices first and the check
must then fail naming it: the test of the test.
"""
import os
import re
import shutil
import subprocess
import sys

SKIPPED = 77

# Windows' own DLLs: every installation has them, so they are the system's,
# like the Windows API, not libraries we hand on.
WINDOWS_DLLS = {"kernel32", "msvcrt", "ucrtbase", "ntdll", "user32", "advapi32"}


def library_name(path):
    """libOpenEXR-3_1.so.30 -> libOpenEXR, libstdc++.a -> libstdc++, crtbegin.o -> crtbegin."""
    name = os.path.basename(path)
    name = re.sub(r"\.so(\.[0-9.]+)?$", "", name)
    name = re.sub(r"\.(a|o|obj|dll|lib)$", "", name, flags=re.IGNORECASE)
    # Versions written into the name with a separator, as OpenEXR and Imath do.
    return re.sub(r"-[0-9]+([._][0-9]+)+$", "", name)


def find_map(build, file_name):
    maps_dir = os.path.join(build, "link-maps")
    found = []
    for entry in sorted(os.listdir(maps_dir)) if os.path.isdir(maps_dir) else []:
        path = os.path.join(maps_dir, entry)
        with open(path, errors="replace") as f:
            text = f.read()
        outputs = re.findall(r"^OUTPUT\((\S+) ", text, re.MULTILINE)
        if any(os.path.basename(o) == file_name for o in outputs):
            found.append(text)
    if len(found) != 1:
        sys.exit(f"notices: {len(found)} link maps in {maps_dir} record {file_name} as their output; expected 1")
    return found[0]


def linked_from_map(map_text, build):
    """Archives that gave members, and objects loaded from outside the build."""
    names = {}
    section = re.search(r"^Archive member included.*?\n(.*?)^(Discarded input sections|Allocating common|Memory Configuration)",
                        map_text, re.MULTILINE | re.DOTALL)
    if section:
        for archive in re.findall(r"^(\S+\.a)\(", section.group(1), re.MULTILINE):
            if os.path.isabs(archive) and not archive.startswith(build):
                names.setdefault(library_name(archive), archive)
    for loaded in re.findall(r"^LOAD (\S+\.o(?:bj)?)$", map_text, re.MULTILINE):
        if os.path.isabs(loaded) and not loaded.startswith(build):
            names.setdefault(library_name(loaded), loaded)
    return names


def linked_at_run_time_elf(path):
    result = subprocess.run(["ldd", path], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"notices: ldd {path} failed: {result.stderr.strip()}")
    names = {}
    for line in result.stdout.splitlines():
        line = line.strip()
        if "=>" in line:
            soname, target = [part.strip() for part in line.split("=>", 1)]
            if target.startswith("not found"):
                sys.exit(f"notices: {path} needs {soname}, which is not installed")
            names.setdefault(library_name(soname), soname)
        elif line.startswith("/"):  # the dynamic loader
            loader = line.split()[0]
            names.setdefault(library_name(loader), loader)
        # linux-vdso is the kernel's, not a file.
    return names


def linked_at_run_time_pe(path):
    objdump = shutil.which("x86_64-w64-mingw32-objdump") or "objdump"
    result = subprocess.run([objdump, "-p", path], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"notices: {objdump} -p {path} failed: {result.stderr.strip()}")
    names = {}
    for dll in re.findall(r"DLL Name: (\S+)", result.stdout):
        name = library_name(dll).lower()
        if name not in WINDOWS_DLLS and not name.startswith("api-ms-win-"):
            names.setdefault(name, dll)
    return names


def is_pe(path):
    with open(path, "rb") as f:
        return f.read(2) == b"MZ"


def main(argv):
    args = list(argv[1:])
    expect_missing = None
    if "--expect-missing" in args:
        at = args.index("--expect-missing")
        expect_missing = args[at + 1]
        del args[at:at + 2]
    if len(args) < 3 or args[1] != "--build":
        sys.exit(__doc__)
    with open(args[0], encoding="utf-8") as f:
        notices = f.read()
    if expect_missing:
        notices = notices.replace(f"`{expect_missing}`", expect_missing)
    named = set(re.findall(r"`([^`\s]+)`", notices))

    checked, skipped, missing = [], [], []
    build = None
    for arg in args[1:]:
        if arg == "--build":
            build = None
            continue
        if build is None:
            build = os.path.realpath(arg)
            continue
        optional = arg.endswith("?")
        relative = arg.rstrip("?")
        path = os.path.join(build, relative)
        if not os.path.isfile(path):
            if not optional:
                skipped.append(path)
            continue
        linked = linked_from_map(find_map(build, os.path.basename(relative)), build + os.sep)
        run_time = linked_at_run_time_pe(path) if is_pe(path) else linked_at_run_time_elf(path)
        for name, origin in {**linked, **run_time}.items():
            if name not in named:
                missing.append((relative, name, origin))
        checked.append(f"{relative}: {', '.join(sorted(set(linked) | set(run_time)))}")

    for line in checked:
        print(f"notices: {line}")
    if expect_missing:
        if any(name == expect_missing for _, name, _ in missing):
            print(f"notices: without `{expect_missing}` the check fails, as it must")
            return 0
        if skipped:
            print(f"notices: not built, not checked: {' '.join(skipped)}")
            return SKIPPED
        print(f"notices: the check passed although `{expect_missing}` was struck from the notices")
        return 1
    for relative, name, origin in missing:
        print(f"notices: {relative} links {name} ({origin}), which THIRD-PARTY.md does not name")
    if missing:
        return 1
    if skipped:
        print(f"notices: not built, not checked: {' '.join(skipped)}")
        return SKIPPED
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
