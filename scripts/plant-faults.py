#!/usr/bin/env python3
"""Plants each fault of scripts/planted-faults.txt, one at a time, in a clone of the committed
tree, builds it and runs the test suite: a fault is caught when a test fails. Prints which tests
caught each fault and the share caught.

    scripts/plant-faults.py [--work DIR] [--only TEXT]... [--keep]

The clone and its build stay in DIR (default /tmp/metrova-faults) so that a second run builds
only what a fault touches. Needs what scripts/test.sh needs."""

import argparse
import os
import re
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_faults(path):
    faults, fault = [], {}
    for line in open(path, encoding="utf-8"):
        line = line.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            if fault:
                faults.append(fault)
            fault = {}
            continue
        key, _, value = line.partition(" ") if line[0] in "-+" else line.partition(": ")
        fault[{"-": "old", "+": "new"}.get(key, key)] = value
    if fault:
        faults.append(fault)
    for fault in faults:
        missing = {"name", "file", "old", "new"} - fault.keys()
        if missing:
            sys.exit(f"{path}: a fault without {', '.join(sorted(missing))}: {fault}")
    return faults


def run(command, cwd, log):
    with open(log, "w") as output:
        return subprocess.run(command, cwd=cwd, stdout=output, stderr=subprocess.STDOUT).returncode


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--work", default="/tmp/metrova-faults")
    parser.add_argument("--only", action="append", default=[],
                        help="plant only the faults whose name has this (may be given again)")
    parser.add_argument("--faults", default=os.path.join(ROOT, "scripts", "planted-faults.txt"))
    parser.add_argument("--keep", action="store_true", help="reuse the clone as it is")
    arguments = parser.parse_args()

    faults = [f for f in read_faults(arguments.faults)
              if not arguments.only or any(text in f["name"] for text in arguments.only)]
    source = os.path.join(arguments.work, "metrova")
    build = os.path.join(arguments.work, "build")
    if not arguments.keep:
        subprocess.run(["rm", "-rf", source], check=True)
        subprocess.run(["git", "clone", "--quiet", ROOT, source], check=True)
    os.makedirs(build, exist_ok=True)
    jobs = str(os.cpu_count() or 2)
    if run(["cmake", "-S", source, "-B", build], ROOT, os.path.join(arguments.work, "cmake.log")):
        sys.exit("cmake failed: see cmake.log")
    # The tree as it is must build and pass, or nothing below means anything.
    if run(["cmake", "--build", build, "-j" + jobs], ROOT, os.path.join(arguments.work, "build.log")):
        sys.exit("the unchanged tree does not build: see build.log")
    if run(["ctest", "-j" + jobs], build, os.path.join(arguments.work, "ctest.log")):
        sys.exit("the unchanged tree fails its tests: see ctest.log")

    caught = 0
    for number, fault in enumerate(faults, 1):
        path = os.path.join(source, fault["file"])
        original = open(path, encoding="utf-8").read()
        if original.count(fault["old"]) != 1:
            sys.exit(f"{fault['name']}: the line is not in {fault['file']} exactly once")
        open(path, "w", encoding="utf-8").write(original.replace(fault["old"], fault["new"]))
        started = time.time()
        log = os.path.join(arguments.work, f"fault-{number:02d}.log")
        try:
            if run(["cmake", "--build", build, "-j" + jobs], ROOT, log):
                verdict = "does not build"
            else:
                run(["ctest", "-j" + jobs, "--timeout", "300"], build, log)
                failed = re.findall(r"\d+ - (\S+) \(", open(log, encoding="utf-8").read())
                verdict = "caught by " + ", ".join(failed) if failed else "NOT CAUGHT"
                caught += bool(failed)
        finally:
            open(path, "w", encoding="utf-8").write(original)
        print(f"{number:2d}. {fault['name']}: {verdict} ({time.time() - started:.0f} s)", flush=True)

    print(f"caught {caught} of {len(faults)} ({100.0 * caught / max(len(faults), 1):.0f}%)")
    # The clone goes back to the tree as committed, built.
    run(["cmake", "--build", build, "-j" + jobs], ROOT, os.path.join(arguments.work, "build.log"))


if __name__ == "__main__":
    main()
