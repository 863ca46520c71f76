#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Runs clang-tidy on each source of a build's compile commands that matches a pattern,
unless that source passed before exactly as it is now.

"As it is now" is a digest of clang-tidy's version, the configuration, the compile
command and the source as the compiler preprocesses it: every header it includes, ours,
Qt's or the system's, is in that text. Passes are kept as empty files named by their
digest in BUILD/tidy-passed; a run keeps only the ones it used.

    tidy_unchanged.py BUILD PATTERN JOBS
Prints each finding; exits 1 when there is one. Run from the source folder."""

import hashlib
import json
import os
import re
import shlex
import subprocess
import sys
from concurrent.futures import ThreadPoolExecutor


def preprocessed(entry):
    args = entry["arguments"] if "arguments" in entry else shlex.split(entry["command"])
    command, skip = [], False
    for arg in args:
        if skip:
            skip = False
        elif arg == "-o":
            skip = True
        elif arg != "-c":
            command.append(arg)
    return subprocess.run(command + ["-E"], cwd=entry["directory"], capture_output=True, check=True).stdout


def main():
    build, pattern, jobs = sys.argv[1], re.compile(sys.argv[2]), int(sys.argv[3])
    passed_dir = os.path.join(build, "tidy-passed")
    os.makedirs(passed_dir, exist_ok=True)
    version = subprocess.run(["clang-tidy", "--version"], capture_output=True, check=True).stdout
    with open(".clang-tidy", "rb") as f:
        config = f.read()
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = [e for e in json.load(f) if pattern.search(e["file"])]

    def check(entry):
        digest = hashlib.sha256()
        for part in (version, config, json.dumps(entry, sort_keys=True).encode(), preprocessed(entry)):
            digest.update(hashlib.sha256(part).digest())
        stamp = os.path.join(passed_dir, digest.hexdigest())
        if os.path.exists(stamp):
            return stamp, True, ""
        run = subprocess.run(["clang-tidy", "-p", build, "--quiet", entry["file"]], capture_output=True, text=True)
        if run.returncode == 0:
            open(stamp, "w", encoding="utf-8").close()
        return stamp, False, "" if run.returncode == 0 else entry["file"] + ":\n" + run.stdout + run.stderr

    with ThreadPoolExecutor(max_workers=jobs) as pool:
        results = list(pool.map(check, entries))
    used = {stamp for stamp, _, _ in results}
    for name in os.listdir(passed_dir):
        if os.path.join(passed_dir, name) not in used:
            os.remove(os.path.join(passed_dir, name))
    findings = [text for _, _, text in results if text]
    for text in findings:
        print(text)
    unchanged = sum(1 for _, same, _ in results if same)
    print(f"{len(entries)} sources: {len(entries) - unchanged} checked, {unchanged} unchanged since they passed")
    return 1 if findings else 0


if __name__ == "__main__":
    sys.exit(main())
