#!/usr/bin/env python3
"""The layer checker on small made-up trees: each wrong include is reported
with its file and line and fails the check; a tree that keeps the order
passes.  Run as: check_layers_test.py PATH/TO/check_layers.py"""
import os
import subprocess
import sys
import tempfile
import unittest

CHECKER = sys.argv.pop(1) if len(sys.argv) > 1 else os.path.join(
    os.path.dirname(__file__), "..", "..", "scripts", "check_layers.py")


def make_tree(root, files):
    for path, text in files.items():
        full = os.path.join(root, path)
        os.makedirs(os.path.dirname(full), exist_ok=True)
        with open(full, "w", encoding="utf-8") as f:
            f.write(text)


def run_checker(files):
    with tempfile.TemporaryDirectory() as root:
        make_tree(root, files)
        done = subprocess.run([sys.executable, CHECKER, root], capture_output=True, text=True)
        return done.returncode, done.stdout


# A small tree that keeps every rule; the cases below add one fault each.
GOOD = {
    "base/endian.h": "#pragma once\n#include <cstdint>\n",
    "platform/file_status.h": '#pragma once\n#include "base/endian.h"\n',
    "platform/posix/file_status.cpp": '#include "platform/file_status.h"\n#include <unistd.h>\n',
    "codecs/lha/lh5.cpp": '#include "base/endian.h"\n#include <zlib.h>\n',
    "formats/lha/reader.cpp": '#include "codecs/lha/lh5.cpp"\n#include <lhasa.h>\n',
    "archivers/include/archiver_result.h": "#pragma once\n",
    "archivers/unlha32/entry.cpp": '#include "formats/lha/reader.cpp"\n#include "archivers/include/archiver_result.h"\n',
    "backends/archive_lha.h": '#include "archivers/include/archiver_result.h"\n#include "platform/file_status.h"\n',
    "convert/run.cpp": '#include "backends/archive_lha.h"\n',
    "ui/frmMain.cpp": '#include "convert/run.cpp"\n#include <QWidget>\n',
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

    def test_unknown_folders_and_missing_files_are_reported(self):
        self.assertCaught({"misc/helper.h": "#pragma once\n"}, "folder 'misc' is not in the layer table")
        self.assertCaught({"convert/run.cpp": '#include "convert/gone.h"\n'}, '"convert/gone.h" is not a path below src/')


if __name__ == "__main__":
    unittest.main()
