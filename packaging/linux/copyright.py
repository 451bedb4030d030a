#!/usr/bin/env python3
"""Writes the package's machine-readable copyright file: our own licence for
every file, then the notice of each third-party library that the Linux files
contain or load, taken from THIRD-PARTY.md (the sections about the Windows
files' run-times left out).
Usage: copyright.py LICENSE THIRD-PARTY.md > copyright"""
import re
import sys

WINDOWS_ONLY = ("mingw-w64", "winpthreads")


def field_text(lines):
    """Lines as the continuation of a field: one space in, '.' for a blank line."""
    return "\n".join(" " + line.rstrip() if line.strip() else " ." for line in lines)


def main(licence_path, notices_path):
    licence = open(licence_path, encoding="utf-8").read().splitlines()
    notices = open(notices_path, encoding="utf-8").read()
    sections = re.split(r"^## ", notices, flags=re.M)[1:]
    kept = [s for s in sections if not s.startswith(WINDOWS_ONLY)]
    names = []
    paragraphs = []
    for section in kept:
        title, _, body = section.partition("\n")
        name = re.sub(r"[^A-Za-z0-9]+", "-", title.split(":")[0]).strip("-")
        names.append(name)
        body = [line for line in body.strip("\n").splitlines() if not line.startswith("```")]
        paragraphs.append(f"License: {name}\n{field_text([title, ''] + body)}")
    print("Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/")
    print("Upstream-Name: Kv_Tidalhalo")
    print("Comment:\n" + field_text([
        "The programs and plug-ins in this package contain the start-up objects of",
        "GCC and the GNU C Library, the frei0r filter the declarations of the frei0r",
        "header, and they load at run time the libraries of the packages in",
        "Depends, whose own copyright files are in /usr/share/doc/<package>/.",
        "The notices of these libraries follow, as the License paragraphs",
        ", ".join(names) + ".",
        "On Debian systems the texts of the GNU General Public License (versions 2",
        "and 3) and the GNU Lesser General Public License (version 2.1) are in",
        "/usr/share/common-licenses/GPL-2, GPL-3 and LGPL-2.1."]))
    print()
    copyright_line = next(line for line in licence if line.startswith("Copyright"))
    print("Files: *")
    print("Copyright: " + copyright_line.replace("Copyright (c) ", ""))
    print("License: Expat")
    terms = "\n".join(licence[licence.index(copyright_line) + 1:]).strip("\n").splitlines()
    print(field_text(terms))
    for paragraph in paragraphs:
        print()
        print(paragraph)


if __name__ == "__main__":
    main(*sys.argv[1:])
