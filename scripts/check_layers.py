#!/usr/bin/env python3
"""Checks that includes in src/ flow downward through the layers and that
namespaces follow folders.

    scripts/check_layers.py [SRC_DIR]

Each folder of src/ is one layer (archivers/include, the libraries' C
interface, is one of its own).  A file may include its own layer and the
layers its line of SRC_DIR/layers.txt lists; system and library headers in
angle brackets are limited by SYSTEM_HEADERS.  A file in src/T/ declares
its code in namespace qvo::T, one in src/T/S/ in qvo::T::S (deeper
namespaces below that are its own affair); platform/posix/ implements
qvo::platform and archivers/include/ declares qvo::archivers.  Every
violation is printed as "file:line: message" and the exit status is 1; a
clean tree exits with 0.
"""
import os
import re
import sys

# Angle-bracket headers that only some layers may include: the windowing
# toolkit stays in the windows, each outside library with the layer that
# wraps it, and system calls behind the platform layer.  The extraction
# and creation layers and the format readers are the exception: they work
# on descriptors (openat, O_NOFOLLOW, pread) because resolving every member
# relative to an open folder is what keeps extraction inside it (and the
# source walk from following links out), and base holds the one descriptor
# wrapper they share.
_POSIX = re.compile(
    r"^(unistd|fcntl|dirent|dlfcn|pwd|grp|poll|signal|termios|utime|spawn|"
    r"sys/.*|linux/.*)\.h$")
SYSTEM_HEADERS = [
    (re.compile(r"^Q[A-Za-z]*$|^Qt"), {"ui", "app"}, "Qt belongs to the windows (ui/, app/)"),
    (re.compile(r"^lhasa\.h$"), {"formats"}, "lhasa is wrapped in formats/"),
    (re.compile(r"^mspack\.h$"), {"formats"}, "libmspack is wrapped in formats/"),
    (re.compile(r"^archive(_entry)?\.h$"), {"formats"}, "libarchive is wrapped in formats/"),
    (re.compile(r"^libdeflate\.h$"), {"codecs", "formats"},
     "compression libraries belong to codecs/ and formats/"),
    # identify checks ARJ header CRCs with zlib's CRC-32.
    (re.compile(r"^zlib\.h$"), {"codecs", "formats", "identify"},
     "zlib belongs to codecs/, formats/ and identify/ (CRC-32)"),
    (re.compile(r"^iconv\.h$"), {"text"}, "iconv belongs to text/"),
    (re.compile(r"^utf8proc\.h$"), {"text"}, "utf8proc belongs to text/"),
    (_POSIX, {"platform", "base", "extract", "create", "formats"},
     "system calls go through platform/"),
]

_INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def read_layers(path):
    """The layer table: {layer: set of the layers it may include}."""
    layers = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            words = line.split("#", 1)[0].split()
            if words:
                layers[words[0]] = set(words[1:])
    return layers


# Subfolders that implement their parent's interface rather than a
# namespace of their own.
NAMESPACE_OF_FOLDER = {"platform/posix": "qvo::platform", "archivers/include": "qvo::archivers"}

_NAMESPACE = re.compile(r"^[ \t]*namespace[ \t]+(qvo(?:::\w+)*)\s*\{([^{}]*\})?", re.M)
# A block that only names classes of another folder ahead of their use.
_FORWARD_DECLARATIONS = re.compile(r"^(\s*(class|struct)\s+\w+\s*;)+\s*\}$")


def expected_namespace(rel_path):
    """The namespace of a path relative to src/ ("formats/lha/x.h" -> "qvo::formats::lha")."""
    folders = rel_path.replace(os.sep, "/").split("/")[:-1][:2]
    return NAMESPACE_OF_FOLDER.get("/".join(folders), "::".join(["qvo"] + folders))


def namespace_problems(path, rel, text):
    folder = os.path.dirname(rel).replace(os.sep, "/")
    expected = expected_namespace(rel)
    problems = []
    for m in _NAMESPACE.finditer(text):
        declared, block = m.group(1), m.group(2)
        if declared == expected or declared.startswith(expected + "::"):
            continue
        if block and _FORWARD_DECLARATIONS.match(block):
            continue
        number = text.count("\n", 0, m.start()) + 1
        problems.append(f"{path}:{number}: namespace {declared} in folder {folder}/ ({expected} expected)")
    return problems


def layer_of(rel_path):
    """The layer of a path relative to src/ ("formats/lha/x.h" -> "formats")."""
    parts = rel_path.replace(os.sep, "/").split("/")
    if len(parts) >= 2 and parts[0] == "archivers" and parts[1] == "include":
        return "archivers/include"
    return parts[0]


def check(src_dir):
    may_include = read_layers(os.path.join(src_dir, "layers.txt"))
    problems = []
    for folder, _, names in sorted(os.walk(src_dir)):
        for name in sorted(names):
            if not name.endswith((".h", ".hpp", ".c", ".cpp")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, src_dir)
            layer = layer_of(rel)
            if layer not in may_include:
                problems.append(f"{path}:1: folder '{layer}' is not in the layer table")
                continue
            allowed = may_include[layer] | {layer}
            with open(path, encoding="utf-8", errors="replace") as f:
                text = f.read()
            problems += namespace_problems(path, rel, text)
            for number, line in enumerate(text.splitlines(), 1):
                m = _INCLUDE.match(line)
                if not m:
                    continue
                kind, target = m.groups()
                if kind == '"':
                    if not os.path.exists(os.path.join(src_dir, target)):
                        problems.append(f"{path}:{number}: \"{target}\" is not a path below src/")
                        continue
                    target_layer = layer_of(target)
                    if target_layer not in allowed:
                        problems.append(
                            f"{path}:{number}: {layer}/ may not include {target_layer}/ (\"{target}\")")
                else:
                    for pattern, layers, why in SYSTEM_HEADERS:
                        if pattern.search(target) and layer not in layers:
                            problems.append(f"{path}:{number}: <{target}> in {layer}/: {why}")
    return problems


def main(argv):
    src_dir = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src")
    problems = check(os.path.normpath(src_dir))
    for p in problems:
        print(p)
    if problems:
        print(f"check_layers: {len(problems)} include(s) or namespace(s) against the layer order", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
