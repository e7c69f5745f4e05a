#!/usr/bin/env python3
"""Plants faults in a copy of the tree and checks that the include check reports each one."""
import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
TOP = os.path.dirname(HERE)
SOURCES = ("Platform", "Database", "Network", "Protocol", "Common", "Widgets", "Classes", "App")


class Link:
    """A symbolic link planted in place of a file or folder, leading to `target`."""

    def __init__(self, target):
        self.target = target


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
    ({"Database/Planted.cpp": '#define UP "App/BrivantaAppDelegate.h"\n#include UP\n'},
     "Database/Planted.cpp includes through a macro: UP"),
    ({"Database/Planted.cpp": '#include <App/BrivantaAppDelegate.h>\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Linked.h": Link("../App/BrivantaAppDelegate.h"),
      "Database/Planted.cpp": '#include "Database/Linked.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Database/Up": Link("../App"), "Database/Planted.cpp": '#include "Up/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.cpp -> App/BrivantaAppDelegate.h"),
    ({"Services/Thing.cpp": '#include "Platform/Base/Log.h"\n'},
     "Services/Thing.cpp belongs to no floor"),
    ({"Network/Planted.cpp": '#include "tests/Support/LoopbackServer.h"\n'},
     "Network/Planted.cpp includes tests: tests/Support/LoopbackServer.h"),
    ({"Database/Planted.inc": '#include "App/BrivantaAppDelegate.h"\n'},
     "upward include: Database/Planted.inc -> App/BrivantaAppDelegate.h"),
    ({"Platform/Base/Planted.c": '#include "../UI/View.h"\n'},
     "upward include: Platform/Base/Planted.c -> Platform/UI/View.h"),
]


def copy_tree(into):
    for top in SOURCES:
        shutil.copytree(os.path.join(TOP, top), os.path.join(into, top),
                        ignore=shutil.ignore_patterns("*.o", "*.a"))
    os.makedirs(os.path.join(into, "scripts"))
    shutil.copy(os.path.join(HERE, "include-exceptions.txt"), os.path.join(into, "scripts"))


def check(root):
    run = subprocess.run([sys.executable, os.path.join(HERE, "check_includes.py"), "--root", root],
                         capture_output=True, text=True)
    return run.returncode, run.stdout


def main():
    failures = 0
    with tempfile.TemporaryDirectory() as work:
        clean = os.path.join(work, "clean")
        copy_tree(clean)
        code, out = check(clean)
        if code != 0:
            print(f"the unchanged tree fails the check:\n{out}")
            return 1
        for planted, expected in CASES:
            root = os.path.join(work, "planted")
            shutil.rmtree(root, ignore_errors=True)
            shutil.copytree(clean, root)
            for path, text in planted.items():
                os.makedirs(os.path.dirname(os.path.join(root, path)), exist_ok=True)
                if isinstance(text, Link):
                    os.symlink(text.target, os.path.join(root, path))
                    continue
                with open(os.path.join(root, path), "a", encoding="utf-8") as f:
                    f.write(text)
            code, out = check(root)
            if code == 0 or expected not in out:
                failures += 1
                print(f"not caught: {planted}\n  wanted: {expected}\n  got ({code}): {out.strip()}")
    print(f"include check test: {len(CASES) - failures} of {len(CASES)} planted faults caught")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
