#!/usr/bin/env python3
"""Plants faults in a copy of the tree and checks that the include check reports each one: all
of them in one copy first, each under names of its own, then alone any that copy missed.
Usage: test_check_includes.py [--build BUILD_DIR] (default: the tree's build/, whose compile
commands the check reads)."""
import json
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
BUILD = sys.argv[2] if len(sys.argv) == 3 and sys.argv[1] == "--build" else os.path.join(TOP, "build")
UP = "App/BrivantaAppDelegate.h"
# What ./test.sh's include check keeps in the build folder for the tree.
KEPT = "include-check-cache.json"
SOURCES = ("Platform", "Database", "Network", "Protocol", "Common", "Widgets", "Classes", "App", "cmake")


class Link:
    """A symbolic link planted in place of a file or folder, leading to `target`."""

    def __init__(self, target):
        self.target = target


# A sanitizer's build as each compiler spells it, in the build type opposite to the one that
# pairs it with that compiler in the other forms above.
SANITIZER_FORMS = (
    "#if defined(__SANITIZE_ADDRESS__) && !defined(NDEBUG)",
    "#if defined(__SANITIZE_THREAD__) && defined(NDEBUG)",
    "#if defined(__has_feature)\n#  if __has_feature(thread_sanitizer) && !defined(NDEBUG)",
    "#if defined(__has_feature)\n#  if __has_feature(address_sanitizer) && defined(NDEBUG)",
)

# (what is planted: file -> text appended, or -> a Link; the line the check must print)
CASES = [
    ({"Database/Planted.cpp": '#include "../App/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Planted.cpp": '#include "./App/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/SQLite/Planted.cpp": '#include "../../App/BrivantaAppDelegate.h"\n'},
     "upward include: Database/SQLite/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/SQLite/Planted.cpp": '#include "Network/BRJSON.h"\n'},
     "upward include: Database/SQLite/Planted.cpp -> Network/BRJSON.h"),
    ({"Platform/Base/Planted.h": '#  include "Platform/UI/View.h"\n'},
     "upward include: Platform/Base/Planted.h -> Platform/UI/View.h"),
    ({"Platform/Unfloored/Thing.cpp": '#include "Platform/Base/Log.h"\n'},
     "Platform/Unfloored/Thing.cpp belongs to no floor"),
    ({"scripts/include-exceptions.txt": "Database/Nothing.cpp -> App/Nothing.h  # planted, never included\n"},
     "exception no longer needed, remove it: Database/Nothing.cpp -> App/Nothing.h"),
    # Forms the compiler follows as well as the plain one.
    # A name a macro gives is followed as the preprocessor expands it.
    ({"Database/Planted.cpp": '#define UP "App/BrivantaAppDelegate.h"\n#include UP\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Planted.cpp": '#include <App/BrivantaAppDelegate.h>\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Linked.h": Link("../App/BrivantaAppDelegate.h"),
      "Database/Planted.cpp": '#include "Database/Linked.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Up": Link("../App"), "Database/Planted.cpp": '#include "Up/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Services/Thing.cpp": '#include "Platform/Base/Log.h"\n'},
     "Services/Thing.cpp belongs to no floor"),
    ({"tests/Support/Planted.h": "int planted;\n", "Network/Planted.cpp": '#include "tests/Support/Planted.h"\n'},
     "Network/Planted.cpp includes tests: tests/Support/Planted.h"),
    ({"Database/Planted.inc": '#include "App/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.inc -> App/BrivantaAppDelegate.h"),
    ({"Platform/Base/Planted.c": '#include "../UI/View.h"\n'},
     "upward include: Platform/Base/Planted.c -> Platform/UI/View.h"),
    # Spellings the compiler reads as an include: a digraph, #import, a comment or a line
    # splice between the sign and the word.
    ({"Database/Planted.cpp": f'%:include "{UP}"\n'}, f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.cpp": f'#import "{UP}"\n'}, f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.cpp": f'# /* the top */ include "{UP}"\n'}, f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.cpp": f'#\\\ninclude "{UP}"\n'}, f"upward include: Database/Planted.cpp -> {UP}"),
    # The tools' and benchmarks' files are as far out of bounds as the tests'.
    ({"tools/demo/Planted.h": "int planted;\n", "Network/Planted.cpp": '#include "tools/demo/Planted.h"\n'},
     "Network/Planted.cpp includes tools: tools/demo/Planted.h"),
    ({"bench/Planted.h": "int planted;\n", "Classes/Planted.cpp": '#include "bench/Planted.h"\n'},
     "Classes/Planted.cpp includes bench: bench/Planted.h"),
    # Headers of any name, reached through the unit that includes them.
    ({"Database/Planted.tcc": f'#include "{UP}"\n', "Database/Planted.cpp": '#include "Planted.tcc"\n'},
     f"upward include: Database/Planted.tcc -> {UP}"),
    ({"Database/Planted": f'#include "{UP}"\n', "Database/Planted.cpp": '#include "Database/Planted"\n'},
     f"upward include: Database/Planted -> {UP}"),
    # Branches the configured build does not take are read as the other builds take them: a
    # debug build's, the other compiler's, and both at once (a release gcc build is configured).
    ({"Database/Planted.cpp": f'#ifndef NDEBUG\n#include "{UP}"\n#endif\n'},
     f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.cpp": f'#ifdef __clang__\n#include "{UP}"\n#endif\n'},
     f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.h": f'#  if defined(__clang__) /* and */ && !defined(NDEBUG)\n#include "{UP}"\n#endif\n',
      "Database/Planted.cpp": '#include "Database/Planted.h"\n'},
     f"upward include: Database/Planted.h -> {UP}"),
    # The sanitizer builds' branches, as gcc and clang spell them.
    ({"Database/Planted.cpp": f'#ifdef __SANITIZE_THREAD__\n#include "{UP}"\n#endif\n'},
     f"upward include: Database/Planted.cpp -> {UP}"),
    ({"Database/Planted.h": f'#if defined(__has_feature)\n#  if __has_feature(address_sanitizer)\n#include "{UP}"\n'
                            '#  endif\n#endif\n',
      "Database/Planted.cpp": '#include "Database/Planted.h"\n'},
     f"upward include: Database/Planted.h -> {UP}"),
    ({"Database/Planted.cpp": f'#ifdef __SANITIZE_ADDRESS__\n#include "{UP}"\n#endif\n'},
     f"upward include: Database/Planted.cpp -> {UP}"),
    # Each sanitizer in a debug and a release build of each compiler: the builds test.sh and CI
    # make (clang's and gcc's ASan debug, gcc's TSan debug) and their other type.
    *(({"Database/Planted.cpp": f'{condition}\n#include "{UP}"\n' + "#endif\n" * (1 + condition.count("\n"))},
       f"upward include: Database/Planted.cpp -> {UP}") for condition in SANITIZER_FORMS),
    # A conditional block spelt as the compiler also reads it.
    ({"Database/Planted.cpp": f'/* debug\n */ %: /* only */ ifndef NDEBUG\n#include "{UP}"\n#endif\n'},
     f"upward include: Database/Planted.cpp -> {UP}"),
    # Nor are the fuzz targets' files product code's to use.
    ({"fuzz/Planted.h": "int planted;\n", "Network/Planted.cpp": '#include "fuzz/Planted.h"\n'},
     "Network/Planted.cpp includes fuzz: fuzz/Planted.h"),
    # Every header of the tree is on a floor or refused: the bundle's and the build's sit below
    # everything, and a folder of no floor fails.
    ({"Resources/Planted.h": f'#include "{UP}"\n'}, f"upward include: Resources/Planted.h -> {UP}"),
    ({"cmake/Precompiled.h": '#include "Platform/UI/View.h"\n'},
     "upward include: cmake/Precompiled.h -> Platform/UI/View.h"),
    ({"scripts/Planted.h": "int planted;\n"}, "scripts/Planted.h belongs to no floor"),
]


def copy_tree(into):
    for top in SOURCES:
        shutil.copytree(os.path.join(TOP, top), os.path.join(into, top),
                        ignore=shutil.ignore_patterns("*.o", "*.a"))
    os.makedirs(os.path.join(into, "scripts"))
    shutil.copy(os.path.join(HERE, "include-exceptions.txt"), os.path.join(into, "scripts"))


def check(root, build=BUILD):
    # Each copy is read with the build's flags; what a copy leaves unchanged is read once. Both
    # builds start from what the include check of ./test.sh kept for the tree itself: the other
    # type's reads it serves are those of units without a conditional block.
    cache = os.path.join(os.path.dirname(root), f"includes-cache-{os.path.basename(build)}.json")
    kept = os.path.join(BUILD, KEPT)
    if not os.path.exists(cache) and os.path.isfile(kept):
        shutil.copy(kept, cache)
    run = subprocess.run([sys.executable, os.path.join(HERE, "check_includes.py"), "--root", root,
                          "--build", build, "--cache", cache, "--jobs", "2"],
                         capture_output=True, text=True)
    return run.returncode, run.stdout + run.stderr


def other_type_build(into):
    """The configured build's commands with release and debug swapped, as a build folder of its
    own: the sanitizer forms must be caught from a Debug and a RelWithDebInfo configuration alike."""
    os.makedirs(into)
    shutil.copy(os.path.join(BUILD, "CMakeCache.txt"), into)
    with open(os.path.join(BUILD, "compile_commands.json"), encoding="utf-8") as f:
        commands = json.load(f)
    for entry in commands:
        words = shlex.split(entry["command"])
        release = "-DNDEBUG" in words
        words = [w for w in words if w != "-DNDEBUG"]
        words = [("-O0" if release else "-O2") if w.startswith("-O") else w for w in words]
        entry["command"] = shlex.join(words if release else words + ["-DNDEBUG"])
        # Run from the new folder, so that the tree's copy is not taken for the build's source.
        entry["directory"] = entry["directory"].replace(os.path.realpath(BUILD), into)
    with open(os.path.join(into, "compile_commands.json"), "w", encoding="utf-8") as f:
        json.dump(commands, f)
    return into


def plant(clean, root, planted):
    shutil.rmtree(root, ignore_errors=True)
    shutil.copytree(clean, root)
    for path, text in planted.items():
        os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
        if isinstance(text, Link):
            os.symlink(text.target, os.path.join(root, path))
            continue
        with open(os.path.join(root, path), "a", encoding="utf-8") as f:
            f.write(text)


def renamed(planted, i):
    """A case's files under names no other case uses: "Planted" becomes "Planted<i>"."""
    return {path.replace("Planted", f"Planted{i}"):
            text if isinstance(text, Link) else text.replace("Planted", f"Planted{i}")
            for path, text in planted.items()}


def renamed_line(expected, i):
    return expected.replace("Planted", f"Planted{i}")


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        clean = os.path.join(work, "clean")
        copy_tree(clean)
        code, out = check(clean)
        if code != 0:
            print(f"the unchanged tree fails the check:\n{out}")
            return 1
        swapped = other_type_build(os.path.join(work, "swapped-build"))
        code, out = check(clean, swapped)
        if code != 0:
            print(f"the unchanged tree fails the check in the other build type:\n{out}")
            return 1
        # Every case from the configured build; the sanitizer forms from the other type too.
        runs = [(planted, expected, BUILD) for planted, expected in CASES]
        runs += [(planted, expected, swapped) for planted, expected in CASES
                 if any(form in text for text in planted.values() if isinstance(text, str)
                        for form in ("SANITIZE", "sanitizer"))]
        # One copy holds every case, so the tree is read once rather than once a case; a case
        # that copy misses is tried alone, and only a miss alone counts.
        missed = []
        for build in (BUILD, swapped):
            batch = [(i, run) for i, run in enumerate(runs) if run[2] == build]
            root = os.path.join(work, "planted")
            planted = {}
            for i, (case, _, _) in batch:
                planted.update(renamed(case, i))
            plant(clean, root, planted)
            code, out = check(root, build)
            missed += [run for i, run in batch if code == 0 or renamed_line(run[1], i) not in out]
        for planted, expected, build in missed:
            root = os.path.join(work, "planted")
            plant(clean, root, planted)
            code, out = check(root, build)
            if code != 0 and expected in out:
                continue
            failures += 1
            print(f"not caught ({os.path.basename(build)}): {planted}\n  wanted: {expected}\n"
                  f"  got ({code}): {out.strip()}")
    print(f"include check test: {len(runs) - failures} of {len(runs)} planted faults caught")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
