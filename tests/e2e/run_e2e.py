#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Smoke test of the installed program: install it into a temporary prefix, read (a file named
on the command line, with Chinese characters and a space), crop
and save a portrait through its window under Xvfb as an unprivileged user, check the file."""
import os, shutil, signal, subprocess, sys, tempfile, time

SCREEN_W, SCREEN_H, WIN_W, WIN_H, NAME = 1280, 1024, 831, 518, "exam_e2e"
# Button centres, and points on the viewport and the result photo, in the window's client area.
CROP, SAVE_AS, VIEWPORT, RESULT = (407, 238), (628, 439), (20, 185), (610, 126)

args = dict(zip(sys.argv[1::2], sys.argv[2::2]))  # --build, --cmake, --photo, --out
out = os.path.abspath(args["--out"])
shutil.rmtree(out, ignore_errors=True)
base = tempfile.mkdtemp(prefix="exam-photo-e2e-")
prefix, home = os.path.join(base, "prefix"), os.path.join(base, "home")
os.makedirs(out), os.makedirs(home)
as_root = os.geteuid() == 0
for d in (base, home, out):
    os.chmod(d, 0o700 if d == home else 0o755)
    if as_root:
        os.chown(d, 65534, 65534)
# The session runs as nobody when started as root; each child dies with this script.
user = ["setpriv", "--pdeathsig", "SIGKILL"] + (["--reuid=nobody", "--regid=nogroup", "--clear-groups"] * as_root)
env = {"HOME": home, "PATH": "/usr/bin:/bin", "LANG": "C.UTF-8", "XDG_RUNTIME_DIR": home}
procs = []


def fail(msg):
    raise RuntimeError(msg)


def x(*a):
    r = subprocess.run(user + ["xdotool", *map(str, a)], env=env, capture_output=True, text=True, timeout=10)
    return r.stdout.split()  # window ids, or key=value lines


def wait(what, test, timeout=15):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if procs[-1].poll() is not None:
            fail(f"the program ended with code {procs[-1].returncode} while waiting for {what}")
        value = test()
        if value:
            return value
        time.sleep(0.1)
    fail(f"timed out waiting for {what}")


def window(title):  # xdotool matches names as regular expressions
    return wait(f'the window "{title}"', lambda: x("search", "--onlyvisible", "--name", f"^{title}$"))[0]


def answer(title, text):
    x("windowfocus", "--sync", window(title))
    x("key", "ctrl+a"), x("type", "--delay", "10", text), x("key", "Return")
    wait(f'"{title}" to close', lambda: not x("search", "--onlyvisible", "--name", f"^{title}$"))


def click(at):
    x("mousemove", "--sync", win[0] + at[0], win[1] + at[1]), x("click", "1")


def blue(at):  # the portrait's plain background, once it is on screen
    px = subprocess.run(user + ["import", "-window", "root", "-crop", f"1x1+{win[0] + at[0]}+{win[1] + at[1]}",
                                "-depth", "8", "rgb:-"], env=env, capture_output=True, timeout=10).stdout
    return len(px) == 3 and px[2] > 150 and px[0] < 90


signal.signal(signal.SIGALRM, lambda *_: fail("over 50 s in all"))
signal.signal(signal.SIGTERM, lambda *_: fail("stopped"))
signal.alarm(50)
try:
    r = subprocess.run([args["--cmake"], "--install", args["--build"], "--prefix", prefix], capture_output=True, text=True)
    if r.returncode:
        fail("cmake --install failed:\n" + r.stdout + r.stderr)
    listing = ["find", prefix, "-printf", "%p %y %s %m %T@\n"]
    before = subprocess.run(listing, capture_output=True).stdout
    # Named on the command line, as a file manager's "Open with" does.
    source = shutil.copy(args["--photo"], os.path.join(home, "证件 照.jpg"))
    log, (rd, wr) = open(os.path.join(out, "session.log"), "wb"), os.pipe()
    procs.append(subprocess.Popen(user + ["Xvfb", "-displayfd", str(wr), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                                          "-nolisten", "tcp", "-noreset"], pass_fds=(wr,), stderr=log))
    os.close(wr)
    env["DISPLAY"] = ":" + os.fdopen(rd).readline().strip()
    wait("Xvfb to take clients", lambda: x("getdisplaygeometry"))
    procs.append(subprocess.Popen(user + [os.path.join(prefix, "bin", "exam-photo"), source], env=env, cwd=home,
                                  stdout=log, stderr=log))
    geo = x("getwindowgeometry", "--shell", window("报名照片制作 exam-photo"))
    g = dict(kv.split("=") for kv in geo)
    win = (int(g["X"]), int(g["Y"]))
    if [int(g["WIDTH"]), int(g["HEIGHT"]), *win] != [WIN_W, WIN_H, (SCREEN_W - WIN_W) // 2, (SCREEN_H - WIN_H) // 2]:
        fail(f"window geometry {geo}, want {WIN_W}x{WIN_H} centred on {SCREEN_W}x{SCREEN_H}")
    wait("the portrait in the viewport", lambda: blue(VIEWPORT))
    click(CROP)
    wait("the cropped photo", lambda: blue(RESULT))
    click(SAVE_AS)
    answer("保存照片上传文件为...", os.path.join(out, NAME))
    x("windowfocus", "--sync", window("信息提示")), x("key", "Return")
    wait("the message box to close", lambda: not x("search", "--onlyvisible", "--name", "^信息提示$"))
    data = open(os.path.join(out, NAME + ".jpg"), "rb").read()
    head, eoi, tag = data.rpartition(b"\xff\xd9")
    if len(head + eoi) > 30720:
        fail(f"{len(head + eoi)} bytes of JPEG data (at most 30720)")
    if not (len(tag) == 9 and tag.isdigit() and sum(map(int, tag[:8].decode())) % 10 == int(tag[8:])):
        fail(f"the tag after the JPEG data is {tag!r}")
    ppm = subprocess.run(["djpeg", "-pnm"], input=head + eoi, capture_output=True, timeout=10).stdout
    if ppm.split(None, 3)[1:3] != [b"200", b"280"]:
        fail(f"djpeg: {ppm[:20]!r}, want 200 x 280")
    if subprocess.run(listing, capture_output=True).stdout != before:
        fail("the program wrote into its install prefix")
    print("e2e: PASS")
except Exception as e:
    signal.alarm(0)
    seen = [" ".join(x("getwindowname", w)) for w in x("search", "--onlyvisible", "--name", ".")]
    print(f"e2e: FAIL: {e}\nvisible windows: {seen}\nXvfb and program output (session.log) and screenshot in {out}")
    sys.exit(1)
finally:
    signal.alarm(0)
    subprocess.run(user + ["import", "-window", "root", os.path.join(out, "screen.png")], env=env, timeout=10)
    for proc in reversed(procs):
        proc.kill(), proc.wait()
    shutil.rmtree(base, ignore_errors=True)
