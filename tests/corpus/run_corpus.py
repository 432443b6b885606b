#!/usr/bin/env python3
"""Converts every mutant of a corpus (make_corpus.py) and checks what a
damaged file may and may not do to a conversion.

For each mutant, `mdbtokvt-cli convert MUTANT OUTDIR --edition N` runs under
`timeout 60` with OUTDIR holding the table files of an earlier conversion and
TMPDIR a folder of its own. Allowed: exit status 0 with three table files that
`mdbtokvt-cli verify` accepts, or exit status 1 with "Error <number>: ..." on
stderr and OUTDIR as it was. Never allowed: death by a signal, a hang, another
exit status, an error without a number, OUTDIR changed by a failure, a file
left in TMPDIR or OUTDIR, the mutant itself changed. A name that verify finds
without its record (a group member no receiver has) is noted rather than
counted: a changed byte in a name or key makes one legitimately.

A success is "same" when its files equal those converted from the intact
origin, else "different". A different success from a file cut at a page
boundary is always wrong data (pages are missing); from changed bytes it may
be the changed data itself. Exit status 1 when any rule was broken or a cut
file gave different data.
"""

import argparse
import collections
import concurrent.futures
import hashlib
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
FIXTURES = os.path.join(HERE, "..", "data", "fixtures")
TABLE_FILES = ["TERMTAB.KVT", "USERTAB.KVT", "GROUPTAB.KVT"]
TIMEOUT_SECONDS = 60
# Every this-many-th mutant is converted for edition 1 (500 members per group).
EDITION_1_EVERY = 5
OLDER_FILES_SOURCE = ("long-names.abk", 1)
REFERENCE_PROBLEM = re.compile(r"^[A-Z]+\.KVT record \d+: ")
NUMBERED_ERROR = re.compile(r"^Error (\d+): .+", re.MULTILINE)
OUTCOMES = ["ok same", "ok different", "numbered error", "signal", "hang", "violations"]


def sha256(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


def folder_state(folder):
    """File name -> checksum, for every entry of folder."""
    state = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        state[name] = sha256(path) if os.path.isfile(path) else "<not a file>"
    return state


def convert(cli, source, outdir, edition, tmpdir):
    env = dict(os.environ, TMPDIR=tmpdir)
    command = ["timeout", "-k", "5", str(TIMEOUT_SECONDS), cli, "convert", source, outdir,
               "--edition", str(edition)]
    start = time.monotonic()
    run = subprocess.run(command, env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    return run, time.monotonic() - start


def verify(cli, outdir):
    """What `mdbtokvt-cli verify` finds wrong with outdir, as two sets of
    lines: problems of the files themselves (header, length, record kind)
    and names one record gives that no record of the other file has."""
    run = subprocess.run([cli, "verify", outdir], stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    lines = run.stdout.decode("utf-8", "replace").splitlines()
    if run.returncode == 0:
        return set(), set()
    if run.returncode != 1:
        return {"verify exit status %d" % run.returncode}, set()
    problems = lines[:-1]  # the last line sums them up
    references = {line for line in problems if REFERENCE_PROBLEM.match(line)}
    return set(problems) - references, references


def baseline(cli, fixture, edition, work):
    """The intact file's conversion: its table files' checksums and what
    verify says about them, or None when it fails."""
    outdir = tempfile.mkdtemp(dir=work, prefix="baseline-")
    run, _ = convert(cli, fixture, outdir, edition, work)
    known = (folder_state(outdir), verify(cli, outdir)) if run.returncode == 0 else None
    shutil.rmtree(outdir)
    return known


class Result:
    def __init__(self, name, kind, origin, edition):
        self.name, self.kind, self.origin, self.edition = name, kind, origin, edition
        self.outcome = None
        self.violations = []
        self.seconds = 0.0
        self.error = ""
        self.message = ""
        self.new_references = []


def check_mutant(args, line, index, older, baselines):
    name, kind, origin = line[0], line[1], line[2]
    edition = 1 if index % EDITION_1_EVERY == EDITION_1_EVERY - 1 else 0
    result = Result(name, kind, origin, edition)
    mutant = os.path.join(args.corpus, name)
    work = tempfile.mkdtemp(dir=args.work, prefix="run-")
    outdir, tmpdir = os.path.join(work, "out"), os.path.join(work, "tmp")
    os.mkdir(outdir)
    os.mkdir(tmpdir)
    for table in TABLE_FILES:
        shutil.copy(os.path.join(args.older, table), outdir)
    before = sha256(mutant)

    run, result.seconds = convert(args.cli, mutant, outdir, edition, tmpdir)
    status = run.returncode
    stderr = run.stderr.decode("utf-8", "replace")
    after = folder_state(outdir)
    if status == 124 or (status in (137, -9) and result.seconds >= TIMEOUT_SECONDS):
        result.outcome = "hang"
        result.error = "no end within %d s" % TIMEOUT_SECONDS
    elif status < 0 or status > 128:
        result.outcome = "signal"
        result.error = "signal %d" % (-status if status < 0 else status - 128)
    elif status == 1:
        found = NUMBERED_ERROR.search(stderr)
        if found:
            result.outcome = "numbered error"
            result.error = found.group(1)
            result.message = found.group(0)
        else:
            result.violations.append("failure without a numbered error: %r" % stderr[:200])
        if after != older:
            result.violations.append("output folder changed by a failure: %s" % sorted(after))
    elif status == 0:
        if sorted(after) != sorted(TABLE_FILES):
            result.violations.append("output folder holds %s" % sorted(after))
        known, (_, known_references) = baselines.get((origin, edition)) or (None, (set(), set()))
        broken, references = verify(args.cli, outdir)
        if broken:
            result.violations.append("verify rejects the files: %s" % sorted(broken)[:3])
        result.outcome = "ok same" if known == after else "ok different"
        # A changed byte in a name or a key can leave a group member or a
        # receiver's service without its record; the intact nulls.abk does
        # that itself. Noted, not a broken rule.
        result.new_references = sorted(references - known_references)
    else:
        result.violations.append("exit status %d: %r" % (status, stderr[:200]))
    left = os.listdir(tmpdir)
    if left:
        result.violations.append("left in TMPDIR: %s" % sorted(left))
    if sha256(mutant) != before:
        result.violations.append("the source file was changed")
    if result.violations:
        result.outcome = "violations"
    shutil.rmtree(work, ignore_errors=True)
    return result


def select(lines, count, seed):
    """count mutants taken in turn from each class, in a fixed random order."""
    if count is None or count >= len(lines):
        return lines
    by_class = collections.OrderedDict()
    for line in lines:
        by_class.setdefault(line[1], []).append(line)
    rng = random.Random(seed)
    for members in by_class.values():
        rng.shuffle(members)
    chosen = []
    while len(chosen) < count:
        for members in by_class.values():
            if members and len(chosen) < count:
                chosen.append(members.pop())
    return sorted(chosen, key=lambda line: lines.index(line))


def print_table(results):
    classes = list(collections.OrderedDict.fromkeys(r.kind for r in results))
    counts = collections.defaultdict(collections.Counter)
    for r in results:
        counts[r.kind][r.outcome] += 1
        counts["total"][r.outcome] += 1
    width = max(len(c) for c in classes + ["total"])
    header = "%-*s %6s " % (width, "class", "count") + " ".join("%14s" % o for o in OUTCOMES)
    print(header)
    print("-" * len(header))
    for kind in classes + ["total"]:
        row = counts[kind]
        print("%-*s %6d " % (width, kind, sum(row.values())) +
              " ".join("%14d" % row[o] for o in OUTCOMES))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--cli", required=True)
    parser.add_argument("--corpus", required=True, help="folder made by make_corpus.py")
    parser.add_argument("--fixtures", default=FIXTURES)
    parser.add_argument("--count", type=int, help="check this many mutants, from every class")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--results", help="write one line per mutant to this file")
    args = parser.parse_args()
    args.cli = os.path.abspath(args.cli)

    with open(os.path.join(args.corpus, "manifest.tsv")) as f:
        lines = [line.rstrip("\n").split("\t") for line in f if line.strip()]
    lines = select(lines, args.count, args.seed)
    args.work = tempfile.mkdtemp(prefix="mdbtokvt-corpus-run-")
    try:
        args.older = os.path.join(args.work, "older")
        os.mkdir(args.older)
        source, edition = OLDER_FILES_SOURCE
        older_run, _ = convert(args.cli, os.path.join(args.fixtures, source), args.older, edition,
                               args.work)
        if older_run.returncode != 0:
            sys.exit("run_corpus.py: cannot convert %s: %s" % (source, older_run.stderr.decode()))
        older = folder_state(args.older)

        baselines = {}
        for index, line in enumerate(lines):
            edition = 1 if index % EDITION_1_EVERY == EDITION_1_EVERY - 1 else 0
            origin = line[2]
            if origin.startswith("none.") or (origin, edition) in baselines:
                continue
            baselines[(origin, edition)] = baseline(
                args.cli, os.path.join(args.fixtures, origin), edition, args.work)

        start = time.monotonic()
        with concurrent.futures.ThreadPoolExecutor(max_workers=args.jobs) as pool:
            results = list(pool.map(
                lambda item: check_mutant(args, item[1], item[0], older, baselines),
                enumerate(lines)))
        elapsed = time.monotonic() - start
    finally:
        shutil.rmtree(args.work, ignore_errors=True)

    if args.results:
        with open(args.results, "w") as out:
            for r in results:
                out.write("\t".join([r.name, r.kind, str(r.edition), r.outcome, "%.2f" % r.seconds,
                                      r.error, r.message or "; ".join(r.violations)]) + "\n")
    print_table(results)
    slowest = max(results, key=lambda r: r.seconds)
    print("\nmax wall time: %.2f s (%s, %s)" % (slowest.seconds, slowest.name, slowest.outcome))
    print("whole run: %.0f s for %d mutants, %d at a time" % (elapsed, len(results), args.jobs))
    errors = collections.Counter(r.error for r in results if r.outcome == "numbered error")
    print("errors: " + ", ".join("%s x%d" % e for e in sorted(errors.items())))

    silent = [r for r in results if r.kind == "cut-page" and r.outcome == "ok different"]
    broken = [r for r in results if r.outcome in ("signal", "hang", "violations")]
    for r in broken:
        print("BROKEN %s (edition %d): %s" % (r.name, r.edition,
                                               "; ".join(r.violations) or r.error))
    for r in silent:
        print("SILENT %s (edition %d): a cut file converted with different data" %
              (r.name, r.edition))
    for r in results:
        if r.new_references:
            print("NOTE %s (edition %d): %s, new: %s" % (r.name, r.edition, r.outcome,
                                                         r.new_references[0]))
    slow = sorted((r for r in results if r.seconds > 5), key=lambda r: -r.seconds)
    for r in slow:
        print("SLOW %s: %.1f s, %s %s" % (r.name, r.seconds, r.outcome, r.error))
    return 1 if broken or silent else 0


if __name__ == "__main__":
    sys.exit(main())
