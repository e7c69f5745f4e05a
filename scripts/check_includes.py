#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own.

The floors, lowest first: the platform layer (its folders in their own order), then the SQLite
layer and the HTTP engine, the data models, the protocol, the shared services and widgets, the
feature screens, and the application on top. A file may include its own floor and those below.
Includes are resolved as the compiler finds them ("./" and "../" included), and a source file
that sits on no floor is refused, so a new folder must take its place in FLOORS first.
Known exceptions live in include-exceptions.txt, one per line with its reason; an exception
that no longer occurs is reported too, so the list only shrinks.
"""
import os
import re
import sys

# The tree checked: this script's own, or the one given with --root (its test plants faults in
# a copy).
ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
if len(sys.argv) == 3 and sys.argv[1] == "--root":
    ROOT = os.path.abspath(sys.argv[2])

# (folder prefix, floor); the longest matching prefix wins.
FLOORS = [
    ("Platform/Base/", 0), ("Platform/Graphics/", 1), ("Platform/UI/", 2), ("Platform/Net/", 3),
    ("Platform/Pdf/", 4), ("Platform/Media/", 5), ("Platform/Share/", 6),
    # The PDF reader's engine is a library over the platform alone.
    ("Classes/Library/Reader/", 7),
    ("Database/SQLite/", 10), ("Network/", 10),
    # The services of Common that data and requests use; the rest of Common holds screens.
    *[(f"Common/{name}.", 15) for name in (
        "Language", "LanguageManager", "ConfigManager", "ConfigDelegate", "PublicFunction",
        "PublicFunctionDevice", "PublicFunctionFiles", "PublicFunctionLook", "IdentifierAddition",
        "MD5Addition", "SharedUDID", "BoolText", "AppSession")],
    ("Database/", 20),
    ("Protocol/", 30),
    ("Common/", 40), ("Widgets/", 40),
    ("Classes/", 50),
    ("App/", 60),
]
# Folders that sit on one floor but must not reach each other either.
APART = [("Database/SQLite/", "Network/")]
SOURCES = ("Platform", "Database", "Network", "Protocol", "Common", "Widgets", "Classes", "App")
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)


def floor_of(path):
    best = None
    for prefix, floor in FLOORS:
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, floor)
    return best


def resolve(path, written):
    """The header an include names, as a path from the top: the compiler looks beside the
    including file first, then from the top of the tree, so "./" and "../" count as well."""
    beside = os.path.normpath(os.path.join(os.path.dirname(path), written))
    if not beside.startswith("..") and os.path.isfile(os.path.join(ROOT, beside)):
        return beside
    return os.path.normpath(written)


def violations():
    found = []
    for top in SOURCES:
        for base, _, files in os.walk(os.path.join(ROOT, top)):
            for name in sorted(files):
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.relpath(os.path.join(base, name), ROOT)
                here = floor_of(path)
                with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                    text = f.read()
                if not here:
                    found.append(f"{path} belongs to no floor")
                    continue
                for written in INCLUDE.findall(text):
                    header = resolve(path, written)
                    there = floor_of(header)
                    if not there:
                        continue
                    apart = any({here[0], there[0]} == {a, b} for a, b in APART)
                    if there[1] > here[1] or apart:
                        found.append(f"{path} -> {header}")
    return sorted(set(found))


def main():
    listed = {}
    with open(os.path.join(ROOT, "scripts", "include-exceptions.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            edge, _, reason = line.partition("  # ")
            if not reason.strip():
                print(f"include check: an exception without its reason: {line}")
                return 1
            listed[edge.strip()] = reason
    found = violations()
    new = [v for v in found if v not in listed]
    gone = [e for e in listed if e not in found]
    for v in new:
        if v.endswith(" belongs to no floor"):
            print(f"include check: {v}: give its folder a floor in scripts/check_includes.py")
        else:
            print(f"include check: upward include: {v}")
    for e in gone:
        print(f"include check: exception no longer needed, remove it: {e}")
    if new or gone:
        return 1
    print(f"include check: {len(found)} known exceptions, no new upward include")
    return 0


if __name__ == "__main__":
    sys.exit(main())
