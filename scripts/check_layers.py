#!/usr/bin/env python3
"""Checks that includes in src/ flow downward through the layers.

    scripts/check_layers.py [SRC_DIR]

Each folder of src/ is one layer (archivers/include, the libraries' C
interface, is one of its own).  A file may include its own layer and the
layers MAY_INCLUDE lists for it; system and library headers in angle
brackets are limited by SYSTEM_HEADERS.  Every violation is printed as
"file:line: message" and the exit status is 1; a clean tree exits with 0.
"""
import os
import re
import sys

# Who may include whom.  Two stacks share the bottom: the library side
# (base, platform, text, codecs, extract, formats, archivers) and the
# program side (base, platform, backends, settings, convert, core, ui, app);
# cli sits on convert.  archivers/include is the C interface between them.
# identify (which format a file holds, by its content) sits on both stacks:
# the back-ends pick a library with it and the LHA reader finds
# self-extractors with the same header test.
_LIBRARY_SIDE = ["base", "platform", "identify", "text", "codecs", "extract", "formats", "archivers"]
_PROGRAM_SIDE = ["base", "platform", "identify", "backends", "settings", "convert", "core", "ui", "app"]


def _below(stack, layer):
    return set(stack[: stack.index(layer)])


MAY_INCLUDE = {
    "base": set(),
    "platform": {"base"},
    "archivers/include": set(),
    "identify": {"base", "platform"},
    "text": _below(_LIBRARY_SIDE, "text"),
    "codecs": _below(_LIBRARY_SIDE, "codecs"),
    "extract": _below(_LIBRARY_SIDE, "extract") | {"archivers/include"},
    "formats": _below(_LIBRARY_SIDE, "formats") | {"archivers/include"},
    "archivers": _below(_LIBRARY_SIDE, "archivers") | {"archivers/include"},
    "backends": _below(_PROGRAM_SIDE, "backends") | {"archivers/include"},
    "settings": _below(_PROGRAM_SIDE, "settings"),
    # The run compares and reports member names as the writers store them
    # (composed to NFC, CP932 when asked): the same text functions.
    "convert": _below(_PROGRAM_SIDE, "convert") | {"text"},
    "core": _below(_PROGRAM_SIDE, "core") - {"convert"},
    "ui": _below(_PROGRAM_SIDE, "ui"),
    "app": _below(_PROGRAM_SIDE, "app"),
    "cli": _below(_PROGRAM_SIDE, "convert") | {"convert"},
}

# Angle-bracket headers that only some layers may include: the windowing
# toolkit stays in the windows, each outside library with the layer that
# wraps it, and system calls behind the platform layer.  The extraction
# layer and the format readers are the exception: they work on descriptors
# (openat, O_NOFOLLOW, pread) because resolving every member relative to an
# open folder is what keeps extraction inside it, and base holds the one
# descriptor wrapper they share.
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
    (_POSIX, {"platform", "base", "extract", "formats"},
     "system calls go through platform/"),
]

_INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')


def layer_of(rel_path):
    """The layer of a path relative to src/ ("formats/lha/x.h" -> "formats")."""
    parts = rel_path.replace(os.sep, "/").split("/")
    if len(parts) >= 2 and parts[0] == "archivers" and parts[1] == "include":
        return "archivers/include"
    return parts[0]


def check(src_dir):
    problems = []
    for folder, _, names in sorted(os.walk(src_dir)):
        for name in sorted(names):
            if not name.endswith((".h", ".hpp", ".c", ".cpp")):
                continue
            path = os.path.join(folder, name)
            rel = os.path.relpath(path, src_dir)
            layer = layer_of(rel)
            if layer not in MAY_INCLUDE:
                problems.append(f"{path}:1: folder '{layer}' is not in the layer table")
                continue
            allowed = MAY_INCLUDE[layer] | {layer}
            with open(path, encoding="utf-8", errors="replace") as f:
                for number, line in enumerate(f, 1):
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
        print(f"check_layers: {len(problems)} include(s) against the layer order", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
