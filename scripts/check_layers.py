#!/usr/bin/env python3
"""Fails when an include crosses the layers, or when a library's CMake dependencies do not
match what its sources include.

The order of the libraries is written once, below (ORDER): each library names the libraries
directly beneath it, and may include those and everything beneath them. Component libraries
(file formats, engines, devices, protocols) sit in a subsystem's folder; its windows sit in
the folder's forms/ library, above its own components and the controls. A component library
includes no window header (WINDOW_HEADERS). Nothing includes the program's folder (app/) but
the program itself, its tests and the benchmarks. For each library:
  - every folder its sources include must be beneath it in the order and reachable through its
    DEPS (directly or through the dependencies' own DEPS), and
  - every library it names in DEPS must be included by its sources (no dependency that
    nothing uses); a folder without sources yet is exempt.
Test folders tests/<folder>/ (and tests/<folder>/forms/) follow the rule of their library; the
other test folders (support, shared fixtures, fuzz targets) may not include the program's folder.
Usage: scripts/check_layers.py [root]   (exit status 1 on any finding)
"""
import os
import re
import sys

# Each library and the libraries directly beneath it, lowest first.
ORDER = {
    "platform": [],
    "net": ["platform"],
    "util": ["platform"],
    "resources": ["platform"],
    "bitmap64": ["util"],
    "pictures": ["bitmap64", "util"],
    "controls": ["pictures", "resources"],
    "tags": ["pictures"],
    "sound": ["tags"],
    "cd": ["sound", "net"],
    "visual": ["sound", "resources"],
    "labels": ["cd", "visual"],
    "tags_forms": ["tags", "controls"],
    "cd_forms": ["cd", "tags_forms"],
    "visual_forms": ["visual", "controls"],
    "labels_forms": ["labels", "cd_forms", "visual_forms"],
}
PROGRAM = "app"
# What only windows may include: the controls, and the window, dialog and message-box headers.
WINDOW_LIBRARIES = {"controls"}
WINDOW_HEADERS = {"platform/forms/Form.h", "platform/forms/Dialogs.h", "util/xMessageBox.h",
                  "util/DirDialog.h"}
COMPONENT_LIBRARIES = {"bitmap64", "pictures", "tags", "sound", "cd", "visual", "labels"}
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
    """(line number, library, header) of each include of a library's header."""
    with open(os.path.join(root, path), encoding="utf-8", errors="replace") as f:
        for number, line in enumerate(f, 1):
            m = INCLUDE.match(line)
            if m:
                lib = owner(m.group(1), folders)
                if lib:
                    yield number, lib, m.group(1)


def beneath(name):
    """Every library beneath `name` in the order (the program has them all)."""
    return set(ORDER) if name == PROGRAM else closure(name, ORDER)


def refusal(name, target, header):
    """Why sources of library `name` may not include `header` of library `target`, or None."""
    if target == name:
        return None
    if target == PROGRAM:
        return "nothing includes the program's folder"
    if name in COMPONENT_LIBRARIES and (target in WINDOW_LIBRARIES or header in WINDOW_HEADERS):
        return "a component library includes no window code"
    if target not in beneath(name):
        return f"{target} is not beneath {name} in the order"
    return None


def closure(name, deps):
    """Every library reachable from `name` through `deps` (name -> direct dependencies)."""
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
    findings = [f"{folders[n]}/CMakeLists.txt: {LIBRARY_PREFIX}{n} has no place in the order "
                f"(scripts/check_layers.py)" for n in sorted(libs) if n not in ORDER and n != PROGRAM]

    for name in sorted(libs):
        used = set()
        reachable = closure(name, deps) | {name}
        files = list(sources(root, folders[name], folders, name))
        for path in files:
            for number, target, header in included(root, path, folders):
                used.add(target)
                why = refusal(name, target, header)
                if why:
                    findings.append(f"{path}:{number}: {folders[name]}/ may not include {header} ({why})")
                elif target not in reachable:
                    findings.append(f"{path}:{number}: {folders[name]}/ includes {folders[target]}/ but "
                                    f"{LIBRARY_PREFIX}{name} does not link {LIBRARY_PREFIX}{target}")
        if any(p.endswith(".cpp") for p in files):
            for d in deps[name]:
                if d in libs and d not in used:
                    findings.append(f"{folders[name]}/CMakeLists.txt: {LIBRARY_PREFIX}{name} links "
                                    f"{LIBRARY_PREFIX}{d} but includes nothing of {folders[d]}/")

    # tests/<folder>/ is the test program of the library in <folder> (tests/tags/forms/ of
    # tags/forms/), which it links; a test may host a component in a window.
    tests = os.path.join(root, "tests")
    by_folder = {f: n for n, f in folders.items()}
    for dirpath, _, files in sorted(os.walk(tests)):
        rel = os.path.relpath(dirpath, tests).replace(os.sep, "/")
        parts = rel.split("/")
        lib = next((by_folder["/".join(parts[:i])] for i in range(len(parts), 0, -1)
                    if "/".join(parts[:i]) in by_folder), None)
        for f in sorted(files):
            if not f.endswith(SOURCE_EXTENSIONS):
                continue
            src = f"tests/{rel}/{f}"
            for number, target, header in included(root, src, folders):
                if lib is None:
                    if target == PROGRAM:
                        findings.append(f"{src}:{number}: tests/{rel}/ may not include {folders[target]}/ (layers)")
                    continue
                why = refusal(lib, target, None)
                if why:
                    findings.append(f"{src}:{number}: tests of {folders[lib]}/ may not include {header} ({why})")
                elif target not in closure(lib, deps) | {lib}:
                    findings.append(f"{src}:{number}: tests of {folders[lib]}/ include {folders[target]}/, which "
                                    f"{LIBRARY_PREFIX}{lib} does not link")

    for f in findings:
        print(f)
    print(f"check_layers: {len(libs)} libraries, {len(findings)} finding(s)")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
