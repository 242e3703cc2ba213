#!/usr/bin/env python3
"""Fails when an include crosses the layers, or when a library's CMake dependencies do not
match what its sources include.

Layers, lowest first: platform <- util <- every other source folder; nothing includes the
program's folder (app/) but the program itself, its tests and the benchmarks. The source
folders are found, not listed: every top-level folder whose CMakeLists.txt makes a
tambourelle_library. For each library:
  - every folder its sources include must be reachable through its DEPS (directly or through
    the dependencies' own DEPS), and
  - every library it names in DEPS must be included by its sources (no dependency that
    nothing uses); a folder without sources yet is exempt.
Test folders tests/<folder>/ follow the rule of <folder>; the other test folders (support,
shared fixtures, fuzz targets) may not include the program's folder.
Usage: scripts/check_layers.py [root]   (exit status 1 on any finding)
"""
import os
import re
import sys

# The layers below the subsystems, lowest first; and the program's folder on top.
BASE_LAYERS = ["platform", "util"]
PROGRAM = "app"
LIBRARY_PREFIX = "tambourelle_"
SOURCE_EXTENSIONS = (".cpp", ".h")

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/')
LIBRARY = re.compile(r"tambourelle_library\(\s*(\w+)(.*?)\)\s*$", re.S | re.M)


def sources(folder):
    for dirpath, _, files in os.walk(folder):
        for name in sorted(files):
            if name.endswith(SOURCE_EXTENSIONS):
                yield os.path.join(dirpath, name)


def includes(path, known):
    """(line number, folder) of each include of a known top-level folder."""
    with open(path, encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m and m.group(1) in known:
                yield number, m.group(1)


def libraries(root):
    """folder -> direct dependencies (folder names) of every tambourelle_library."""
    found = {}
    for entry in sorted(os.listdir(root)):
        cmake = os.path.join(root, entry, "CMakeLists.txt")
        if entry.startswith(".") or not os.path.isfile(cmake):
            continue
        text = re.sub(r"#.*", "", open(cmake, encoding="utf-8").read())
        m = LIBRARY.search(text)
        if not m:
            continue
        words = m.group(2).split()
        deps, in_deps = [], False
        for w in words:
            if w.isupper() and not w.startswith(LIBRARY_PREFIX):
                in_deps = w == "DEPS"
            elif in_deps and w.startswith(LIBRARY_PREFIX):
                deps.append(w[len(LIBRARY_PREFIX):])
        found[entry] = deps
    return found


def allowed(folder, target):
    """Whether sources of `folder` may include `target` by the layers alone."""
    if target == folder:
        return True
    if target == PROGRAM:
        return False
    if folder in BASE_LAYERS:
        return target in BASE_LAYERS and BASE_LAYERS.index(target) < BASE_LAYERS.index(folder)
    return True


def closure(folder, deps):
    seen, todo = set(), list(deps.get(folder, []))
    while todo:
        d = todo.pop()
        if d not in seen:
            seen.add(d)
            todo.extend(deps.get(d, []))
    return seen


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    os.chdir(root)
    deps = libraries(root)
    known = set(deps)
    findings = []

    for folder in sorted(deps):
        used = set()
        reachable = closure(folder, deps) | {folder}
        for path in sources(folder):
            for number, target in includes(path, known):
                used.add(target)
                if not allowed(folder, target) and not (folder == PROGRAM and target == PROGRAM):
                    findings.append(f"{path}:{number}: {folder}/ may not include {target}/ (layers)")
                elif target not in reachable:
                    findings.append(f"{path}:{number}: {folder}/ includes {target}/ but "
                                    f"{LIBRARY_PREFIX}{folder} does not link {LIBRARY_PREFIX}{target}")
        if any(p.endswith(".cpp") for p in sources(folder)):
            for d in deps[folder]:
                if d not in used:
                    findings.append(f"{folder}/CMakeLists.txt: {LIBRARY_PREFIX}{folder} links "
                                    f"{LIBRARY_PREFIX}{d} but includes nothing of {d}/")

    if os.path.isdir("tests"):
        for entry in sorted(os.listdir("tests")):
            path = os.path.join("tests", entry)
            if not os.path.isdir(path):
                continue
            owner = entry if entry in known else None
            for src in sources(path):
                for number, target in includes(src, known):
                    if owner is None:
                        ok = target != PROGRAM
                    else:
                        ok = allowed(owner, target) or owner == target
                    if not ok:
                        findings.append(f"{src}:{number}: tests of {owner or entry}/ may not include {target}/ (layers)")
                    elif owner and target not in closure(owner, deps) | {owner}:
                        findings.append(f"{src}:{number}: tests of {owner}/ include {target}/, which "
                                        f"{LIBRARY_PREFIX}{owner} does not link")

    for f in findings:
        print(f)
    print(f"check_layers: {len(deps)} libraries, {len(findings)} finding(s)")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
