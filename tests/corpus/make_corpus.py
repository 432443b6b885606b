#!/usr/bin/env python3
"""Derives damaged Access files from the fixtures, for tests/corpus/check.sh.

Every mutant is named <class>-<number>-<origin> and keeps its origin's file
name ending, so a mutant of an address book is still read as one. The
manifest (manifest.tsv in the output folder) has one line per mutant:
name, class, origin fixture path, what was done. The same seed always gives
the same files.

Classes:
  flip          1-16 random bytes changed in one page (not the header page)
  header        1-16 random bytes changed in the header page
  cut-page      cut at a page boundary (every boundary of a small file)
  cut-random    cut at a random offset
  zero-page     one page zeroed
  swap-pages    two pages swapped
  header-only   a valid header page, the rest random bytes
  random        random bytes only
  empty         an empty file
  text          a text file named .abk
"""

import argparse
import hashlib
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "data", "fixtures")
# The fixtures mutated: the paging databases of the end-to-end tests, and the
# files written by Access itself (which hold no paging tables, so their
# conversion fails, but their catalogs are read all the same).
ORIGINS = [
    "sample.mdb",
    "sample.abk",
    "cp1252.abk",
    "nulls.abk",
    "edited.mdb",
    "real/DateTestDatabase.mdb",
    "real/nwind.mdb",
    "real/overflowTestV2000.mdb",
    "real/testUnicodeCompV2003.mdb",
    "real/testV1997.mdb",
]
# A file of at most this many pages is cut at every page boundary.
SMALL_FILE_PAGES = 64
CUTS_OF_A_LARGE_FILE = 12
# Mutants per origin for the random classes.
PER_ORIGIN = {
    "flip": 40,
    "header": 6,
    "cut-random": 4,
    "zero-page": 10,
    "swap-pages": 8,
    "header-only": 1,
}


def page_size(data):
    """2048 for a Jet 3 header (version byte 0), else 4096."""
    return 2048 if len(data) > 0x14 and data[0x14] == 0 else 4096


def flip_bytes(rng, data, page, size):
    """Changes 1-16 bytes of one page to other values."""
    out = bytearray(data)
    count = rng.randint(1, 16)
    offsets = sorted(rng.sample(range(size), count))
    for offset in offsets:
        out[page * size + offset] ^= rng.randint(1, 255)
    return bytes(out), offsets


class Corpus:
    def __init__(self, folder, seed):
        self.folder = folder
        self.rng = random.Random(seed)
        self.lines = []
        self.numbers = {}

    def add(self, kind, origin, data, what):
        number = self.numbers.get(kind, 0) + 1
        self.numbers[kind] = number
        name = "%s-%03d-%s" % (kind, number, os.path.basename(origin))
        with open(os.path.join(self.folder, name), "wb") as out:
            out.write(data)
        self.lines.append("\t".join([name, kind, origin, what]))

    def mutate(self, origin, path):
        rng = self.rng
        with open(path, "rb") as f:
            data = f.read()
        size = page_size(data)
        pages = len(data) // size

        for _ in range(PER_ORIGIN["flip"]):
            page = rng.randrange(1, pages)
            mutant, offsets = flip_bytes(rng, data, page, size)
            self.add("flip", origin, mutant,
                     "page %d, offsets %s" % (page, ",".join(map(str, offsets))))
        for _ in range(PER_ORIGIN["header"]):
            mutant, offsets = flip_bytes(rng, data, 0, size)
            self.add("header", origin, mutant, "offsets %s" % ",".join(map(str, offsets)))

        if pages <= SMALL_FILE_PAGES:
            cuts = range(pages)
        else:
            cuts = sorted(rng.sample(range(pages), CUTS_OF_A_LARGE_FILE))
        for cut in cuts:
            self.add("cut-page", origin, data[:cut * size], "%d pages of %d" % (cut, pages))
        for _ in range(PER_ORIGIN["cut-random"]):
            cut = rng.randrange(1, len(data))
            self.add("cut-random", origin, data[:cut], "%d bytes of %d" % (cut, len(data)))

        for _ in range(PER_ORIGIN["zero-page"]):
            page = rng.randrange(1, pages)
            mutant = data[:page * size] + bytes(size) + data[(page + 1) * size:]
            self.add("zero-page", origin, mutant, "page %d" % page)
        for _ in range(PER_ORIGIN["swap-pages"]):
            a, b = sorted(rng.sample(range(1, pages), 2))
            mutant = (data[:a * size] + data[b * size:(b + 1) * size] +
                      data[(a + 1) * size:b * size] + data[a * size:(a + 1) * size] +
                      data[(b + 1) * size:])
            self.add("swap-pages", origin, mutant, "pages %d and %d" % (a, b))
        for _ in range(PER_ORIGIN["header-only"]):
            rest = rng.randbytes(len(data) - size)
            self.add("header-only", origin, data[:size] + rest, "%d random pages" % (pages - 1))

    def unstructured(self):
        rng = self.rng
        for length in [4096, 3 * 4096, 48 * 4096, 3 * 2048, 1000, 77777]:
            for ending in ["mdb", "abk"]:
                data = rng.randbytes(length)
                self.add("random", "none." + ending, data, "%d random bytes" % length)
        for ending in ["mdb", "abk"]:
            self.add("empty", "none." + ending, b"", "no bytes")
        text = b"Contacts\r\nName,Address\r\nAlice,555-0100\r\n" * 40
        self.add("text", "none.abk", text, "%d bytes of text" % len(text))
        self.add("text", "none.abk", b"Standard Jet DB\n" * 1024, "the format name as text")

    def write_manifest(self):
        with open(os.path.join(self.folder, "manifest.tsv"), "w") as out:
            out.write("\n".join(self.lines) + "\n")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("folder", help="output folder (created if missing)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--fixtures", default=FIXTURES)
    args = parser.parse_args()

    os.makedirs(args.folder, exist_ok=True)
    corpus = Corpus(args.folder, args.seed)
    for origin in ORIGINS:
        path = os.path.join(args.fixtures, origin)
        if os.path.exists(path):
            corpus.mutate(origin, path)
        else:
            print("make_corpus.py: %s is missing, skipped" % path, file=sys.stderr)
    corpus.unstructured()
    corpus.write_manifest()
    digest = hashlib.sha256("\n".join(corpus.lines).encode()).hexdigest()[:12]
    print("%d mutants in %s (manifest %s)" % (len(corpus.lines), args.folder, digest))


if __name__ == "__main__":
    main()
