#!/usr/bin/env python3
"""Fails when a source file includes a header from a floor above its own.

The floors, lowest first: the platform layer (its folders in their own order), then the SQLite
layer and the HTTP engine, the data models, the protocol, the shared services and widgets, the
feature screens, and the application on top. A file may include its own floor and those below.

The includes are read as the compiler reads them: each unit of the product is run through the
preprocessor with the build's own flags (its compile_commands.json), which prints every include
directive it meets (whatever its spelling: digraphs, #import, comments or line splices inside
it, a name given by a macro) and the file it opens for it. An include skipped because its file
was already read (#pragma once, guards) is looked up along the same search path. Headers that no
unit reaches are run through the preprocessor on their own. So every file the compiler would
read is seen, whatever its name ends with.

The branches of every build are read, whichever is configured: a unit any of whose files of the
tree may open a conditional block is run through the preprocessor again by the other compiler
(clang for gcc, gcc for clang; its macros stand in when it is not installed), with release and
debug swapped (NDEBUG and optimisation), and under each sanitizer (AddressSanitizer with UBSan,
ThreadSanitizer) by each compiler in a debug and a release build, as the sanitizer builds spell it
(__SANITIZE_ADDRESS__ for gcc, __has_feature(address_sanitizer) for clang). A unit with no such file includes the same
files in every build, so it is read once, and a read kept from one build type serves the other.

A file that sits on no floor is refused (a new folder must take its place in FLOORS first), and
so is product code that includes the files of the tests, tools, benchmarks or fuzz targets, and a
unit the preprocessor cannot read in any of the builds. Every other top-level folder is product
code: the precompiled standard headers (cmake/) and the bundle's files (Resources/) too. Known
exceptions live in include-exceptions.txt, one per line with its reason; an exception that no
longer occurs is reported too, so the list only shrinks.

Usage: check_includes.py [--root TREE] [--build BUILD_DIR] [--jobs N]. The tree defaults to this
script's own; the build directory to TREE/build, configured (cmake) before the check runs. A
tree other than the build's source (the test's copies) is read with the build's flags, its
source folder read as the tree.
"""
import argparse
import concurrent.futures
import functools
import hashlib
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import threading

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
    # The precompiled standard headers, forced into every unit, and the bundle's files: below
    # everything, so that they may include nothing of the product.
    ("cmake/", 0), ("Resources/", 0),
]
# Folders that sit on one floor but must not reach each other either.
APART = [("Database/SQLite/", "Network/")]
# Top-level folders that are not the product: its tests, benchmarks, tools and fuzz targets,
# which product code may never include. Every other folder is product code (a file of it on no
# floor is refused); a folder holding a build tree is skipped.
NOT_PRODUCT = ("tests", "bench", "tools", "fuzz")
OFF_LIMITS = NOT_PRODUCT
# Files the build compiles as units, and the other files a unit may include: headers and
# inline parts (a header of any other name is found when a unit includes it).
SOURCES = (".c", ".cc", ".cpp", ".cxx", ".c++", ".C", ".m", ".mm")
HEADERS = (".h", ".hh", ".hpp", ".hxx", ".inc", ".inl", ".ipp", ".tpp", ".tcc", ".def")

# What `-E -dI` prints: line markers (`# 12 "file" 1`: 1 enters a file, 2 returns to one) and
# the include directives, written plainly whatever their spelling in the source.
MARKER = re.compile(r'^# \d+ "((?:[^"\\]|\\.)*)"((?: \d+)*)\s*$')
DIRECTIVE = re.compile(r'^#\s*(include|include_next|import)\s+([<"])([^>"]*)[>"]')
# A line that may open a conditional block, spelt any way the compiler reads (a comment or a
# line splice around the sign, a digraph); read wider than the compiler would, never narrower.
BLANK = r'(?:[ \t]|/\*(?:[^*]|\*(?!/))*\*/)*'
CONDITIONAL = re.compile(
    rf'^{BLANK}(?:#|%:){BLANK}(?:if|ifdef|ifndef|elif|elifdef|elifndef|else)\b', re.M)
SPLICE = re.compile(r'\\[ \t]*\r?\n')

# The builds whose branches are read: the configured one first, then every other pairing of
# compiler (the configured one or the other), build type (as configured, or release and debug
# swapped: NDEBUG and optimisation) and sanitizer (none, AddressSanitizer with UBSan,
# ThreadSanitizer), as (other compiler, swapped, sanitizer). So each sanitizer is read in a debug
# and a release build of each compiler, whichever type is configured.
ASAN, TSAN = "address,undefined", "thread"
BUILDS = [(other, swapped, sanitizer) for sanitizer in (None, ASAN, TSAN)
          for other in (False, True) for swapped in (False, True)]
# What the other compiler is given of a unit's flags: those that change what is preprocessed.
PREPROCESSOR_FLAGS = ("-I", "-iquote", "-isystem", "-idirafter", "-D", "-U", "-include", "-imacros",
                      "-std=", "-O", "-pthread", "-fsanitize=", "-fexceptions", "-fno-exceptions",
                      "-frtti", "-fno-rtti", "-fPIC", "-fpic", "-fPIE", "-fpie", "-fopenmp",
                      "-fsigned-char", "-funsigned-char", "-x")
# Those of them whose value may come as the next argument.
WITH_VALUE = ("-I", "-iquote", "-isystem", "-idirafter", "-D", "-U", "-include", "-imacros", "-x")


class Tree:
    def __init__(self, root, build):
        self.root = os.path.abspath(root)
        self.real = os.path.realpath(self.root)
        self.build = os.path.abspath(build)
        self.relatives = {}

    def relative(self, path):
        """The path from the top of the tree to the file `path` names once links are followed,
        or None when it lies outside."""
        if path not in self.relatives:
            real = os.path.realpath(path)
            inside = real != self.real and real.startswith(self.real + os.sep)
            self.relatives[path] = os.path.relpath(real, self.real) if inside else None
        return self.relatives[path]

    def is_product(self, rel):
        top = rel.split(os.sep, 1)[0]
        if top.startswith(".") or top in NOT_PRODUCT:
            return False
        return not os.path.isfile(os.path.join(self.real, top, "CMakeCache.txt"))


def floor_of(path):
    best = None
    for prefix, floor in FLOORS:
        if path.startswith(prefix) and (best is None or len(prefix) > len(best[0])):
            best = (prefix, floor)
    return best


def product_files(tree):
    """Every file of product code a unit is made of or may include, as paths from the top to
    the files themselves (a link's target, when it lies in the tree)."""
    files = set()
    seen = set()
    for entry in sorted(os.listdir(tree.root)):
        full = os.path.join(tree.root, entry)
        if entry.startswith(".") or entry in NOT_PRODUCT:
            continue
        if os.path.isfile(full):
            if entry.endswith(SOURCES + HEADERS):
                files.add(tree.relative(full) or entry)
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
                if name.endswith(SOURCES + HEADERS):
                    path = os.path.join(base, name)
                    files.add(tree.relative(path) or os.path.relpath(path, tree.root))
    return sorted(files)


def source_of_build(build):
    """The source folder the build was configured from, as its compile commands name it."""
    with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as f:
        for line in f:
            if line.startswith("CMAKE_HOME_DIRECTORY:"):
                return line.split("=", 1)[1].strip()
    raise SystemExit(f"include check: {build} names no source folder")


def compile_commands(tree):
    """Each unit's compiler and flags (output and dependency options left out), by the path of
    its file from the top of the tree; the build's source folder is read as the tree."""
    database = os.path.join(tree.build, "compile_commands.json")
    if not os.path.isfile(database):
        raise SystemExit(f"include check: no {database}: configure the build first "
                         f"(cmake -S . -B {os.path.relpath(tree.build, tree.root)})")
    source = source_of_build(tree.build).rstrip(os.sep)

    def here(text):
        # The source folder named anywhere in an argument (-I<folder>) is the tree's; the
        # build's own folder stays where it is, even inside the source folder.
        if tree.root == source:
            return text
        text = text.replace(tree.build, "\0build\0")
        text = re.sub(re.escape(source) + r"(?![\w.-])", lambda _: tree.root, text)
        return text.replace("\0build\0", tree.build)

    commands = {}
    with open(database, encoding="utf-8") as f:
        entries = json.load(f)
    for entry in entries:
        args = entry.get("arguments") or shlex.split(entry["command"])
        directory = here(entry["directory"])
        file = os.path.join(directory, here(entry["file"]))
        kept = []
        skip = False
        for i, arg in enumerate(args):
            if skip:
                skip = False
                continue
            if arg in ("-o", "-MT", "-MF", "-MQ"):
                skip = True
                continue
            if arg in ("-c", "-MD", "-MMD", "-Winvalid-pch") or arg == entry["file"]:
                continue
            # The precompiled header is the build's, not the source's: each file's own
            # includes are what is checked.
            if arg in ("-include", "-include-pch") and "cmake_pch" in args[i + 1]:
                skip = True
                continue
            # What is handed to clang's front end alone is the precompiled header's.
            if arg == "-Xclang":
                skip = True
                continue
            if "cmake_pch" in arg:
                continue
            kept.append(here(arg))
        rel = tree.relative(file)
        if rel and tree.is_product(rel):
            commands[rel] = (directory, kept)
    return commands


def command_for(rel, commands):
    """The flags a file is read with: its own unit's, else those of the unit nearest to it in
    the tree (a header is read as the files beside it are compiled)."""
    if rel in commands:
        return commands[rel]
    best, best_depth = None, -1
    parts = rel.split(os.sep)[:-1]
    for unit, command in sorted(commands.items()):
        unit_parts = unit.split(os.sep)[:-1]
        depth = 0
        while depth < min(len(parts), len(unit_parts)) and parts[depth] == unit_parts[depth]:
            depth += 1
        if depth > best_depth:
            best, best_depth = command, depth
    return best


def search_path(args):
    """The folders the compiler looks in, in its order: for quoted names (after the including
    file's own folder) and for bracketed ones."""
    groups = {"-iquote": [], "-I": [], "-isystem": [], "-idirafter": []}
    i = 0
    while i < len(args):
        for flag, folders in groups.items():
            if args[i].startswith(flag):
                value = args[i][len(flag):]
                if not value and i + 1 < len(args):
                    i += 1
                    value = args[i]
                folders.append(value)
                break
        i += 1
    bracketed = groups["-I"] + groups["-isystem"] + groups["-idirafter"]
    return groups["-iquote"] + bracketed, bracketed


def unquote(name):
    return re.sub(r'\\(.)', r'\1', name)


@functools.lru_cache(maxsize=None)
def is_clang(compiler):
    done = subprocess.run([compiler, "-x", "c", "-dM", "-E", "-"], input=b"", capture_output=True)
    return b"#define __clang__ " in done.stdout


def other_compiler(compiler, cxx):
    """The other compiler (gcc for clang, clang for gcc), and the flags that stand in for the
    difference when it is not installed."""
    clang = is_clang(compiler)
    name = ("g++" if cxx else "gcc") if clang else ("clang++" if cxx else "clang")
    found = shutil.which(name)
    if found:
        return found, []
    macros = ("__clang__", "__clang_major__", "__clang_minor__", "__clang_patchlevel__")
    if clang:
        return compiler, [f"-U{macro}" for macro in macros]
    return compiler, [f"-D{macro}={value}" for macro, value in zip(macros, (1, 18, 0, 0))]


@functools.lru_cache(maxsize=None)
def defines_has_feature(compiler):
    done = subprocess.run([compiler, "-x", "c", "-E", "-"], capture_output=True,
                          input=b"#ifdef __has_feature\nyes\n#endif\n")
    return b"yes" in done.stdout


def sanitizer_flags(compiler, sanitizer, stands_in):
    """The flags of a sanitizer build. A compiler standing in for the other is also given the
    words the other one defines for it."""
    flags = [f"-fsanitize={sanitizer}"]
    if not stands_in:
        return flags
    if is_clang(compiler):
        return flags + [f"-D__SANITIZE_{'THREAD' if sanitizer == TSAN else 'ADDRESS'}__=1"]
    if not defines_has_feature(compiler):
        feature = "thread_sanitizer" if sanitizer == TSAN else "address_sanitizer"
        flags += ["-D__has_feature(x)=__brivanta_feature_##x", f"-D__brivanta_feature_{feature}=1"]
    return flags


def without_sanitizers(args):
    return [arg for arg in args if not arg.startswith(("-fsanitize", "-fno-sanitize"))]


def preprocessor_flags(args):
    """Of a compiler's arguments, those the other compiler needs to preprocess the same way."""
    kept = []
    i = 1
    while i < len(args):
        if args[i] in WITH_VALUE and i + 1 < len(args):
            kept += args[i:i + 2]
            i += 2
            continue
        if args[i].startswith(PREPROCESSOR_FLAGS):
            kept.append(args[i])
        i += 1
    return kept


def swap_release(args):
    """A release build's flags made a debug build's (no NDEBUG, no optimisation), or the
    other way round."""
    kept = [args[0]]
    release = False
    i = 1
    while i < len(args):
        if args[i] == "-D" and i + 1 < len(args) and args[i + 1].split("=")[0] == "NDEBUG":
            release = True
            i += 2
            continue
        if args[i].startswith("-D") and args[i][2:].split("=")[0] == "NDEBUG":
            release = True
        else:
            kept.append(args[i])
        i += 1
    if release:
        return [("-O0" if arg.startswith("-O") else arg) for arg in kept]
    return kept + ["-DNDEBUG", "-O2"]


def typeless(key):
    """A cache key without what sets the build type (NDEBUG and optimisation)."""
    rel, directory, args = json.loads(key)
    kept = []
    for arg in args:
        if arg.startswith("-O") or re.match(r"-DNDEBUG(=|$)", arg) or (kept[-1:] == ["-D"] and arg == "NDEBUG"):
            if kept[-1:] == ["-D"]:
                kept.pop()
            continue
        kept.append(arg)
    return json.dumps([rel, directory, kept])


def describe(args):
    release = any(a.startswith("-DNDEBUG") for a in args) or "NDEBUG" in args
    sanitizers = [a.split("=", 1)[1] for a in args if a.startswith("-fsanitize=")]
    return ", ".join([os.path.basename(args[0]), "release" if release else "debug",
                      *(f"-fsanitize={s}" for s in sanitizers)])


class Reader:
    """Runs files through the preprocessor with their unit's flags. A cache (the check's own
    test reads many copies of one tree) keeps each unit's includes while every file of the tree
    it read is unchanged and every name it includes is still found where it was."""

    def __init__(self, tree, commands, cache):
        self.tree = tree
        self.commands = commands
        self.cache_path = cache
        self.cache = {}
        self.changed = False
        if cache and os.path.isfile(cache):
            with open(cache, encoding="utf-8") as f:
                self.cache = json.load(f)
        # Each kept read under its command without the build type, for a read in the other type.
        self.typeless = {typeless(key): key for key in self.cache}
        self.hashes = {}
        # Names looked up along a search path, and each command's search path (commands are
        # kept for the whole run, so their lists' identities name them).
        self.found = {}
        self.paths = {}
        # Each unit's command for each build (kept, as their identities name them too), and
        # whether each file may hold a conditional block.
        self.builds = {}
        self.lock = threading.Lock()
        self.branching = {}

    def digest(self, rel):
        if rel not in self.hashes:
            try:
                with open(os.path.join(self.tree.real, rel), "rb") as f:
                    self.hashes[rel] = hashlib.sha1(f.read()).hexdigest()
            except OSError:
                self.hashes[rel] = None
        return self.hashes[rel]

    def conditional(self, rel):
        """Whether the file may take a branch: what it includes can depend on the build."""
        if rel not in self.branching:
            try:
                with open(os.path.join(self.tree.real, rel), "rb") as f:
                    text = SPLICE.sub("", f.read().decode("utf-8", "surrogateescape"))
                self.branching[rel] = bool(CONDITIONAL.search(text))
            except OSError:
                self.branching[rel] = False
        return self.branching[rel]

    def command(self, rel, build):
        """The unit's command in the configured build, or in one of the others."""
        directory, args = command_for(rel, self.commands)
        if build == BUILDS[0]:
            return directory, args
        cxx = not rel.endswith((".c", ".m"))
        with self.lock:
            key = (id(args), build, cxx)
            if key not in self.builds:
                other, swapped, sanitizer = build
                changed = without_sanitizers(args)
                extra = []
                if other:
                    compiler, extra = other_compiler(args[0], cxx)
                    changed = [compiler, *preprocessor_flags(changed), *extra]
                if swapped:
                    changed = swap_release(changed)
                if sanitizer:
                    changed += sanitizer_flags(changed[0], sanitizer, bool(extra))
                self.builds[key] = (directory, changed)
            return self.builds[key]

    def in_tree(self, named):
        """A path as the compiler named it, from the top of the tree (not following links), or
        None outside."""
        if named == self.tree.root or not named.startswith(self.tree.root + os.sep):
            return None
        return os.path.relpath(named, self.tree.root)

    def key(self, rel, command):
        # The build's folder and the tree's named alike wherever they lie: a copy of the tree
        # read with the same build finds what the tree itself left in the cache.
        def named(text):
            return text.replace(self.tree.build, "<build>").replace(self.tree.root, "<tree>")
        directory, args = command
        return json.dumps([rel, named(directory), [named(arg) for arg in args]])

    def look_up(self, command, includer, kind, mark, name):
        """Where the compiler finds a name: the first folder along its search path that holds
        it (the including file's own folder first, for a quoted name)."""
        directory, args = command
        if kind == "include_next":
            return None
        if id(args) not in self.paths:
            quoted, bracket = search_path(args)
            self.paths[id(args)] = (tuple(quoted), tuple(bracket))
        quoted_dirs, bracket_dirs = self.paths[id(args)]
        # Builds that search the same folders find a name in the same place.
        memo = (directory, quoted_dirs if mark == '"' else bracket_dirs,
                os.path.dirname(includer) if mark == '"' else "", mark, name)
        if memo not in self.found:
            folders = ((os.path.dirname(includer),) + quoted_dirs) if mark == '"' else bracket_dirs
            self.found[memo] = None
            for folder in folders:
                candidate = os.path.normpath(os.path.join(directory, folder, name))
                if os.path.isfile(candidate):
                    self.found[memo] = candidate
                    break
        return self.found[memo]

    def still_holds(self, entry, command):
        if any(self.digest(rel) != digest for rel, digest in entry["files"].items()):
            return False
        for includer, kind, mark, name, found in entry["lookups"]:
            at = self.look_up(command, os.path.join(self.tree.root, includer), kind, mark, name)
            if (self.tree.relative(at) if at else None) != found:
                return False
        return True

    def read(self, rel, build=BUILDS[0]):
        """The unit's includes in one build as (file that includes, file included) from the top
        of the tree (None for a file outside it), the files of the tree it read, and the
        preprocessor's first error when it could not read the unit."""
        command = self.command(rel, build)
        key = self.key(rel, command)
        entry = self.cache.get(key)
        if not entry or not self.still_holds(entry, command):
            entry = self.of_the_other_type(key, command) or self.run(rel, command)
            with self.lock:
                self.cache[key] = entry
                self.typeless[typeless(key)] = key
                self.changed = True
        error = entry["error"]
        if error and build != BUILDS[0]:
            error = f"({describe(command[1])}) {error}"
        return [tuple(edge) for edge in entry["edges"]], set(entry["files"]), error

    def of_the_other_type(self, key, command):
        """The unit as read with the same command in the other build type, where none of the
        files of the tree it read holds a conditional block: it includes the same files in both."""
        with self.lock:
            other = self.typeless.get(typeless(key))
            entry = self.cache.get(other) if other and other != key else None
        if not entry or entry["error"] or any(map(self.conditional, entry["files"])):
            return None
        return entry if self.still_holds(entry, command) else None

    def run(self, rel, command):
        directory, args = command
        path = os.path.join(self.tree.root, rel)
        language = [] if rel.endswith(SOURCES) else ["-x", "c++"]
        run = [args[0], *language, *args[1:], "-E", "-dI", "-w", path, "-o", "-"]
        script = 'set -o pipefail; "$@" | grep -a "^#"'
        done = subprocess.run(["bash", "-c", script, "-", *run], cwd=directory, capture_output=True)
        entry = {"edges": [], "files": {rel: self.digest(rel)}, "lookups": [], "error": None}
        if done.returncode != 0:
            # What it read before it stopped is checked too.
            lines = done.stderr.decode("utf-8", "replace").strip().splitlines()
            entry["error"] = ([line for line in lines if "error" in line] or lines or ["it failed"])[0]

        def absolute(named):
            # "<built-in>" and "<command-line>" stand for no file.
            return named if named.startswith("<") else os.path.normpath(os.path.join(directory, named))

        stack = []
        pending = None

        def include(includer, kind, mark, name, opened):
            if includer.startswith("<"):
                return
            if opened is None:
                # Skipped as already read: found where the compiler finds it.
                opened = self.look_up(command, includer, kind, mark, name)
            source = self.tree.relative(includer)
            if not source:
                return
            header = self.tree.relative(opened) if opened else None
            entry["edges"].append([source, header])
            named = self.in_tree(includer)
            if named:
                entry["lookups"].append([named, kind, mark, name, header])

        for line in done.stdout.decode("utf-8", "surrogateescape").splitlines():
            marker = MARKER.match(line)
            if marker:
                named, flags = absolute(unquote(marker.group(1))), marker.group(2).split()
                if "1" in flags:
                    if pending and stack and pending[0] == stack[-1]:
                        include(*pending, named)
                        pending = None
                    stack.append(named)
                    within = None if named.startswith("<") else self.tree.relative(named)
                    if within:
                        entry["files"][within] = self.digest(within)
                elif "2" in flags:
                    while stack and stack[-1] != named:
                        stack.pop()
                    if not stack:
                        stack.append(named)
                elif stack:
                    # A line's place within the file read now, or the main file taken up again
                    # after the compiler's own definitions.
                    stack[-1] = named
                else:
                    stack.append(named)
                continue
            directive = DIRECTIVE.match(line)
            if directive and stack:
                if pending:
                    include(*pending, None)
                pending = (stack[-1], directive.group(1), directive.group(2), directive.group(3))
        if pending:
            include(*pending, None)
        return entry

    def save(self):
        if self.cache_path and self.changed:
            with open(self.cache_path, "w", encoding="utf-8") as f:
                json.dump(self.cache, f)


def violations(tree, jobs, cache=None):
    reader = Reader(tree, compile_commands(tree), cache)
    files = product_files(tree)
    found = set()
    edges = set()
    read = set()

    def read_all(batch):
        """Reads each (unit, build) of the batch; the files of the tree each unit read."""
        for rel, _ in batch:
            reader.digest(rel)
        files_read = {}
        with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
            for (rel, _), (unit_edges, unit_read, error) in zip(
                    batch, pool.map(lambda job: reader.read(*job), batch)):
                if error:
                    found.add(f"{rel} cannot be preprocessed: {error}")
                edges.update(unit_edges)
                read.update(unit_read)
                read.add(rel)
                files_read.setdefault(rel, set()).update(unit_read | {rel})
        return files_read

    def read_in_every_build(batch):
        # A unit none of whose files of the tree holds a conditional block includes the same
        # files in every build: only the others are read again in the other builds, all of
        # them at once, so that a few slow units do not hold up one build after another.
        files_read = read_all([(rel, BUILDS[0]) for rel in batch])
        branching = [rel for rel in batch if any(map(reader.conditional, files_read[rel]))]
        read_all([(rel, build) for build in BUILDS[1:] for rel in branching])

    read_in_every_build([rel for rel in files if rel.endswith(SOURCES)])
    # Headers no unit reaches are read on their own.
    read_in_every_build([rel for rel in files if rel not in read])
    reader.save()

    for source, target in edges:
        if not tree.is_product(source):
            continue
        here = floor_of(source)
        if not here or not target:
            continue
        top = target.split(os.sep, 1)[0]
        if top in OFF_LIMITS:
            found.add(f"{source} includes {top}: {target}")
            continue
        there = floor_of(target)
        if not there:
            continue
        apart = any({here[0], there[0]} == {a, b} for a, b in APART)
        if there[1] > here[1] or apart:
            found.add(f"{source} -> {target}")
    for rel in read:
        if tree.is_product(rel) and not floor_of(rel):
            found.add(f"{rel} belongs to no floor")
    return sorted(found)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    default_root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser.add_argument("--root", default=default_root)
    parser.add_argument("--build")
    parser.add_argument("--jobs", type=int, default=os.cpu_count() or 2)
    # Where each unit's includes are kept between runs (the test's copies of one tree).
    parser.add_argument("--cache")
    options = parser.parse_args()
    tree = Tree(options.root, options.build or os.path.join(options.root, "build"))

    listed = {}
    with open(os.path.join(tree.root, "scripts", "include-exceptions.txt"), encoding="utf-8") as f:
        for line in f:
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            edge, _, reason = line.partition("  # ")
            if not reason.strip():
                print(f"include check: an exception without its reason: {line}")
                return 1
            listed[edge.strip()] = reason
    found = violations(tree, max(1, options.jobs), options.cache)
    # Only upward includes may be listed: the other faults are always refused.
    new = [v for v in found if v not in listed or " -> " not in v]
    gone = [e for e in listed if e not in found]
    for v in new:
        if v.endswith(" belongs to no floor"):
            print(f"include check: {v}: give its folder a floor in scripts/check_includes.py")
        elif " cannot be preprocessed: " in v:
            print(f"include check: {v}")
        elif " -> " not in v:
            print(f"include check: {v}: product code may not use the files of the tests, tools, "
                  f"benchmarks or fuzz targets")
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
