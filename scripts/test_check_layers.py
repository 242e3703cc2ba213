#!/usr/bin/env python3
"""The layer check's refusals, each on a small tree made for it (run by CTest)."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_layers.py")

# A tree shaped like ours: each folder a library with its DEPS, each source its includes.
LIBRARIES = {
    "platform": ("tambourelle_platform", []),
    "util": ("tambourelle_util", ["tambourelle_platform"]),
    "pictures": ("tambourelle_pictures", ["tambourelle_util"]),
    "controls": ("tambourelle_controls", ["tambourelle_pictures"]),
    "tags": ("tambourelle_tags", ["tambourelle_util"]),
    "tags/forms": ("tambourelle_tags_forms", ["tambourelle_tags", "tambourelle_controls"]),
    "sound": ("tambourelle_sound", ["tambourelle_tags"]),
}
SOURCES = {
    "platform/forms/Form.cpp": [],
    "platform/forms/Form.h": [],
    "util/libIni.cpp": ["platform/forms/Form.h"],
    "pictures/libImg.cpp": ["util/libIni.h"],
    "controls/Button.cpp": ["pictures/libImg.h"],
    "tags/id3.cpp": ["util/libIni.h"],
    "tags/forms/xTAG.cpp": ["tags/id3.h", "controls/Button.h", "platform/forms/Form.h"],
    "sound/DxSound.cpp": ["tags/id3.h"],
    "tests/tags/forms/TagEditorTest.cpp": ["tags/forms/xTAG.h", "controls/Button.h"],
    "tests/tags/Id3Test.cpp": ["tags/id3.h", "platform/forms/Form.h"],
}


def findings(extra_sources=None, libraries=None):
    with tempfile.TemporaryDirectory() as root:
        libs = dict(LIBRARIES, **(libraries or {}))
        for folder, (name, deps) in libs.items():
            os.makedirs(os.path.join(root, folder), exist_ok=True)
            excludes = " ".join(f'"/{f}/"' for f in libs if f.startswith(folder + "/"))
            with open(os.path.join(root, folder, "CMakeLists.txt"), "w") as f:
                f.write(f"tambourelle_library({name} DEPS {' '.join(deps)}"
                        f"{' EXCLUDE ' + excludes if excludes else ''})\n")
        for path, includes in dict(SOURCES, **(extra_sources or {})).items():
            os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
            with open(os.path.join(root, path), "w") as f:
                f.writelines(f'#include "{i}"\n' for i in includes)
        run = subprocess.run([sys.executable, SCRIPT, root], capture_output=True, text=True)
        lines = run.stdout.splitlines()[:-1]
        assert (run.returncode != 0) == bool(lines), run.stdout
        return lines


class LayerCheckTest(unittest.TestCase):
    def test_a_tree_in_order_passes(self):
        self.assertEqual(findings(), [])

    def test_a_component_includes_no_window_code(self):
        for header in ["controls/Button.h", "platform/forms/Form.h", "util/xMessageBox.h",
                       "util/DirDialog.h"]:
            with self.subTest(header=header):
                lines = findings({"tags/mpeg.cpp": [header]},
                                 {"tags": ("tambourelle_tags", ["tambourelle_util", "tambourelle_controls"])}
                                 if header.startswith("controls") else None)
                self.assertTrue(any("tags/mpeg.cpp:1" in l and "no window code" in l for l in lines), lines)

    def test_a_library_includes_nothing_above_it(self):
        lines = findings({"tags/id3v2.cpp": ["sound/DxSound.h"]},
                         {"tags": ("tambourelle_tags", ["tambourelle_util", "tambourelle_sound"]),
                          "sound": ("tambourelle_sound", ["tambourelle_tags"])})
        self.assertTrue(any("tags/id3v2.cpp:1" in l and "not beneath tags" in l for l in lines), lines)

    def test_a_window_library_may_not_include_a_higher_subsystem(self):
        lines = findings({"tags/forms/xDetails.cpp": ["sound/DxSound.h"]},
                         {"tags/forms": ("tambourelle_tags_forms",
                                         ["tambourelle_tags", "tambourelle_controls", "tambourelle_sound"])})
        self.assertTrue(any("tags/forms/xDetails.cpp:1" in l for l in lines), lines)

    def test_nothing_includes_the_program(self):
        lines = findings({"sound/Engine.cpp": ["app/MainForm.h"], "app/MainForm.cpp": []},
                         {"app": ("tambourelle_app", ["tambourelle_sound"])})
        self.assertTrue(any("sound/Engine.cpp:1" in l and "program" in l for l in lines), lines)

    def test_every_library_has_a_place_in_the_order(self):
        lines = findings({"jacket/Layout.cpp": ["util/libIni.h"]},
                         {"jacket": ("tambourelle_jacket", ["tambourelle_util"])})
        self.assertTrue(any("tambourelle_jacket has no place in the order" in l for l in lines), lines)

    def test_dependencies_match_the_includes(self):
        unlinked = findings({"sound/Meter.cpp": ["pictures/libImg.h"]})
        self.assertTrue(any("does not link tambourelle_pictures" in l for l in unlinked), unlinked)
        unused = findings(None, {"sound": ("tambourelle_sound", ["tambourelle_tags", "tambourelle_pictures"])})
        self.assertTrue(any("links tambourelle_pictures but includes nothing" in l for l in unused), unused)

    def test_tests_follow_their_library(self):
        lines = findings({"tests/tags/MpegTest.cpp": ["controls/Button.h"]})
        self.assertTrue(any("tests/tags/MpegTest.cpp:1" in l for l in lines), lines)
        self.assertFalse(any("TagEditorTest" in l or "Id3Test" in l for l in lines), lines)


if __name__ == "__main__":
    unittest.main()
