#!/usr/bin/env python3
"""A repository served over TLS by the POSIX build's `korvaserver serve` on
the loopback, for the Windows build's tests: run by CTest on the build
machine, beside wine.

  served_repository.py compare POSIX_TOOLS WIN_TOOLS SOURCE WORK EMULATOR...
      korvapush.exe and korvadrop.exe, run by EMULATOR (wine) with a server
      home of their own that holds no repository, publish the example
      (SOURCE/examples), publish it again, delete HR and publish with a wrong
      password against a repository served from WORK; each run is paired
      with the same run against a local repository (the registered
      korvaserver.dll). Each pair must exit alike and log the same lines
      (time stamps masked, the served APS name read as the local one), and
      the POSIX `korvaserver dump` of the served repository must equal that
      of the local one. Exits 1 with the differences.
  served_repository.py start POSIX_TOOLS DIR
      Makes a new repository in DIR/home, serves it in the background and
      returns once it listens. DIR/served.txt then names, one per line as
      "NAME VALUE", its "aps" (127.0.0.1:PORT), the Administrator's
      "password", its "certificate" (a path relative to DIR) and the server's
      "pid".
  served_repository.py stop DIR
      Stops that server (SIGTERM) and waits for it to end.

The programs run with the caller's environment less its KORVA_ variables.
"""

import difflib
import os
import re
import select
import shutil
import signal
import subprocess
import sys

APS = "korva-served"
PASSWORD = "Pw-served-9fTq"
STAMP = re.compile(r"(Sun|Mon|Tue|Wed|Thu|Fri|Sat) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov"
                   r"|Dec) [ 123][0-9] [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4} - ")


class Failure(Exception):
    pass


def environment(**changes):
    env = {k: v for k, v in os.environ.items() if not k.startswith("KORVA_")}
    env.update(changes)
    return env


def run(command, **env):
    done = subprocess.run(command, env=environment(**env), stdin=subprocess.DEVNULL,
                          capture_output=True, text=True, check=False)
    return done.returncode, done.stdout, done.stderr


def checked(command, **env):
    rc, out, err = run(command, **env)
    if rc != 0:
        raise Failure("%s failed (%d):\n%s%s" % (" ".join(command), rc, out, err))
    return out


def windows(path):
    """A path as the programs under wine see it."""
    return "Z:" + path


def masked(log):
    """The log's lines without their time stamps, as tests/common/log_lines.h
    reads them."""
    return [line[27:] if STAMP.match(line) else "UNSTAMPED: " + line
            for line in log.splitlines()]


class Server:
    """`korvaserver serve` of the repository APS in HOME on a free loopback
    port; a detached one outlives this process."""

    def __init__(self, tools, home, log, detached=False):
        self.process = subprocess.Popen(
            [os.path.join(tools, "korvaserver"), "serve", "-apsname", APS, "-listen",
             "127.0.0.1:0"], env=environment(KORVA_SERVER_HOME=home), stdin=subprocess.DEVNULL,
            stdout=subprocess.PIPE, stderr=log, text=True, start_new_session=detached)
        serving = "Serving APS %s on " % APS
        for line in self.process.stdout:
            if line.startswith(serving):
                self.aps = line[len(serving):].strip()
                self.process.stdout.close()
                return
        self.process.wait()
        raise Failure("korvaserver serve did not start (%d); see %s" %
                      (self.process.returncode, log.name))

    def stop(self):
        self.process.terminate()
        self.process.wait()


def init(tools, home, *more):
    os.makedirs(home)
    checked([os.path.join(tools, "korvaserver"), "init", "-apsname", APS, *more],
            KORVA_SERVER_HOME=home)


def compare(posix_tools, win_tools, source, work, *emulator):
    shutil.rmtree(work, ignore_errors=True)
    local, served, client = (os.path.join(work, h) for h in ("local", "served", "client"))
    for home in (local, served):
        init(posix_tools, home)
    os.makedirs(client)
    examples = os.path.join(source, "examples")
    publish = ["-srcfile", windows(os.path.join(examples, "publish.xml")),
               "-srcpath", windows(os.path.join(examples, "reports"))]
    runs = [("korvapush", publish, 0), ("korvapush", publish, 0),
            ("korvadrop", ["-delfld", "HR"], 0),
            # 1603, as far as the exit status of wine's process carries it.
            ("korvapush", ["-apspass", "wrong"] + publish, 1603 & 0xFF)]
    differences = []
    with open(os.path.join(work, "serve.log"), "w") as log:
        server = Server(posix_tools, served, log)
    try:
        for number, (program, args, status) in enumerate(runs, 1):
            command = [*emulator, os.path.join(win_tools, program + ".exe"), "-apsname"]
            here = run(command + [APS] + args, KORVA_SERVER_HOME=windows(local))
            there = run(command + [server.aps] + args, KORVA_SERVER_HOME=windows(client),
                        KORVA_SERVER_CA=windows(os.path.join(served, APS + ".crt")))
            what = "run %d (%s %s)" % (number, program, " ".join(args))
            if (here[0], there[0]) != (status, status):
                differences.append("%s exited %d locally and %d served, not %d:\n%s%s" %
                                   (what, here[0], there[0], status, there[1], there[2]))
            lines = [line.replace(server.aps, APS) for line in masked(there[1])]
            if lines != masked(here[1]):
                differences.append("%s logs, served (+) and locally (-):\n%s" % (what, "\n".join(
                    difflib.unified_diff(masked(here[1]), lines, lineterm=""))))
    finally:
        server.stop()
    dumps = [checked([os.path.join(posix_tools, "korvaserver"), "dump", "-apsname", APS],
                     KORVA_SERVER_HOME=home) for home in (local, served)]
    if dumps[0] != dumps[1]:
        differences.append("The served repository dumps\n%s\nwhere the local one dumps\n%s" %
                           (dumps[1], dumps[0]))
    if differences:
        raise Failure("\n\n".join(differences))
    shutil.rmtree(work)
    print("%d runs through %s logged and stored as locally" % (len(runs), server.aps))


def read_served(d):
    with open(os.path.join(d, "served.txt")) as f:
        return dict(line.rstrip("\n").split(" ", 1) for line in f if line.strip())


def start(posix_tools, d):
    stop(d)
    shutil.rmtree(d, ignore_errors=True)
    home = os.path.join(d, "home")
    init(posix_tools, home, "-password", PASSWORD)
    with open(os.path.join(d, "serve.log"), "w") as log:
        server = Server(posix_tools, home, log, detached=True)
    lines = ["aps " + server.aps, "password " + PASSWORD,
             "certificate " + os.path.join("home", APS + ".crt"), "pid %d" % server.process.pid]
    with open(os.path.join(d, "served.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")
    print("Serving", d, "on", server.aps)


def stop(d):
    try:
        pid = int(read_served(d)["pid"])
    except (OSError, KeyError, ValueError):
        return
    os.remove(os.path.join(d, "served.txt"))
    try:
        process = os.pidfd_open(pid)
    except ProcessLookupError:
        return
    try:
        signal.pidfd_send_signal(process, signal.SIGTERM)
        # The descriptor reads once the process has ended.
        ended = bool(select.select([process], [], [], 60)[0])
    except ProcessLookupError:
        ended = True
    finally:
        os.close(process)
    if not ended:
        raise Failure("korvaserver serve (%d) did not stop" % pid)


if __name__ == "__main__":
    try:
        {"compare": compare, "start": start, "stop": stop}[sys.argv[1]](*sys.argv[2:])
    except Failure as failure:
        print(failure, file=sys.stderr)
        sys.exit(1)
