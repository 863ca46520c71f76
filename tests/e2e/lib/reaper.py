# SPDX-FileCopyrightText: 2026 The Veldora developers <developers@veldora.org>
#
# SPDX-License-Identifier: GPL-3.0-or-later

"""Runs COMMAND as a child subreaper and writes "PID NAME STATUS" to FILE for every
process it reaps: a launcher (gio launch) starts the program and exits, and the program,
left to this process, is still reaped here, so its exit status can be read. Ends when no
child is left. Usage: reaper.py FILE COMMAND...
"""

import ctypes
import os
import sys

PR_SET_CHILD_SUBREAPER = 36


def name_of(pid):
    try:
        with open(f"/proc/{pid}/comm", encoding="utf-8") as comm:
            return comm.read().strip()
    except OSError:
        return "?"


def main():
    out, command = sys.argv[1], sys.argv[2:]
    if ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) != 0:
        sys.exit("reaper: prctl failed")
    child = os.fork()
    if child == 0:
        os.execvp(command[0], command)
    with open(out, "a", encoding="utf-8") as log:
        while True:
            try:
                # Looked at before it is reaped, while its name can still be read.
                info = os.waitid(os.P_ALL, 0, os.WEXITED | os.WNOWAIT)
            except ChildProcessError:
                return
            name = name_of(info.si_pid)
            _, status = os.waitpid(info.si_pid, 0)
            code = os.waitstatus_to_exitcode(status)
            log.write(f"{info.si_pid} {name} {code}\n")
            log.flush()


main()
