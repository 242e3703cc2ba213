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

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
LIBRARY = re.compile(r"tambourelle_library\(\s*(\w+)(.*?)\)\s*$", re.S | re.M)
NOT_SOURCES = {"tests", "bench", "cmake", "scripts"}


def libraries(root):
    """name -> (folder, direct dependencies by name) of every tambourelle_library; a library
    may sit inside another's folder (platform/net), whose sources then exclude it."""
    found = {}
    for dirpath, dirnames, files in os.walk(root):
        rel = os.path.relpath(dirpath, root)
        top = rel.split(os.sep)[0]
        if rel != "." and (top.startswith(".") or top.startswith("build") or top in NOT_SOURCES):
            dirnames[:] = []
            continue
        if rel == "." or "CMakeLists.txt" not in files:
            continue
        text = re.sub(r"#.*", "", open(os.path.join(dirpath, "CMakeLists.txt"), encoding="utf-8").read())
        for m in LIBRARY.finditer(text):
            deps, in_deps = [], False
            for w in m.group(2).split():
                if w.isupper() and not w.startswith(LIBRARY_PREFIX):
                    in_deps = w == "DEPS"
                elif in_deps and w.startswith(LIBRARY_PREFIX):
                    deps.append(w[len(LIBRARY_PREFIX):])
            found[m.group(1)[len(LIBRARY_PREFIX):]] = (rel.replace(os.sep, "/"), deps)
    return found


def owner(path, folders):
    """The library whose folder holds `path` most closely (None when none does)."""
    best = None
    for name, folder in folders.items():
        if path.startswith(folder + "/") and (best is None or len(folder) > len(folders[best])):
            best = name
    return best


def sources(root, folder, folders, name):
    for dirpath, _, files in os.walk(os.path.join(root, folder)):
        for f in sorted(files):
            if f.endswith(SOURCE_EXTENSIONS):
                rel = os.path.relpath(os.path.join(dirpath, f), root).replace(os.sep, "/")
                if name is None or owner(rel, folders) == name:
                    yield rel


def included(root, path, folders):
    """(line number, library) of each include of a library's header."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                lib = owner(m.group(1), folders)
                if lib:
                    yield number, lib


def allowed(layer, target_layer):
    """Whether sources of one layer (a top-level folder) may include another by the layers."""
    if target_layer == layer:
        return True
    if target_layer == PROGRAM:
        return False
    if layer in BASE_LAYERS:
        return target_layer in BASE_LAYERS and BASE_LAYERS.index(target_layer) < BASE_LAYERS.index(layer)
    return True


def closure(name, deps):
    seen, todo = set(), list(deps.get(name, []))
    while todo:
        d = todo.pop()
        if d not in seen:
            seen.add(d)
            todo.extend(deps.get(d, []))
    return seen


def main():
    root = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), ".."))
    libs = libraries(root)
    folders = {n: f for n, (f, _) in libs.items()}
    deps = {n: d for n, (_, d) in libs.items()}
    layer = {n: f.split("/")[0] for n, f in folders.items()}
    findings = []

    for name in sorted(libs):
        used = set()
        reachable = closure(name, deps) | {name}
        files = list(sources(root, folders[name], folders, name))
        for path in files:
            for number, target in included(root, path, folders):
                used.add(target)
                if not allowed(layer[name], layer[target]):
                    findings.append(f"{path}:{number}: {folders[name]}/ may not include {folders[target]}/ (layers)")
                elif target not in reachable:
                    findings.append(f"{path}:{number}: {folders[name]}/ includes {folders[target]}/ but "
                                    f"{LIBRARY_PREFIX}{name} does not link {LIBRARY_PREFIX}{target}")
        if any(p.endswith(".cpp") for p in files):
            for d in deps[name]:
                if d in libs and d not in used:
                    findings.append(f"{folders[name]}/CMakeLists.txt: {LIBRARY_PREFIX}{name} links "
                                    f"{LIBRARY_PREFIX}{d} but includes nothing of {folders[d]}/")

    # tests/<folder>/ is the test program of the library <folder>, which it links.
    tests = os.path.join(root, "tests")
    if os.path.isdir(tests):
        for entry in sorted(os.listdir(tests)):
            if not os.path.isdir(os.path.join(tests, entry)):
                continue
            lib = entry if entry in libs else None
            for src in sources(root, "tests/" + entry, folders, None):
                for number, target in included(root, src, folders):
                    if lib is None:
                        if layer[target] == PROGRAM:
                            findings.append(f"{src}:{number}: tests/{entry}/ may not include {folders[target]}/ (layers)")
                    elif not allowed(layer[lib], layer[target]):
                        findings.append(f"{src}:{number}: tests of {entry}/ may not include {folders[target]}/ (layers)")
                    elif target not in closure(lib, deps) | {lib}:
                        findings.append(f"{src}:{number}: tests of {entry}/ include {folders[target]}/, which "
                                        f"{LIBRARY_PREFIX}{lib} does not link")

    for f in findings:
        print(f)
    print(f"check_layers: {len(libs)} libraries, {len(findings)} finding(s)")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
