#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own.

The floors, lowest first: the platform layer (its folders in their own order), then the SQLite
layer and the HTTP engine, the data models, the protocol, the shared services and widgets, the
feature screens, and the application on top. A file may include its own floor and those below.
Includes are resolved as the compiler finds them: quoted ones beside the including file first
("./" and "../" included), then from the top of the tree, as bracketed ones are; a symbolic
link counts as the file it leads to. Every file of the product in a form the build compiles or
includes is read, in every top-level folder but those of tests, tools and the build. A file that
sits on no floor is refused (a new folder must take its place in FLOORS first), and so is an
include the check cannot follow (one through a macro) and product code that includes tests.
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
REAL_ROOT = os.path.realpath(ROOT)

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
    ("main.cpp", 70),
]
# Folders that sit on one floor but must not reach each other either.
APART = [("Database/SQLite/", "Network/")]
# Top-level folders that are not the product: its tests, benchmarks, tools and build helpers.
# Every other folder is product code; a folder holding a build tree is skipped.
NOT_PRODUCT = ("tests", "bench", "tools", "fuzz", "cmake", "scripts", "Resources")
TESTS = "tests/"
# What the build compiles or a file may include: sources of C and C++, headers, inline parts.
CODE = (".h", ".hh", ".hpp", ".hxx", ".inc", ".inl", ".ipp", ".tpp", ".def",
        ".c", ".cc", ".cpp", ".cxx", ".c++", ".C", ".m", ".mm")
# Any #include: quoted, bracketed, or anything else (a macro the preprocessor expands).
INCLUDE = re.compile(r'^[ \t]*#[ \t]*include[ \t]*(?:"([^"\n]+)"|<([^>\n]+)>|([^\n]*))', re.M)


def floor_of(path):
    best = None
    for prefix, floor in FLOORS:
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, floor)
    return best


def in_tree(candidate):
    """The path from the top of the file a candidate names once links are followed, or None
    when there is no such file in the tree."""
    full = os.path.join(ROOT, candidate)
    if not os.path.isfile(full):
        return None
    real = os.path.realpath(full)
    if real != REAL_ROOT and not real.startswith(REAL_ROOT + os.sep):
        return None
    return os.path.relpath(real, REAL_ROOT)


def resolve(path, written, quoted):
    """The file an include names, as a path from the top: a quoted name is looked for beside
    the including file first, then from the top of the tree; a bracketed one from the top."""
    if quoted:
        beside = os.path.normpath(os.path.join(os.path.dirname(path), written))
        if not beside.startswith(".."):
            found = in_tree(beside)
            if found:
                return found
    found = in_tree(os.path.normpath(written))
    if found:
        return found
    return os.path.normpath(written) if quoted else None


def product_files():
    """Every file of product code the build may compile or include, as paths from the top to
    the files themselves (a link's target, when it lies in the tree)."""
    files = set()
    seen = set()

    def add(path):
        files.add(in_tree(path) or path)

    for entry in sorted(os.listdir(ROOT)):
        full = os.path.join(ROOT, entry)
        if entry.startswith(".") or entry in NOT_PRODUCT:
            continue
        if os.path.isfile(full):
            if entry.endswith(CODE):
                add(entry)
            continue
        if not os.path.isdir(full) or os.path.isfile(os.path.join(full, "CMakeCache.txt")):
            continue
        for base, dirs, names in os.walk(full, followlinks=True):
            # A linked folder is read once, however many links lead to it.
            real = os.path.realpath(base)
            if real in seen:
                dirs[:] = []
                continue
            seen.add(real)
            dirs.sort()
            for name in sorted(names):
                if name.endswith(CODE):
                    add(os.path.relpath(os.path.join(base, name), ROOT))
    return sorted(files)


def violations():
    found = []
    for path in product_files():
        here = floor_of(path)
        if not here:
            found.append(f"{path} belongs to no floor")
            continue
        with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
            text = f.read()
        for quoted, bracketed, other in INCLUDE.findall(text):
            if not quoted and not bracketed:
                found.append(f"{path} includes through a macro: {other.strip()}")
                continue
            header = resolve(path, quoted or bracketed, bool(quoted))
            if header is None:
                continue
            if header.startswith(TESTS):
                found.append(f"{path} includes tests: {header}")
                continue
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
    # Only upward includes may be listed: the other faults are always refused.
    new = [v for v in found if v not in listed or " -> " not in v]
    gone = [e for e in listed if e not in found]
    for v in new:
        if v.endswith(" belongs to no floor"):
            print(f"include check: {v}: give its folder a floor in scripts/check_includes.py")
        elif " includes through a macro: " in v:
            print(f"include check: {v}: name the header itself, so the check can follow it")
        elif " includes tests: " in v:
            print(f"include check: {v}: product code may not use the tests' files")
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
