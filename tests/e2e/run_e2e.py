#!/usr/bin/python3
"""End to end: install, then read a portrait, crop it and save it through the
real window of the installed program, driven from outside like a person.

The outer part installs into a temporary prefix and checks the results; the
session part (Xvfb, a D-Bus session bus, the accessibility bus, the program
and the driver) runs as an unprivileged user: `nobody` through setpriv when
the test runs as root, otherwise the current user with the prefix made
read-only. The program gets nothing but an ordinary desktop environment.

Screenshots and logs of every step land in the output folder (--out).
"""

import argparse
import ctypes
import json
import os
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time

SCREEN_W, SCREEN_H = 1280, 1024
WINDOW_W, WINDOW_H = 831, 518
# Controls in the window's client area (left, top, width, height).
READ_BUTTON = (16, 82, 110, 33)
CROP_BUTTON = (365, 222, 85, 33)
SAVE_BUTTON = (573, 423, 110, 33)
EXIT_BUTTON = (725, 415, 84, 50)
SLIDER = (6, 135, 241, 38)
VIEWPORT = (6, 179, 242, 309)
RESULT = (604, 120, 200, 280)
# The fixture read right after start keeps the working photo's layout place
# (8, 0) in the viewport, so the frame at (21, 14) crops from (13, 14).
CROP_ORIGIN = (13, 14)
OPEN_TITLE = "打开照片源文件"
SAVE_TITLE = "保存照片上传文件为..."
SAVED_PREFIX = "请注意：您生成的照片文件为："
TYPED_NAME = "exam_e2e"
NOBODY = 65534
STEP_TIMEOUT = 15.0
TOTAL_TIMEOUT = 75.0


class Failure(Exception):
    pass


def log(msg):
    print(f"[e2e {time.monotonic() - T0:6.2f}s] {msg}", flush=True)


T0 = time.monotonic()


def die_with_parent():
    # Children of the session die with it, whatever ends it.
    libc = ctypes.CDLL("libc.so.6", use_errno=True)
    libc.prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def wait_for(what, predicate, timeout=STEP_TIMEOUT, interval=0.1):
    deadline = time.monotonic() + timeout
    last_error = None
    while True:
        try:
            value = predicate()
            if value:
                return value
        except Failure:
            raise
        except Exception as e:  # a busy application may time out a query
            last_error = e
        if time.monotonic() > deadline:
            extra = f" (last error: {last_error})" if last_error else ""
            raise Failure(f"timed out after {timeout:.0f} s waiting for {what}{extra}")
        time.sleep(interval)


# ---------------------------------------------------------------- session ---

class Session:
    """Xvfb, D-Bus, the program and the driver, all as the current user."""

    def __init__(self, cfg):
        self.cfg = cfg
        self.home = cfg["home"]
        self.shots = cfg["shots"]
        self.procs = []
        self.shot_no = 0
        self.env = None
        self.app_pid = None
        self.win = None  # window origin on the screen

    # -- processes --
    def spawn(self, args, env, **kw):
        p = subprocess.Popen(args, env=env, preexec_fn=die_with_parent, **kw)
        self.procs.append(p)
        return p

    def stop_all(self):
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
        deadline = time.monotonic() + 3
        for p in reversed(self.procs):
            try:
                p.wait(max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()

    def start_display(self):
        r, w = os.pipe()
        log_file = open(os.path.join(self.home, "xvfb.log"), "wb")
        self.spawn(["Xvfb", "-displayfd", str(w), "-screen", "0", f"{SCREEN_W}x{SCREEN_H}x24",
                    "-nolisten", "tcp", "-noreset"], env={"PATH": os.environ["PATH"]},
                   pass_fds=(w,), stdout=log_file, stderr=log_file)
        os.close(w)
        number = self.read_line(r, "Xvfb's display number")
        self.display = ":" + number
        log(f"Xvfb on {self.display}")

    def start_bus(self):
        r, w = os.pipe()
        runtime = os.path.join(self.home, ".run")
        os.makedirs(runtime, mode=0o700, exist_ok=True)
        self.env = {
            "HOME": self.home,
            "PATH": "/usr/local/bin:/usr/bin:/bin",
            "LANG": "C.UTF-8",
            "DISPLAY": self.display,
            "XDG_RUNTIME_DIR": runtime,
        }
        for var in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
            if var in os.environ:
                self.env[var] = os.environ[var]
        log_file = open(os.path.join(self.home, "dbus.log"), "wb")
        # The accessibility bus is started on demand by this bus, with its
        # environment (DISPLAY).
        self.spawn(["dbus-daemon", "--session", "--nofork", "--nosyslog", f"--print-address={w}",
                    f"--address=unix:dir={runtime}"], env=self.env, pass_fds=(w,),
                   stdout=log_file, stderr=log_file)
        os.close(w)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.read_line(r, "the D-Bus address")
        os.environ.update(self.env)
        log("D-Bus session bus up")

    @staticmethod
    def read_line(fd, what):
        import select
        data = b""
        deadline = time.monotonic() + STEP_TIMEOUT
        while b"\n" not in data:
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise Failure(f"timed out waiting for {what}")
            chunk = os.read(fd, 256)
            if not chunk:
                raise Failure(f"no {what}: the process ended (see its log)")
            data += chunk
        os.close(fd)
        return data.split(b"\n")[0].decode().strip()

    def start_program(self):
        env = dict(self.env)
        # Qt's own switch: export the widgets to AT-SPI without a screen reader.
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        out = open(os.path.join(self.home, "program.log"), "wb")
        self.program = self.spawn([self.cfg["program"]], env=env, cwd=self.home,
                                  stdout=out, stderr=out)
        self.app_pid = self.program.pid
        log(f"started {self.cfg['program']} (pid {self.app_pid})")

    # -- X helpers --
    def xdo(self, *args):
        r = subprocess.run(["xdotool", *map(str, args)], env=self.env, capture_output=True,
                           text=True, timeout=STEP_TIMEOUT)
        if r.returncode != 0:
            raise Failure(f"xdotool {' '.join(map(str, args))} failed: {r.stderr.strip()}")
        return r.stdout

    def click(self, x, y, what):
        log(f"click {what} at ({x}, {y})")
        self.xdo("mousemove", "--sync", x, y)
        time.sleep(0.05)
        self.xdo("click", "1")

    def type_text(self, text):
        self.xdo("type", "--delay", "15", text)

    def key(self, name):
        self.xdo("key", name)

    def shot(self, name):
        self.shot_no += 1
        path = os.path.join(self.shots, f"{self.shot_no:02d}-{name}.png")
        subprocess.run(["import", "-window", "root", path], env=self.env,
                       capture_output=True, timeout=STEP_TIMEOUT)
        log(f"screenshot {os.path.basename(path)}")

    def pixels(self, rect):
        """RGB triples of a rectangle in window coordinates, from the screen."""
        x, y, w, h = rect
        r = subprocess.run(["import", "-window", "root", "-crop",
                            f"{w}x{h}+{self.win[0] + x}+{self.win[1] + y}", "-depth", "8", "rgb:-"],
                           env=self.env, capture_output=True, timeout=STEP_TIMEOUT)
        data = r.stdout
        if len(data) != w * h * 3:
            raise Failure(f"screen capture gave {len(data)} bytes for {w}x{h}")
        return [tuple(data[i:i + 3]) for i in range(0, len(data), 3)]

    def share(self, rect, test):
        px = self.pixels(rect)
        return sum(1 for p in px if test(p)) / len(px)

    # -- accessibility --
    def a11y_app(self):
        import pyatspi
        for app in pyatspi.Registry.getDesktop(0):
            try:
                if app is not None and app.get_process_id() == self.app_pid:
                    return app
            except Exception:
                continue
        return None

    def top_levels(self):
        app = self.a11y_app()
        return [] if app is None else [w for w in app if w is not None]

    @staticmethod
    def extents(acc):
        import pyatspi
        e = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return (e.x, e.y, e.width, e.height)

    @staticmethod
    def walk(acc, depth=0):
        yield acc
        if depth > 12:
            return
        for child in acc:
            if child is not None:
                yield from Session.walk(child, depth + 1)

    @staticmethod
    def has_state(acc, state):
        return acc.getState().contains(state)

    def window_named(self, title):
        for w in self.top_levels():
            if w.name == title:
                return w
        return None

    def message_box(self):
        """The open message box as (caption, text, ok button), or None."""
        import pyatspi
        for w in self.top_levels():
            if w.getRole() != pyatspi.ROLE_ALERT:
                continue
            labels = [a.name for a in self.walk(w) if a.getRole() == pyatspi.ROLE_LABEL and a.name]
            buttons = [a for a in self.walk(w) if a.getRole() == pyatspi.ROLE_PUSH_BUTTON]
            return w.name, "\n".join(labels), buttons
        return None

    def no_message_box(self, step):
        box = self.message_box()
        if box:
            self.shot("unexpected-message")
            raise Failure(f"{step}: unexpected message box \"{box[0]}\": {box[1]}")

    def control(self, name, rect):
        """Screen centre of a control: by its accessible name where it has one,
        else the accessible object that sits exactly at its place in the table."""
        import pyatspi
        main = self.main_window()
        want = (self.win[0] + rect[0], self.win[1] + rect[1], rect[2], rect[3])
        at_place = None
        for acc in self.walk(main):
            if acc.name == name and acc.getRole() == pyatspi.ROLE_PUSH_BUTTON:
                x, y, w, h = self.extents(acc)
                return x + w // 2, y + h // 2
            if at_place is None and self.extents(acc) == want:
                at_place = acc
        if at_place is None:
            raise Failure(f"no control \"{name}\" at {want} in the accessibility tree")
        return want[0] + want[2] // 2, want[1] + want[3] // 2

    def main_window(self):
        for w in self.top_levels():
            try:
                if self.extents(w)[2:] == (WINDOW_W, WINDOW_H):
                    return w
            except Exception:
                continue
        return None

    def dialog_text_field(self, dialog):
        import pyatspi
        fields = [a for a in self.walk(dialog)
                  if a.getRole() == pyatspi.ROLE_TEXT and self.has_state(a, pyatspi.STATE_EDITABLE)
                  and self.has_state(a, pyatspi.STATE_SHOWING)]
        if not fields:
            raise Failure(f"no editable file-name field in the dialog \"{dialog.name}\"")
        focused = [a for a in fields if self.has_state(a, pyatspi.STATE_FOCUSED)]
        return (focused or fields)[0]

    # -- the job --
    def type_into_dialog(self, title, text, step):
        dialog = wait_for(f"the dialog \"{title}\"", lambda: self.window_named(title))
        time.sleep(0.3)  # let the dialog take the keyboard focus
        field = self.dialog_text_field(dialog)
        x, y, w, h = self.extents(field)
        self.click(x + w // 2, y + h // 2, f"the file name field of \"{title}\"")
        self.key("ctrl+a")
        self.type_text(text)
        typed = field.queryText().getText(0, -1)
        if typed != text:
            self.shot(f"{step}-typed-wrong")
            raise Failure(f"{step}: the file name field holds \"{typed}\", typed \"{text}\"")
        self.shot(f"{step}-typed")
        self.key("Return")
        wait_for(f"the dialog \"{title}\" to close", lambda: self.window_named(title) is None)

    def run(self):
        import pyatspi  # fails early and clearly when missing
        app_dir = os.path.dirname(os.path.realpath(self.cfg["program"]))
        if os.access(app_dir, os.W_OK):
            raise Failure(f"{app_dir} is writable by this user: the run would prove nothing")
        self.start_display()
        self.start_bus()
        self.start_program()
        results = {"steps": []}

        def step_done(name):
            results["steps"].append([name, round(time.monotonic() - T0, 2)])

        # 1. The window: 831 x 518, centred, in the accessibility tree.
        def window_up():
            if self.program.poll() is not None:
                raise Failure(f"the program ended at start with code {self.program.returncode}")
            return self.main_window()
        main = wait_for("the main window in the accessibility tree", window_up, timeout=20)
        x, y, w, h = self.extents(main)
        self.win = (x, y)
        results["window"] = [x, y, w, h]
        if abs(x - (SCREEN_W - WINDOW_W) / 2) > 0.5 or abs(y - (SCREEN_H - WINDOW_H) / 2) > 0.5:
            raise Failure(f"the window is at ({x}, {y}), not centred on {SCREEN_W}x{SCREEN_H}")
        time.sleep(0.3)
        self.shot("started")
        step_done("window shown")

        # 2. Read the portrait through the open dialog.
        self.click(*self.control("读取照片", READ_BUTTON), "读取照片")
        self.type_into_dialog(OPEN_TITLE, self.cfg["source"], "open")
        slider = None
        want = (self.win[0] + SLIDER[0], self.win[1] + SLIDER[1], SLIDER[2], SLIDER[3])
        for acc in self.walk(self.main_window()):
            if self.extents(acc) == want:
                slider = acc
                break
        if slider is None:
            raise Failure("no zoom slider in the accessibility tree")
        wait_for("the zoom slider to be enabled after the read",
                 lambda: self.has_state(slider, pyatspi.STATE_ENABLED))
        time.sleep(0.3)
        self.no_message_box("read photo")
        # The portrait's plain blue background fills most of the viewport,
        # and after the crop most of the result photo.
        def blue_share(rect):
            share = self.share(rect, lambda p: p[2] > 150 and p[0] < 90 and p[1] < 120)
            return share if share > 0.4 else None
        results["viewport_blue_share"] = round(
            wait_for("the portrait in the viewport", lambda: blue_share(VIEWPORT)), 3)
        self.shot("photo-read")
        step_done("photo read")

        # 3. Crop.
        self.click(*self.control("裁剪", CROP_BUTTON), "裁剪")
        results["result_blue_share"] = round(
            wait_for("the result photo", lambda: blue_share(RESULT)), 3)
        time.sleep(0.2)
        self.no_message_box("crop")
        self.shot("cropped")
        step_done("cropped")

        # 4. Save as.
        self.click(*self.control("另存为", SAVE_BUTTON), "另存为")

        def save_dialog_or_box():
            box = self.message_box()
            if box:
                self.shot("save-refused")
                raise Failure(f"save: message box \"{box[0]}\" instead of the dialog: {box[1]}")
            return self.window_named(SAVE_TITLE)
        wait_for(f"the dialog \"{SAVE_TITLE}\"", save_dialog_or_box)
        self.type_into_dialog(SAVE_TITLE, self.cfg["target"], "save")
        caption, text, buttons = wait_for("the message box after saving", self.message_box)
        results["message_caption"] = caption
        results["message_text"] = text
        self.shot("saved-message")
        if not buttons:
            raise Failure(f"the message box \"{caption}\" has no button")
        x, y, w, h = self.extents(buttons[0])
        self.click(x + w // 2, y + h // 2, f"\"{buttons[0].name}\" in the message box")
        wait_for("the message box to close", lambda: self.message_box() is None)
        self.shot("message-dismissed")
        step_done("saved")

        # 5. Exit button: the program ends at once.
        self.click(*self.control("退出!", EXIT_BUTTON), "退出!")
        try:
            results["exit_code"] = self.program.wait(STEP_TIMEOUT)
        except subprocess.TimeoutExpired:
            self.shot("still-running")
            raise Failure("the program did not end after the exit button")
        step_done("exited")
        return results


def session_main(cfg_path):
    with open(cfg_path) as f:
        cfg = json.load(f)
    s = Session(cfg)
    results = {"ok": False}
    try:
        results.update(s.run())
        results["ok"] = True
    except Exception as e:
        results["error"] = str(e) if isinstance(e, Failure) else f"{type(e).__name__}: {e}"
        try:
            s.shot("failure")
        except Exception:
            pass
    finally:
        s.stop_all()
        with open(cfg["results"], "w") as f:
            json.dump(results, f, ensure_ascii=False, indent=1)
    return 0 if results["ok"] else 1


# ------------------------------------------------------------------ outer ---

def listing(roots):
    """Every path at or under the roots with its type, size, mode and mtime."""
    out = {}
    for root in roots:
        paths = [root]
        for dirpath, dirnames, filenames in os.walk(root):
            paths += [os.path.join(dirpath, n) for n in dirnames + filenames]
        for p in paths:
            st = os.lstat(p)
            out[p] = (stat.S_IFMT(st.st_mode), st.st_size, stat.S_IMODE(st.st_mode), st.st_mtime_ns)
    return out


def read_ppm(data):
    """(width, height, pixels) of a binary P6 file."""
    parts, pos = [], 0
    while len(parts) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        parts.append(data[start:pos])
    if parts[0] != b"P6" or parts[3] != b"255":
        raise Failure("djpeg did not give an 8-bit colour image")
    w, h = int(parts[1]), int(parts[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]


def check_saved_file(path, source):
    with open(path, "rb") as f:
        data = f.read()
    tag, jpeg = data[-9:], data[:-9]
    if not (len(tag) == 9 and tag.isdigit()):
        raise Failure(f"{path} does not end in a nine-digit upload tag: {tag!r}")
    if (sum(d - 48 for d in tag[:8]) % 10) != tag[8] - 48:
        raise Failure(f"upload tag {tag.decode()} has a wrong check digit")
    if tag[0:1] == b"0":
        raise Failure(f"upload tag {tag.decode()} starts with 0")
    if not (jpeg.startswith(b"\xff\xd8") and jpeg.endswith(b"\xff\xd9")):
        raise Failure(f"{path}: the bytes before the tag are not one JPEG stream")
    if len(jpeg) > 30720:
        raise Failure(f"{path}: {len(jpeg)} bytes of JPEG data, more than 30720")
    if jpeg[2:4] != b"\xff\xe0" or jpeg[6:11] != b"JFIF\0" or b"\xff\xc0" not in jpeg:
        raise Failure(f"{path}: not a baseline JFIF file")
    r = subprocess.run(["identify", "-format", "%m %w %h %[interlace]", path],
                       capture_output=True, text=True, timeout=STEP_TIMEOUT)
    if r.returncode != 0 or r.stdout.split() != ["JPEG", "200", "280", "None"]:
        raise Failure(f"identify: {r.stdout.strip()} {r.stderr.strip()} (want JPEG 200 280 None)")
    saved = subprocess.run(["djpeg", "-pnm", path], capture_output=True, timeout=STEP_TIMEOUT)
    if saved.returncode != 0:
        raise Failure(f"djpeg cannot decode {path}: {saved.stderr.decode(errors='replace')}")
    w, h, px = read_ppm(saved.stdout)
    if (w, h) != (200, 280):
        raise Failure(f"djpeg: {w}x{h}, want 200x280")
    # The saved photo is the 200 x 280 piece of the portrait under the frame.
    src = subprocess.run(["djpeg", "-pnm", source], capture_output=True, timeout=STEP_TIMEOUT)
    sw, sh, spx = read_ppm(src.stdout)
    ox, oy = CROP_ORIGIN
    diff = 0
    for row in range(280):
        a = px[row * 600:(row + 1) * 600]
        s = (oy + row) * sw * 3 + ox * 3
        b = spx[s:s + 600]
        diff += sum(abs(p - q) for p, q in zip(a, b))
    mean = diff / (200 * 280 * 3)
    if mean > 4.0:
        raise Failure(f"the saved photo differs from the portrait under the frame: mean |diff| {mean:.2f}")
    return {"size": len(data), "jpeg_bytes": len(jpeg), "tag": tag.decode(),
            "identify": r.stdout.strip(), "mean_abs_diff_to_source_crop": round(mean, 3)}


def preflight(python):
    tools = ["Xvfb", "xdotool", "dbus-daemon", "import", "identify", "djpeg"]
    if os.geteuid() == 0:
        tools.append("setpriv")
    missing = [t for t in tools if shutil.which(t) is None]
    if not os.path.exists("/usr/libexec/at-spi-bus-launcher"):
        missing.append("at-spi-bus-launcher")
    r = subprocess.run([python, "-c", "import pyatspi"], capture_output=True)
    if r.returncode != 0:
        missing.append(f"pyatspi for {python}")
    if missing:
        raise Failure("missing: " + ", ".join(missing) +
                      " (Debian: xvfb xdotool dbus-x11 imagemagick libjpeg-turbo-progs "
                      "at-spi2-core python3-pyatspi util-linux)")


def outer_main(args):
    out = os.path.abspath(args.out)
    shutil.rmtree(out, ignore_errors=True)
    os.makedirs(out)
    python = sys.executable
    try:
        preflight(python)
    except Failure as e:
        print(f"e2e: FAIL: {e}")
        return 1
    as_root = os.geteuid() == 0
    base = tempfile.mkdtemp(prefix="exam-photo-e2e-")
    os.chmod(base, 0o755)
    prefix = args.installed or os.path.join(base, "prefix")
    # What the program must leave alone: the whole temporary prefix, or the
    # program's own folder and link of an installed package.
    watched = [prefix] if not args.installed else [
        os.path.join(prefix, "lib", "exam-photo"), os.path.join(prefix, "bin", "exam-photo")]
    home = os.path.join(base, "user")
    inner = None
    session_pgid = None

    def on_term(signum, frame):
        raise Failure(f"stopped by signal {signum}")
    signal.signal(signal.SIGTERM, on_term)
    signal.signal(signal.SIGALRM, on_term)
    signal.alarm(int(TOTAL_TIMEOUT))

    try:
        if not args.installed:
            r = subprocess.run([args.cmake, "--install", args.build, "--prefix", prefix],
                               capture_output=True, text=True, timeout=60)
            with open(os.path.join(out, "install.log"), "w") as f:
                f.write(r.stdout + r.stderr)
            if r.returncode != 0:
                raise Failure(f"cmake --install failed:\n{r.stdout}{r.stderr}")
            log(f"installed into {prefix}")
        program = os.path.join(prefix, "bin", "exam-photo")
        if not os.path.islink(program):
            raise Failure(f"{program} is not a link")

        photos = os.path.join(home, "photos")
        shots = os.path.join(home, "shots")
        for d in (home, photos, shots):
            os.makedirs(d, mode=0o700)
        source = os.path.join(photos, "portrait.jpg")
        shutil.copyfile(args.photo, source)
        cfg = {"home": home, "shots": shots, "program": program, "source": source,
               "target": os.path.join(photos, TYPED_NAME),
               "results": os.path.join(home, "results.json")}
        cfg_path = os.path.join(home, "session.json")
        with open(cfg_path, "w") as f:
            json.dump(cfg, f)
        if as_root:
            for dirpath, dirnames, filenames in os.walk(home):
                for p in [dirpath] + [os.path.join(dirpath, n) for n in filenames]:
                    os.chown(p, NOBODY, NOBODY)
        elif not args.installed:
            for dirpath, dirnames, filenames in os.walk(prefix):
                os.chmod(dirpath, 0o555)
        before = listing(watched)
        photos_before = sorted(os.listdir(photos))

        cmd = [python, os.path.abspath(__file__), "--session", cfg_path]
        # Only the sanitizers' own settings pass through to the session.
        passed = [f"{v}={os.environ[v]}" for v in ("ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS")
                  if v in os.environ]
        if as_root:
            cmd = ["setpriv", f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups",
                   "--reset-env", "--pdeathsig", "SIGKILL", "env", f"HOME={home}"] + passed + cmd
        else:
            cmd = ["setpriv", "--pdeathsig", "SIGKILL", "env", "-i", f"HOME={home}",
                   "PATH=/usr/local/bin:/usr/bin:/bin"] + passed + cmd
        env = None
        with open(os.path.join(out, "session.log"), "wb") as session_log:
            inner = subprocess.Popen(cmd, env=env, cwd=home, stdout=session_log,
                                     stderr=subprocess.STDOUT, start_new_session=True)
            session_pgid = inner.pid
            try:
                inner.wait(TOTAL_TIMEOUT - 10)
            except subprocess.TimeoutExpired:
                raise Failure("the session did not finish in time")
        results = {}
        if os.path.exists(cfg["results"]):
            with open(cfg["results"]) as f:
                results = json.load(f)
        if not results.get("ok"):
            raise Failure(results.get("error", f"the session ended with code {inner.returncode}"))

        expected_name = cfg["target"] + ".jpg"
        expected_text = SAVED_PREFIX + expected_name
        if results["message_caption"] != "信息提示" or results["message_text"] != expected_text:
            raise Failure(f"message box \"{results['message_caption']}\": \"{results['message_text']}\";"
                          f" want \"信息提示\": \"{expected_text}\"")
        if results["exit_code"] != 0:
            raise Failure(f"the program ended with code {results['exit_code']}")
        photos_after = sorted(os.listdir(photos))
        if photos_after != sorted(photos_before + [os.path.basename(expected_name)]):
            raise Failure(f"the photo folder holds {photos_after}; want {photos_before} and "
                          f"{os.path.basename(expected_name)} only")
        jpegs = sorted(os.path.relpath(os.path.join(d, n), home) for d, _, names in os.walk(home)
                       for n in names if n.lower().endswith((".jpg", ".jpeg")) or n.startswith("test."))
        if jpegs != sorted(["photos/portrait.jpg", f"photos/{TYPED_NAME}.jpg"]):
            raise Failure(f"JPEG files in the user's folder: {jpegs}")
        results["saved"] = check_saved_file(expected_name, source)
        after = listing(watched)
        if after != before:
            added = sorted(set(after) - set(before))
            changed = sorted(k for k in before if k in after and before[k] != after[k])
            removed = sorted(set(before) - set(after))
            raise Failure(f"the installed files changed: added {added}, changed {changed}, removed {removed}")
        results["prefix_entries"] = len(after)
        log("results: " + json.dumps(results, ensure_ascii=False))
        print("e2e: PASS")
        return 0
    except Failure as e:
        print(f"e2e: FAIL: {e}")
        print(f"e2e: screenshots and logs in {out}")
        return 1
    finally:
        signal.alarm(0)
        if inner is not None and inner.poll() is None:
            inner.kill()
            inner.wait()
        if session_pgid is not None:
            kill_session(session_pgid)
        session_log = os.path.join(out, "session.log")
        if os.path.exists(session_log):
            with open(session_log, errors="replace") as f:
                sys.stdout.write("--- session ---\n" + f.read())
        for name in ("program.log", "xvfb.log", "dbus.log", "results.json"):
            p = os.path.join(home, name)
            if os.path.exists(p):
                shutil.copyfile(p, os.path.join(out, name))
        shots = os.path.join(home, "shots")
        if os.path.isdir(shots):
            for name in sorted(os.listdir(shots)):
                shutil.copyfile(os.path.join(shots, name), os.path.join(out, name))
        if not args.installed:
            for dirpath, dirnames, filenames in os.walk(prefix):
                os.chmod(dirpath, 0o755)
        shutil.rmtree(base, ignore_errors=True)


def kill_session(sid):
    """Ends whatever is left of the session: every process of its session id
    (services that D-Bus started for it included)."""
    for _ in range(3):
        left = []
        for entry in os.listdir("/proc"):
            if not entry.isdigit():
                continue
            try:
                with open(f"/proc/{entry}/stat") as f:
                    fields = f.read().rsplit(")", 1)[1].split()
            except OSError:
                continue
            if int(fields[3]) == sid and fields[0] != "Z":  # fields[3]: session id
                left.append(int(entry))
        if not left:
            return
        for pid in left:
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass
        time.sleep(0.2)


def main():
    p = argparse.ArgumentParser(description=__doc__)
    p.add_argument("--session", help=argparse.SUPPRESS)
    p.add_argument("--build", help="the build folder to install from")
    p.add_argument("--installed", help="drive the program already installed under this prefix"
                   " (such as /usr from the package) instead of installing")
    p.add_argument("--cmake", default="cmake")
    p.add_argument("--photo", help="the portrait to read")
    p.add_argument("--out", help="folder for screenshots and logs")
    args = p.parse_args()
    if args.session:
        return session_main(args.session)
    if not ((args.build or args.installed) and args.photo and args.out):
        p.error("--build or --installed, --photo and --out are needed")
    return outer_main(args)


if __name__ == "__main__":
    sys.exit(main())
