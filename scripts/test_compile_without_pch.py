#!/usr/bin/env python3
"""Checks that compile_without_pch.py fails on a product unit that compiles only through the
precompiled header, and passes units that include what they use whatever form the build gives
its precompiled header (gcc's or clang's), in a small tree and build of its own."""
import json
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
USES_LIMITS = "int largest() { return std::numeric_limits<int>::max(); }\n"


def main():
    failures = []
    with tempfile.TemporaryDirectory() as work:
        tree = os.path.join(work, "tree")
        build = os.path.join(tree, "build")
        pch_dir = os.path.join(build, "CMakeFiles", "brivanta_pch.dir")
        os.makedirs(pch_dir)
        open(os.path.join(build, "CMakeCache.txt"), "w").close()
        pch = os.path.join(pch_dir, "cmake_pch.hxx")
        with open(pch, "w") as f:
            f.write("#include <limits>\n")
        gxx = shutil.which("g++") or "c++"
        clang = shutil.which("clang++")

        def gcc_form(rel):
            rel = rel.replace("/", "_")
            return [gxx, "-std=c++20", "-Werror", "-Winvalid-pch", "-include", pch,
                    "-o", f"{rel}.o", "-MD", "-MT", f"{rel}.o", "-MF", f"{rel}.o.d", "-c"]

        def clang_form(rel):
            rel = rel.replace("/", "_")
            # The precompiled file does not exist: kept, it would fail the unit.
            return [clang, "-std=c++20", "-Werror", "-Xclang", "-include-pch", "-Xclang",
                    pch + ".pch", "-Xclang", "-include", "-Xclang", pch, "-o", f"{rel}.o", "-c"]

        def bare_form(rel):
            return [f for f in gcc_form(rel) if f not in ("-include", pch, "-Winvalid-pch")]

        # (unit, its text, its command's form, whether the check must report it)
        cases = [
            ("Protocol/Planted.cpp", USES_LIMITS, gcc_form, True),
            ("Protocol/Whole.cpp", "#include <limits>\n" + USES_LIMITS, gcc_form, False),
            # Compiled without the header by the build itself, which fails on it: not compiled here.
            ("Network/Bare.cpp", USES_LIMITS, bare_form, False),
            # Not product code: the tests' units are built with the precompiled header alone.
            ("tests/Planted.cpp", USES_LIMITS, gcc_form, False),
        ]
        if clang:
            cases += [
                ("Widgets/Planted.cpp", USES_LIMITS, clang_form, True),
                ("Widgets/Whole.cpp", "#include <limits>\n" + USES_LIMITS, clang_form, False),
            ]
        else:
            print("compile without pch test: no clang++, its form of the precompiled header is not tried")
        entries = []
        for rel, text, form, _ in cases:
            path = os.path.join(tree, rel)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "w") as f:
                f.write(text)
            entries.append({"directory": build, "file": path, "arguments": form(rel) + [path]})
        with open(os.path.join(build, "compile_commands.json"), "w") as f:
            json.dump(entries, f)

        # The gcc form compiles as the build has it: only without its header does the unit fail.
        built = subprocess.run(entries[0]["arguments"] + ["-fsyntax-only"], cwd=build, capture_output=True, text=True)
        if built.returncode != 0:
            failures.append(f"the planted unit does not compile with the precompiled header: {built.stderr}")

        before = set(os.listdir(build))
        run = subprocess.run([sys.executable, os.path.join(HERE, "compile_without_pch.py"), "--root", tree,
                              "--build", build, "--jobs", "2"], capture_output=True, text=True)
        out = run.stdout + run.stderr
        if run.returncode == 0:
            failures.append("the check passed a unit that does not include what it uses")
        for rel, _, _, reported in cases:
            said = f"{rel} does not compile without the precompiled header" in out
            if said != reported:
                failures.append(f"{rel}: {'not ' if reported else ''}reported")
        product = sum(not rel.startswith("tests/") and form is not bare_form for rel, _, form, _ in cases)
        if f"{sum(reported for *_, reported in cases)} of {product} units fail" not in out:
            failures.append("the count of failing units is wrong")
        if "the build compiles 1 more without it" not in out:
            failures.append("the unit the build compiles bare is not counted as the build's")
        for name in set(os.listdir(build)) - before:
            if name.endswith((".o", ".d")):
                failures.append(f"the check wrote {name}")
    for failure in failures:
        print(f"compile without pch test: {failure}")
    if failures:
        print(out)
        return 1
    print(f"compile without pch test: {len(cases)} units, each reported or passed as it should be")
    return 0


if __name__ == "__main__":
    sys.exit(main())
