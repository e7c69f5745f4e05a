#!/usr/bin/env python3
"""Fails when a unit of the product does not compile without the precompiled header.

The builds force the precompiled standard headers into every unit, so a unit that uses
`std::numeric_limits` without including <limits> still compiles there. Each product unit of a
build's compile_commands.json is compiled here with its own flags, the precompiled header left
out, as far as the compiler's front end goes (-fsyntax-only: nothing is written), in parallel.

A unit the build already compiles without the header (a build configured with
BRIVANTA_PRODUCT_PCH=OFF, as test.sh's normal build is) is left to the build: it fails there.

Usage: compile_without_pch.py [--root TREE] [--build BUILD_DIR] [--jobs N] [FILE...]. The build
directory defaults to TREE/build, configured (cmake) before this runs; the tree to this script's
own. Files named (paths from the top of the tree) are the only units compiled.
"""
import argparse
import concurrent.futures
import json
import os
import shlex
import subprocess
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from check_includes import Tree  # noqa: E402  (one definition of what is product code)


def without_pch(args, file):
    """The unit's command with the precompiled header, the output and the dependency file left
    out, checked for syntax and meaning only."""
    kept = []
    i = 0
    while i < len(args):
        arg = args[i]
        following = args[i + 1] if i + 1 < len(args) else ""
        # gcc: -include <build>/cmake_pch.hxx; clang: -Xclang -include-pch -Xclang <pch>
        # -Xclang -include -Xclang <header>.
        if arg == "-Xclang" and (following in ("-include", "-include-pch") or "cmake_pch" in following):
            i += 2
            continue
        if arg in ("-include", "-include-pch") and "cmake_pch" in following:
            i += 2
            continue
        if arg in ("-o", "-MF", "-MT", "-MQ"):
            i += 2
            continue
        if arg in ("-c", "-MD", "-MMD", "-Winvalid-pch") or "cmake_pch" in arg or arg == file:
            i += 1
            continue
        kept.append(arg)
        i += 1
    return kept + ["-fsyntax-only", file]


def takes_pch(args):
    """Whether the command gives its unit a precompiled header (gcc's or clang's form)."""
    return any("cmake_pch" in arg or arg == "-include-pch" for arg in args)


def units(tree):
    database = os.path.join(tree.build, "compile_commands.json")
    if not os.path.isfile(database):
        raise SystemExit(f"compile without pch: no {database}: configure the build first")
    with open(database, encoding="utf-8") as f:
        entries = json.load(f)
    found, built_bare = {}, set()
    for entry in entries:
        args = entry.get("arguments") or shlex.split(entry["command"])
        file = os.path.join(entry["directory"], entry["file"])
        rel = tree.relative(file)
        # A unit compiled by two targets (a test's copy of a library's file) is read once.
        if not rel or not tree.is_product(rel):
            continue
        if not takes_pch(args):
            built_bare.add(rel)
        elif rel not in found:
            found[rel] = (entry["directory"], without_pch(args, entry["file"]))
    # A unit the build compiles bare in one target (a library's) is checked there.
    return {rel: unit for rel, unit in found.items() if rel not in built_bare}, built_bare


def compile_one(item):
    rel, (directory, args) = item
    done = subprocess.run(args, cwd=directory, capture_output=True)
    return rel, done.returncode, done.stderr.decode("utf-8", "replace")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--root", default=default_root)
    parser.add_argument("--build")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    parser.add_argument("files", nargs="*")
    options = parser.parse_args()
    tree = Tree(options.root, options.build or os.path.join(options.root, "build"))
    found, built_bare = units(tree)
    todo = sorted(found.items())
    if options.files:
        named = {os.path.normpath(f) for f in options.files}
        todo = [item for item in todo if item[0] in named]
        built_bare &= named
    if not todo:
        if built_bare:
            print(f"compile without pch: the build compiles all {len(built_bare)} units of the product "
                  f"without the precompiled header; nothing to do here")
            return 0
        print(f"compile without pch: {tree.build} names no unit of the product")
        return 1
    started = time.monotonic()
    failed = []
    with concurrent.futures.ThreadPoolExecutor(max_workers=max(1, options.jobs)) as pool:
        for rel, code, errors in pool.map(compile_one, todo):
            if code != 0:
                failed.append(rel)
                lines = errors.strip().splitlines()
                print(f"compile without pch: {rel} does not compile without the precompiled header:")
                print("\n".join("  " + line for line in lines[:12]))
    spent = time.monotonic() - started
    bare = f"; the build compiles {len(built_bare)} more without it" if built_bare else ""
    if failed:
        print(f"compile without pch: {len(failed)} of {len(todo)} units fail; each includes what it uses{bare}")
        return 1
    print(f"compile without pch: {len(todo)} units compile without the precompiled header ({spent:.0f} s){bare}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
