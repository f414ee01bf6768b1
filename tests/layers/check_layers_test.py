#!/usr/bin/env python3
"""The layer checker on small made-up trees under the real layer table
(src/layers.txt): each wrong include or namespace is reported with its file
and line and fails the check; a tree that keeps the order passes.
Run as: check_layers_test.py PATH/TO/check_layers.py"""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), "..", "..", "scripts", "check_layers.py")


LAYERS = os.path.join(os.path.dirname(os.path.abspath(CHECKER)), "..", "src", "layers.txt")


def make_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run_checker(files):
    with tempfile.TemporaryDirectory() as root:
        with open(LAYERS, encoding="utf-8") as f:
            make_tree(root, {"layers.txt": f.read(), **files})
        done = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return done.returncode, done.stdout


# A small tree that keeps every rule; the cases below add one fault each.
GOOD = {
    "base/endian.h": "#pragma once\n#include <cstdint>\nnamespace qvo::base {\nnamespace detail {\n}\n}\n",
    "platform/file_status.h": '#pragma once\n#include "base/endian.h"\nnamespace qvo::platform {\n}\n',
    "platform/posix/file_status.cpp": '#include "platform/file_status.h"\n#include <unistd.h>\n'
                                      "namespace qvo::platform {\nnamespace {\n}\n}\n",
    "codecs/lha/lh5.cpp": '#include "base/endian.h"\n#include <zlib.h>\nnamespace qvo::codecs::lha {\n}\n',
    "formats/lha/reader.cpp": '#include "codecs/lha/lh5.cpp"\n#include <lhasa.h>\n'
                              "namespace qvo::formats::lha::headers {\n}\n",
    "archivers/include/archiver_result.h": "#pragma once\nnamespace qvo::archivers {\n}\n",
    "archivers/unlha32/entry.cpp": '#include "formats/lha/reader.cpp"\n#include "archivers/include/archiver_result.h"\n'
                                   "namespace qvo::archivers::unlha32 {\n}\n",
    "backends/archive_lha.h": '#include "archivers/include/archiver_result.h"\n#include "platform/file_status.h"\n',
    "convert/run.cpp": '#include "backends/archive_lha.h"\n',
    # Naming another folder's class ahead of its use is no declaration of code.
    "ui/frmMain.cpp": '#include "convert/run.cpp"\n#include <QWidget>\n'
                      "namespace qvo::convert {\nclass Run;\nstruct Row;\n}\nnamespace qvo::ui {\n}\n",
    "cli/main.cpp": '#include "convert/run.cpp"\n',
}


class LayerCheck(unittest.TestCase):
    def assertCaught(self, files, *expected):
        tree = dict(GOOD)
        tree.update(files)
        code, out = run_checker(tree)
        self.assertEqual(code, 1, out)
        for text in expected:
            self.assertIn(text, out)

    def test_a_tree_in_order_passes(self):
        code, out = run_checker(GOOD)
        self.assertEqual((code, out), (0, ""))

    def test_upward_include_fails_with_file_and_line(self):
        self.assertCaught({"codecs/lha/lh5.cpp": '#include "base/endian.h"\n#include "formats/lha/reader.cpp"\n'},
                          "lh5.cpp:2: codecs/ may not include formats/")

    def test_headless_code_may_not_reach_the_windows_or_the_program_side(self):
        self.assertCaught({"convert/run.cpp": '#include "ui/frmMain.cpp"\n'}, "convert/ may not include ui/")
        self.assertCaught({"formats/lha/reader.cpp": '#include "backends/archive_lha.h"\n'},
                          "formats/ may not include backends/")
        self.assertCaught({"cli/main.cpp": '#include "ui/frmMain.cpp"\n'}, "cli/ may not include ui/")

    def test_the_library_interface_includes_nothing(self):
        self.assertCaught({"archivers/include/archiver_result.h": '#include "base/endian.h"\n'},
                          "archivers/include/ may not include base/")

    def test_qt_system_calls_and_libraries_stay_in_their_layers(self):
        self.assertCaught({"convert/run.cpp": "#include <QString>\n"}, "<QString> in convert/")
        self.assertCaught({"ui/frmMain.cpp": "#include <sys/stat.h>\n"}, "<sys/stat.h> in ui/")
        self.assertCaught({"codecs/lha/lh5.cpp": "#include <lhasa.h>\n"}, "<lhasa.h> in codecs/")

    def test_namespace_off_its_folder_fails_with_file_and_line(self):
        self.assertCaught({"codecs/lha/lh5.cpp": "#pragma once\nnamespace qvo::formats::lha {\n}\n"},
                          "lh5.cpp:2: namespace qvo::formats::lha in folder codecs/lha/ (qvo::codecs::lha expected)")
        # A subfolder is a namespace of its own, and the whole name counts.
        self.assertCaught({"formats/lha/reader.cpp": "namespace qvo::formats {\n}\n"},
                          "reader.cpp:1: namespace qvo::formats in folder formats/lha/")
        self.assertCaught({"formats/lha/reader.cpp": "namespace qvo::formats::lhasa {\n}\n"},
                          "reader.cpp:1: namespace qvo::formats::lhasa in folder formats/lha/")
        self.assertCaught({"base/endian.h": "namespace qvo {\nint x;\n}\n"}, "endian.h:1: namespace qvo in folder base/")
        # Only posix/ and include/ take their parent's namespace.
        self.assertCaught({"archivers/unlha32/entry.cpp": "namespace qvo::archivers {\n}\n"},
                          "entry.cpp:1: namespace qvo::archivers in folder archivers/unlha32/")
        # Code after forward declarations still belongs to the block.
        self.assertCaught({"ui/frmMain.cpp": "namespace qvo::convert {\nclass Run;\nint runs();\n}\n"},
                          "frmMain.cpp:1: namespace qvo::convert in folder ui/")

    def test_unknown_folders_and_missing_files_are_reported(self):
        self.assertCaught({"misc/helper.h": "#pragma once\n"}, "folder 'misc' is not in the layer table")
        self.assertCaught({"convert/run.cpp": '#include "convert/gone.h"\n'}, '"convert/gone.h" is not a path below src/')


if __name__ == "__main__":
    unittest.main()
