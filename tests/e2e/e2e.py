#!/usr/bin/env python3
"""End-to-end scenarios: the shipped cartfw (Linux) or cartfw.exe (under Wine)
against cartfw-emu mounted as a real FUSE drive, through real system calls.

Each scenario runs in a private mount namespace, where a tmpfs covers /media
so that the machine's own /media is untouched, and the emulator is mounted at
/media/cartfw. The tool runs with standard input closed. Its transcript must
equal the reviewed one in expected/ (for Wine: after CR LF -> LF, which is how
the C runtime's text mode writes a line feed and looks the same on a console).

Usage: e2e.py --platform native|wine --build DIR --scenario NAME [--write-expected]
A failing scenario keeps its transcripts and the emulator's log in
DIR/e2e/<platform>/<scenario>/ and prints that path.
"""
import argparse
import json
import os
import shutil
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
MOUNT = "/media/cartfw"
RUN_TIMEOUT = 180  # seconds; a whole update sleeps 12 s


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def in_private_namespace():
    return os.environ.get("CARTFW_E2E_NS") == "1"


def reexec_in_namespace():
    if not os.path.exists("/dev/fuse"):
        sys.exit("e2e: /dev/fuse is missing: FUSE is needed for the end-to-end tests")
    if shutil.which("unshare") is None or shutil.which("fusermount3") is None:
        sys.exit("e2e: unshare and fusermount3 are needed (util-linux, fuse3)")
    env = dict(os.environ, CARTFW_E2E_NS="1")
    cmd = ["unshare", "--mount", "--propagation", "private", sys.executable] + sys.argv
    sys.exit(subprocess.call(cmd, env=env))


class Drive:
    """cartfw-emu mounted at MOUNT for the length of a with-block."""

    def __init__(self, ctx, *options):
        self.ctx = ctx
        self.options = list(options)

    def __enter__(self):
        os.makedirs(MOUNT, exist_ok=True)
        cmd = [self.ctx.emu, "--state=" + self.ctx.state, "--log=" + self.ctx.log] + self.options
        subprocess.run(cmd + [MOUNT], check=True)
        for _ in range(100):
            if os.path.exists(os.path.join(MOUNT, "K-PORTAL.DMP")):
                return self
            time.sleep(0.05)
        raise Failure("cartfw-emu did not mount")

    def __exit__(self, *exc):
        subprocess.run(["fusermount3", "-u", MOUNT], check=False)
        for _ in range(100):
            if not os.path.ismount(MOUNT):
                break
            time.sleep(0.05)
        return False


class Context:
    def __init__(self, args):
        self.platform = args.platform
        self.build = os.path.abspath(args.build)
        self.scenario = args.scenario
        self.write_expected = args.write_expected
        self.emu = os.path.join(self.build, "emulator", "cartfw-emu")
        self.work = os.path.join(self.build, "e2e", self.platform, self.scenario)
        shutil.rmtree(self.work, ignore_errors=True)
        os.makedirs(self.work)
        self.state = os.path.join(self.work, "device.state")
        self.log = os.path.join(self.work, "emulator.log")
        self.runs = 0
        self.prefix = os.path.join(self.build, "e2e", "wineprefix")

    def run_tool(self):
        """Runs the tool once; returns its transcript with line ends as a console shows them."""
        self.runs += 1
        env = dict(os.environ)
        if self.platform == "native":
            cmd = [os.path.join(self.build, "cartfw")]
        else:
            exe = os.environ.get("CARTFW_EXE", os.path.join(self.build, "..", "mingw", "cartfw.exe"))
            check(os.path.exists(exe), "no cartfw.exe at " + exe)
            env.update(WINEPREFIX=self.prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
            link = os.path.join(self.prefix, "dosdevices", "d:")
            if os.path.lexists(link):
                os.remove(link)
            os.symlink(MOUNT, link)
            cmd = ["wine", exe]
        with open(os.path.join(self.work, "transcript-%d.txt" % self.runs), "wb") as out:
            result = subprocess.run(cmd, stdin=None,
                                    stdout=out, stderr=subprocess.PIPE, timeout=RUN_TIMEOUT,
                                    env=env, preexec_fn=lambda: os.close(0))
        if self.platform == "wine":
            subprocess.run(["wineserver", "-k"], env=env, check=False)
        check(result.returncode == 0, "exit code %d" % result.returncode)
        with open(os.path.join(self.work, "transcript-%d.txt" % self.runs), "rb") as f:
            text = f.read().decode("latin-1")
        return text.replace("\r\n", "\n") if self.platform == "wine" else text

    def expect(self, transcript, name):
        path = os.path.join(HERE, "expected", name + ".txt")
        if self.write_expected and self.platform == "native":
            with open(path, "w", newline="") as f:
                f.write(transcript)
            return
        with open(path, newline="") as f:
            want = f.read()
        if self.platform == "wine":
            # A CR right before an LF shows the same on a console either way.
            want = want.replace("\r\n", "\n")
        check(transcript == want, "run %d differs from expected/%s.txt:\n--- got\n%r\n--- want\n%r"
              % (self.runs, name, transcript, want))

    def device_state(self):
        state = {}
        with open(self.state) as f:
            for line in f:
                key, _, value = line.strip().partition(" ")
                if key in ("flash", "boot_flag"):
                    state[key] = bytes.fromhex(value)
        return state

    def image(self):
        with open(os.path.join(HERE, "..", "..", "data", "sample", "image.bin"), "rb") as f:
            return f.read()

    def commands(self):
        out = []
        with open(self.log) as f:
            for line in f:
                event = json.loads(line)
                if event["event"] == "command":
                    out.append((event["target"], event["operation"]))
        return out


def full_update(ctx):
    with Drive(ctx, "--revision=302"):
        ctx.expect(ctx.run_tool(), "full_update")
        check(ctx.device_state()["flash"] == ctx.image(), "flash is not the image")
        ctx.expect(ctx.run_tool(), "current_305")
    reboots = ctx.commands().count((0xF0, 0xFF))
    check(reboots == 2, "expected two reboots, saw %d" % reboots)


def bootloader(ctx):
    with Drive(ctx, "--bootloader"):
        ctx.expect(ctx.run_tool(), "bootloader")
    check(ctx.device_state()["flash"] == ctx.image(), "flash is not the image")


def unsupported(ctx):
    with Drive(ctx, "--family=GB"):
        ctx.expect(ctx.run_tool(), "unsupported")
    check(ctx.commands() == [(0xF0, 0x03), (0x03, 0x01)], "GB initialisation: %r" % ctx.commands())


def no_device(ctx):
    ctx.expect(ctx.run_tool(), "no_device")


def never_verify(ctx):
    with Drive(ctx, "--bootloader", "--never-verify=7"):
        ctx.expect(ctx.run_tool(), "never_verify")
    state = ctx.device_state()
    check(state["flash"][:1024] == b"\xff" * 1024, "block 0 was not erased again")
    check(state["boot_flag"] == b"\xff" * 4, "boot flag changed")
    check((0xF0, 0xFF) not in ctx.commands(), "rebooted after a failure")


def vanish_replug(ctx):
    # Gone in the middle of the block loop; plugged back with what it holds.
    with Drive(ctx, "--revision=302", "--vanish-after=60"):
        ctx.expect(ctx.run_tool(), "vanish_first_run")
    check(ctx.device_state()["boot_flag"] == b"BOOT", "boot flag should still say BOOT")
    with Drive(ctx, "--revision=302"):
        ctx.expect(ctx.run_tool(), "vanish_second_run")
        check(ctx.device_state()["flash"] == ctx.image(), "flash is not the image")
        ctx.expect(ctx.run_tool(), "current_305")


def sweep_points(ctx):
    # A handful of the interruption sweep's points through the real drive: the
    # device vanishes at exchange k of a switch-first update (the NES
    # initialisation, the reboot, the checksum right after block 0 is erased,
    # inside the block loop, the final reboot), is plugged back with what it
    # holds, and the tool is run again at most twice.
    for k in (2, 4, 12, 100, 134):
        if os.path.exists(ctx.state):
            os.remove(ctx.state)
        with Drive(ctx, "--revision=302", "--vanish-after=%d" % (k - 1)):
            ctx.run_tool()
        current = False
        for _ in range(3):  # two repair runs, then one to see the result
            with Drive(ctx, "--revision=302"):
                if "Firmware not need update 305\n" in ctx.run_tool():
                    current = True
                    break
        check(current, "exchange %d: not recovered within two runs" % k)
        check(ctx.device_state()["flash"] == ctx.image(), "exchange %d: flash is not the image" % k)


SCENARIOS = {f.__name__: f for f in
             (full_update, bootloader, unsupported, no_device, never_verify, vanish_replug,
              sweep_points)}


def prepare_wine_prefix(build):
    prefix = os.path.join(os.path.abspath(build), "e2e", "wineprefix")
    if shutil.which("wine") is None:
        sys.exit("e2e: wine is needed for the Windows end-to-end tests (Debian's wine64)")
    env = dict(os.environ, WINEPREFIX=prefix, WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=")
    os.makedirs(prefix, exist_ok=True)
    subprocess.run(["wineboot", "-i"], env=env, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    # Drive d: is removable: the type the tool looks for.
    subprocess.run(["wine", "reg", "add", "HKLM\\Software\\Wine\\Drives", "/v", "d:", "/t",
                    "REG_SZ", "/d", "floppy", "/f"], env=env, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    subprocess.run(["wineserver", "-w"], env=env, check=True)
    print("wine prefix ready:", prefix)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--platform", choices=("native", "wine"), default="native")
    parser.add_argument("--build", required=True)
    parser.add_argument("--scenario", choices=sorted(SCENARIOS) + ["prepare-wine"])
    parser.add_argument("--write-expected", action="store_true")
    args = parser.parse_args()
    if args.scenario == "prepare-wine":
        prepare_wine_prefix(args.build)
        return 0
    if not in_private_namespace():
        reexec_in_namespace()
    subprocess.run(["mount", "-t", "tmpfs", "cartfw-e2e", "/media"], check=True)
    ctx = Context(args)
    try:
        SCENARIOS[args.scenario](ctx)
    except (Failure, subprocess.SubprocessError) as error:
        print("FAILED %s/%s: %s" % (args.platform, args.scenario, error))
        print("artefacts kept in", ctx.work)
        return 1
    shutil.rmtree(ctx.work, ignore_errors=True)
    print("passed %s/%s" % (args.platform, args.scenario))
    return 0


if __name__ == "__main__":
    sys.exit(main())
