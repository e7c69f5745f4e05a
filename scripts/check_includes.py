#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own.

The floors, lowest first: the platform layer (its folders in their own order), then the SQLite
layer and the HTTP engine, the data models, the protocol, the shared services and widgets, the
feature screens, and the application on top. A file may include its own floor and those below.
Known exceptions live in include-exceptions.txt, one per line with its reason; an exception
that no longer occurs is reported too, so the list only shrinks.
"""
import os
import re
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

# (folder prefix, floor); the longest matching prefix wins.
FLOORS = [
    ("Platform/Base/", 0), ("Platform/Graphics/", 1), ("Platform/UI/", 2), ("Platform/Net/", 3),
    ("Platform/Pdf/", 4), ("Platform/Media/", 5), ("Platform/Share/", 6),
    # The PDF reader's engine is a library over the platform alone.
    *[(f"Classes/Library/{name}.", 7) for name in (
        "PdfDocument", "PdfThumbCache", "PdfThumbOperation", "PdfThumbQueue", "PdfThumbRequest",
        "PdfThumbView", "PdfContentPage", "PdfContentThumb", "PdfContentView")],
    ("Database/SQLite/", 10), ("Network/", 10),
    # The services of Common that data and requests use; the rest of Common holds screens.
    *[(f"Common/{name}.", 15) for name in (
        "Language", "LanguageManager", "ConfigManager", "ConfigDelegate", "PublicFunction",
        "PublicFunctionDevice", "PublicFunctionFiles", "PublicFunctionLook", "IdentifierAddition",
        "MD5Addition", "SharedUDID", "BoolText")],
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
                for header in INCLUDE.findall(text):
                    there = floor_of(header)
                    if not here or not there:
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
        print(f"include check: upward include: {v}")
    for e in gone:
        print(f"include check: exception no longer needed, remove it: {e}")
    if new or gone:
        return 1
    print(f"include check: {len(found)} known exceptions, no new upward include")
    return 0


if __name__ == "__main__":
    sys.exit(main())
