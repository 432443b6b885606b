#!/usr/bin/env python3
"""Holds src/ to the folder order of folder_order.txt.

Fails on an #include "folder/..." line of a source file, or a library in a
folder's CMakeLists.txt, that reaches a folder its own folder may not use;
on a folder of src/ missing from the order or without a README.md; and on a
README whose folder order is not the file's lines.
Usage: check_includes.py SOURCE_ROOT
"""
import pathlib
import re
import sys

# Libraries whose name is not kvt<folder>.
LIBRARY_FOLDERS = {"kvtaccesscheck": "access", "mdbtokvt_ui": "ui"}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([a-z]+)/', re.MULTILINE)
LINK = re.compile(r"target_link_libraries\(([^)]*)\)")


def read_order(path):
    """Each folder with the folders it may use (directly or through others)."""
    uses = {}
    lines = []
    for line in path.read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        lines.append(line)
        folder, _, used = line.partition(":")
        folder = folder.strip()
        reach = set()
        for lower in used.split():
            if lower not in uses:
                raise SystemExit(f"{path.name}: {folder} uses {lower}, which is not above it")
            reach |= {lower} | uses[lower]
        uses[folder] = reach
    return uses, lines


def main():
    root = pathlib.Path(sys.argv[1])
    src = root / "src"
    uses, lines = read_order(pathlib.Path(__file__).with_name("folder_order.txt"))
    faults = []
    folders = sorted(p.name for p in src.iterdir() if p.is_dir())
    for folder in folders:
        if folder not in uses:
            faults.append(f"src/{folder} is not in folder_order.txt")
            continue
        if not (src / folder / "README.md").is_file():
            faults.append(f"src/{folder} has no README.md")
        allowed = uses[folder] | {folder}
        for path in sorted((src / folder).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for match in INCLUDE.finditer(path.read_text()):
                used = match.group(1)
                if used in uses and used not in allowed:
                    faults.append(f"{path.relative_to(root)} includes {used}/")
        cmake = src / folder / "CMakeLists.txt"
        if not cmake.is_file():
            faults.append(f"src/{folder} has no CMakeLists.txt")
            continue
        for match in LINK.finditer(cmake.read_text()):
            for word in match.group(1).split():
                used = LIBRARY_FOLDERS.get(word, word[3:] if word.startswith("kvt") else None)
                if used is not None and used in uses and used not in allowed:
                    faults.append(f"{cmake.relative_to(root)} links {word} of {used}/")
    readme = (root / "README.md").read_text()
    for line in lines:
        if line not in readme:
            faults.append(f"README.md lacks the folder order line {line!r}")
    for fault in faults:
        print(fault)
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
