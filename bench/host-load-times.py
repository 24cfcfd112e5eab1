#!/usr/bin/env python3
"""Whole-process timings of a JNG load through the host program, beside two
peer programs on the same file: jngfloor (libjpeg decoding the colour stream
into one RGBA buffer, the least a JNG load can do) and jnglibmng (libmng
reading the file onto an RGBA canvas). scripts/bench-host.sh makes the files
and builds the programs, then runs this.

For each file it first checks from the chunks that the file is of the kind
its name promises (alpha depth, alpha coding, PNG row filters), then runs the
three commands in rounds, each round every command once and in a rotated
order, so that a drift in the machine's speed falls on all three alike;
hyperfine times the runs where it is installed, a loop of this script's own
otherwise. It prints the median times, the ratios of the medians, and each
program's peak memory (the median of a few runs of /usr/bin/time).

Usage: bench/host-load-times.py --bin DIR --rounds N FILE...
"""
import argparse
import collections
import json
import os
import shlex
import shutil
import statistics
import struct
import subprocess
import sys
import tempfile
import time
import zlib

JNG_SIGNATURE = b"\x8bJNG\r\n\x1a\n"
FILTERS = ["None", "Sub", "Up", "Average", "Paeth"]

# file name -> (what it holds, alpha depth, alpha compression or None, JDAA)
KINDS = {
    "colour.jng": ("colour only", 0, None, False),
    "alpha8.jng": ("8-bit deflated alpha", 8, 0, False),
    "alpha16.jng": ("16-bit deflated alpha", 16, 0, False),
    "alphajpeg.jng": ("JPEG alpha", 8, 8, True),
}


def chunks(data):
    """(type, body) of every chunk of a JNG file."""
    if not data.startswith(JNG_SIGNATURE):
        raise ValueError("not a JNG file")
    at = len(JNG_SIGNATURE)
    while at + 12 <= len(data):
        length, kind = struct.unpack(">I4s", data[at:at + 8])
        if length > len(data) - at - 12:
            raise ValueError("chunk %s runs past the end" % kind)
        yield kind.decode("latin-1"), data[at + 8:at + 8 + length]
        at += 12 + length


def describe(path):
    """Checks that path holds what its name promises; one line about it."""
    what, depth, compression, jdaa = KINDS[os.path.basename(path)]
    data = open(path, "rb").read()
    header, idat, types = None, b"", collections.Counter()
    for kind, body in chunks(data):
        types[kind] += 1
        if kind == "JHDR":
            header = struct.unpack(">IIBBBBBBBB", body)
        if kind == "IDAT":
            idat += body
    if header is None:
        raise ValueError("%s: no JHDR" % path)
    width, height, _, _, _, _, alpha_depth, alpha_compression = header[:8]
    problems = []
    if alpha_depth != depth:
        problems.append("alpha depth %d, not %d" % (alpha_depth, depth))
    if compression is not None and alpha_compression != compression:
        problems.append("alpha compression %d, not %d" % (alpha_compression, compression))
    if jdaa != ("JDAA" in types) or (compression == 0) != bool(idat):
        problems.append("alpha chunks %s" % dict(types))
    line = "%s: %ux%u, %s" % (path, width, height, what)
    if idat and not problems:
        rows = zlib.decompress(idat)
        stride = len(rows) // height
        used = collections.Counter(rows[y * stride] for y in range(height))
        if used[4] == 0:
            problems.append("no Paeth rows")
        line += ", rows " + ", ".join("%s %.0f%%" % (FILTERS[f] if f < 5 else f, 100.0 * n / height)
                                      for f, n in used.most_common())
    if problems:
        raise ValueError("%s is not the %s file it should be: %s" % (path, what, "; ".join(problems)))
    return line


def hyperfine_round(commands, warmup):
    """One run of each command (after warmup unmeasured ones): seconds each."""
    with tempfile.NamedTemporaryFile(suffix=".json") as report:
        run = subprocess.run(["hyperfine", "-N", "--style", "none", "--runs", "1", "--warmup", str(warmup),
                              "--export-json", report.name] + [shlex.join(c) for c in commands],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            raise ValueError("hyperfine failed: " + run.stderr.strip())
        results = json.load(open(report.name))["results"]
    return [r["times"][0] for r in results]


def own_round(commands, warmup):
    times = []
    for command in commands:
        for _ in range(warmup):
            subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        start = time.perf_counter()
        subprocess.run(command, check=True, stdout=subprocess.DEVNULL)
        times.append(time.perf_counter() - start)
    return times


def timings(commands, rounds):
    """Each command's times over rounds, the order rotated every round."""
    timer = hyperfine_round if shutil.which("hyperfine") else own_round
    found = [[] for _ in commands]
    for r in range(rounds):
        order = [(r + i) % len(commands) for i in range(len(commands))]
        for index, seconds in zip(order, timer([commands[i] for i in order], 1 if r == 0 else 0)):
            found[index].append(seconds)
    return found


def peak_memory_mib(command, runs=3):
    """The median of the largest resident size over a few runs."""
    peaks = []
    with tempfile.NamedTemporaryFile() as out:
        for _ in range(runs):
            subprocess.run(["/usr/bin/time", "-f", "%M", "-o", out.name] + command, check=True,
                           stdout=subprocess.DEVNULL)
            peaks.append(int(open(out.name).read().split()[-1]) / 1024.0)
    return statistics.median(peaks)


def main(arguments):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--bin", required=True, help="folder of mayahost, jngfloor and jnglibmng")
    parser.add_argument("--rounds", type=int, default=10)
    parser.add_argument("files", nargs="+")
    options = parser.parse_args(arguments)
    programs = {
        "mayahost": [os.path.join(options.bin, "mayahost"), "load"],
        "floor": [os.path.join(options.bin, "jngfloor")],
        "libmng": [os.path.join(options.bin, "jnglibmng")],
    }
    for path in options.files:
        print(describe(path))
    print("timing with %s, %d rounds; mayahost loads each file through the plug-in and writes nothing"
          % ("hyperfine" if shutil.which("hyperfine") else "a loop of its own", options.rounds))
    print()
    print("%-22s %9s %9s %9s %7s %7s   %s" % ("file", "host ms", "floor ms", "libmng ms", "/floor", "/libmng",
                                              "peak MiB host floor libmng  host/floor"))
    for path in options.files:
        commands = [command + [path] for command in programs.values()]
        medians = [statistics.median(t) * 1000 for t in timings(commands, options.rounds)]
        peaks = [peak_memory_mib(command) for command in commands]
        print("%-22s %9.1f %9.1f %9.1f %7.2f %7.2f   %13.0f %5.0f %6.0f  %10.2f"
              % (KINDS[os.path.basename(path)][0], medians[0], medians[1], medians[2],
                 medians[0] / medians[1], medians[0] / medians[2], peaks[0], peaks[1], peaks[2],
                 peaks[0] / peaks[1]))
        sys.stdout.flush()
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (ValueError, subprocess.CalledProcessError) as error:
        sys.exit("host-load-times: %s" % error)
