#!/usr/bin/env python3
"""Velmora as a reader meets it: the real program under Xvfb with openbox at 1024x768, 1920x1080 and 800x600,
walked through the reader's flows. Checks use the window geometry X reports and what the views hold (asked
through the program's test-only probe socket), pixels never; a failed check leaves a screenshot.

Usage: desktop_suite.py --velmora build/velmora --artifacts build/desktop-artifacts [--sizes 1024x768,...]
"""
import argparse
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import zlib
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

SIZES = ["1024x768", "1920x1080", "800x600"]
MIN_TEXT_PX = 9

TEXT_BODY = ("Старият град спеше под снега. Момичето стоеше зад него и гледаше към морето, където "
             "светлината на вечерта падаше върху пътя. ")
FB2_BOOK = """<?xml version="1.0" encoding="UTF-8"?>
<FictionBook xmlns="http://www.gribuser.ru/xml/fictionbook/2.0">
<description><title-info><author><first-name>Елин</first-name><last-name>Пелинов</last-name></author>
<book-title>Пролетна нощ</book-title><lang>bg</lang></title-info></description>
<body><section><title><p>Първа глава</p></title>%s</section></body></FictionBook>
"""


class Failure(Exception):
    pass


def png(w, h, rgb):
    """A plain one-colour PNG picture."""
    def chunk(kind, data):
        return (len(data).to_bytes(4, "big") + kind + data +
                zlib.crc32(kind + data).to_bytes(4, "big"))
    rows = b"".join(b"\0" + bytes(rgb) * w for _ in range(h))
    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", w.to_bytes(4, "big") + h.to_bytes(4, "big") + b"\x08\x02\0\0\0") +
            chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


class Catalogue:
    """An online catalogue on the loopback address: a section, a book with a cover, the book's file."""

    def __init__(self):
        feed = ('<?xml version="1.0" encoding="UTF-8"?><feed xmlns="http://www.w3.org/2005/Atom">'
                '<title>Проба</title>%s</feed>')
        book = ('<entry><title>Зимна утрин</title><author><name>Елин Пелинов</name></author>'
                '<summary>Разказ за снега.</summary>'
                '<link rel="http://opds-spec.org/image/thumbnail" href="/cover.png" type="image/png"/>'
                '<link rel="http://opds-spec.org/acquisition" href="/book.fb2" '
                'type="application/x-fictionbook+xml"/></entry>')
        self.pages = {
            "/root": feed % ('<entry><title>Нови</title><link href="/new" '
                             'type="application/atom+xml;profile=opds-catalog;kind=navigation"/></entry>'),
            "/new": feed % book,
            "/cover.png": png(60, 90, (40, 90, 160)),
            "/book.fb2": FB2_BOOK % ("<p>%s</p>" % (TEXT_BODY * 5)),
        }
        self.requests = []
        outer = self

        class Handler(BaseHTTPRequestHandler):
            def do_GET(self):
                outer.requests.append(self.path)
                body = outer.pages.get(self.path)
                if body is None:
                    self.send_error(404)
                    return
                body = body if isinstance(body, bytes) else body.encode()
                self.send_response(200)
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        self.server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        threading.Thread(target=self.server.serve_forever, daemon=True).start()
        self.url = "http://127.0.0.1:%d/root" % self.server.server_address[1]

    def close(self):
        self.server.shutdown()
        self.server.server_close()


def wait_for(what, check, timeout=30.0):
    """Polls check() until it gives something true; short polls, a bounded wait."""
    deadline = time.monotonic() + timeout
    last = None
    while time.monotonic() < deadline:
        try:
            last = check()
            if last:
                return last
        except (OSError, ValueError, Failure) as e:
            last = e
        time.sleep(0.05)
    raise Failure("timed out waiting for %s (last: %r)" % (what, last))


class Probe:
    def __init__(self, folder):
        self.folder = folder
        self.path = os.path.join(folder, "probe-%p.sock")  # the program puts its process id for %p

    def socket_path(self):
        """The socket of the newest program still running."""
        alive = []
        for name in os.listdir(self.folder):
            if name.startswith("probe-") and name.endswith(".sock"):
                pid = int(name[6:-5])
                if os.path.exists("/proc/%d" % pid) and open("/proc/%d/stat" % pid).read().split()[2] != "Z":
                    alive.append((os.stat(os.path.join(self.folder, name)).st_mtime, name))
        if not alive:
            raise FileNotFoundError("no program is listening")
        return os.path.join(self.folder, max(alive)[1])

    def ask(self, *fields):
        with socket.socket(socket.AF_UNIX, socket.SOCK_STREAM) as s:
            s.settimeout(10)
            s.connect(self.socket_path())
            s.sendall(("\t".join(fields) + "\n").encode())
            data = b""
            while not data.endswith(b"\n"):
                chunk = s.recv(65536)
                if not chunk:
                    raise Failure("probe closed the connection")
                data += chunk
        answer = json.loads(data)
        if "error" in answer:
            raise Failure("%s: %s" % (" ".join(fields), answer["error"]))
        return answer

    def control(self, window, name):
        return self.ask("control", window, name)

    def text(self, window, name):
        return self.control(window, name)["text"]

    def window(self, name):
        for w in self.ask("windows")["windows"]:
            if w["name"] == name and w["visible"]:
                return w
        return None

    def shown(self):
        return sorted(w["name"] for w in self.ask("windows")["windows"] if w["visible"] and w["name"])


class Desktop:
    """One X screen with openbox and the program on a library of its own."""

    def __init__(self, size, args, root):
        self.size = size
        self.w, self.h = map(int, size.split("x"))
        self.args = args
        self.root = root
        self.procs = []
        self.app_pid = None
        self.step = "start"

    def __enter__(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0", "%sx24" % self.size,
                                 "-nolisten", "tcp", "-dpi", "96"], pass_fds=[write],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write)
        self.procs.append(xvfb)
        with os.fdopen(read) as r:
            number = r.readline().strip()
        if not number:
            raise Failure("Xvfb did not start")
        self.env = dict(os.environ, DISPLAY=":" + number, LC_ALL="C.UTF-8", QT_QPA_PLATFORM="xcb",
                        VELMORA_AUDIO="null", HOME=self.root, XDG_CONFIG_HOME=os.path.join(self.root, "config"),
                        XDG_RUNTIME_DIR=self.root)
        self.env.pop("SESSION_MANAGER", None)
        self.procs.append(subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL))
        wait_for("openbox", lambda: subprocess.run(["wmctrl", "-m"], env=self.env, capture_output=True)
                 .returncode == 0, 20)
        return self

    def __exit__(self, *exc):
        if self.app_pid:
            try:
                os.kill(self.app_pid, signal.SIGTERM)
            except OSError:
                pass
        for p in reversed(self.procs):
            if p.poll() is None:
                p.terminate()
                try:
                    p.wait(5)
                except subprocess.TimeoutExpired:
                    p.kill()
        return False

    def start(self, library):
        self.library = library
        self.probe = Probe(self.root)
        env = dict(self.env, VELMORA_PROBE=self.probe.path)
        proc = subprocess.Popen([self.args.velmora, "--library", library], env=env, cwd=self.root,
                                stdout=subprocess.DEVNULL, stderr=open(os.path.join(self.root, "stderr"), "a"))
        self.procs.append(proc)
        return proc

    def restart(self):
        """After a failed flow: the program afresh on the same library, so the next flow starts clean."""
        if self.app_pid:
            try:
                os.kill(self.app_pid, signal.SIGTERM)
            except OSError:
                pass
            wait_for("the program to end", lambda: not os.path.exists("/proc/%d" % self.app_pid) or
                     open("/proc/%d/stat" % self.app_pid).read().split()[2] == "Z", 15)
        proc = self.start(self.library)
        wait_for("the main window", lambda: self.probe.window("Govori"), 30)
        self.app_pid = proc.pid

    def stderr_tail(self):
        path = os.path.join(self.root, "stderr")
        return open(path, errors="replace").read()[-2000:] if os.path.exists(path) else ""

    def x(self, *cmd):
        return subprocess.run(cmd, env=self.env, capture_output=True, text=True, check=True).stdout

    def click(self, window, name):
        """A real click through X at the control's centre: it lands only if nothing covers the control."""
        c = wait_for("%s.%s shown" % (window, name),
                     lambda: (lambda c: c if c["visible"] else None)(self.probe.control(window, name)), 10)
        self.x("xdotool", "mousemove", "--sync", str(c["x"] + c["w"] // 2), str(c["y"] + c["h"] // 2),
               "click", "1")

    def modal(self, timeout=15):
        return wait_for("a dialog", lambda: (lambda m: None if m.get("none") else m)(self.probe.ask("modal")),
                        timeout)

    def answer(self, value, expect=None):
        m = self.modal()
        if expect and expect not in (m.get("text", "") + m.get("title", "")):
            raise Failure("dialog %r does not say %r" % (m, expect))
        self.probe.ask("answer", value)

        def closed():
            try:
                now = self.probe.ask("modal")
            except OSError:
                return True  # the program left, as it does to unpack its library
            return now.get("none") or now.get("winId") != m["winId"]
        wait_for("the dialog to close", closed, 15)
        return m

    def shot(self, name):
        os.makedirs(self.args.artifacts, exist_ok=True)
        path = os.path.abspath(os.path.join(self.args.artifacts, "%s-%s.png" % (self.size, name)))
        try:
            self.probe.ask("shot", path)
        except (OSError, Failure):
            # The program is gone: the X server's own picture of the screen.
            subprocess.run(["sh", "-c", "xwd -root -silent > '%s.xwd'" % path[:-4]], env=self.env)
        return path

    # ---- checks ----------------------------------------------------------------------------------------

    def check_on_screen(self, name):
        """Never larger than the screen, nothing off it; X's idea of the window agrees with Qt's."""
        w = wait_for(name + " shown", lambda: self.probe.window(name), 15)

        def on_screen(f):
            return f["x"] >= 0 and f["y"] >= 0 and f["x"] + f["w"] <= self.w and f["y"] + f["h"] <= self.h
        # The window manager places and frames a new window a moment after Qt shows it; judge the settled frame.
        deadline = time.monotonic() + 3
        while not on_screen(w["frame"]) and time.monotonic() < deadline:
            time.sleep(0.1)
            w = self.probe.window(name) or w
        if not on_screen(w["frame"]):
            raise Failure("%s lies off the %s screen: %r" % (name, self.size, w["frame"]))
        def x_geometry():
            info = self.x("xwininfo", "-id", w["winId"])
            return {k.strip(): v.strip() for k, v in (l.split(":", 1) for l in info.splitlines() if ":" in l)}
        # Qt calls a window shown once it asked for it; X maps it a moment later.
        geo = wait_for("X to show " + name, lambda: (lambda g: g if g.get("Map State") == "IsViewable"
                                                     else None)(x_geometry()), 10)
        if int(geo["Width"]) > self.w or int(geo["Height"]) > self.h:
            raise Failure("X says %s is %sx%s on a %s screen" % (name, geo["Width"], geo["Height"], self.size))
        return w

    def check_whole(self, name):
        cut = self.probe.ask("cutoff", name, "-")["cutoff"]
        if cut:
            raise Failure("the edge of %s cuts through %s" % (name, ", ".join(cut)))

    def check_legible(self, name):
        small = self.probe.ask("small", name, "-", str(MIN_TEXT_PX))["small"]
        if small:
            raise Failure("text under %d px in %s: %s" % (MIN_TEXT_PX, name, ", ".join(small)))

    def check_book(self, left=None):
        """The spread at left page `left` (any, when None): both pages whole, numbers and buttons clear of
        the pages."""
        book = self.check_on_screen("KNIGA")

        def settled():
            r1 = self.probe.control("KNIGA", "R1")
            label = self.probe.text("KNIGA", "Label1")
            return ((label == str(left) if left is not None else label.isdigit() and int(label) % 2 == 1) and
                    r1["text"].strip() and
                    not self.probe.control("KNIGA", "QProgressBar")["visible"] and
                    self.probe.ask("modal").get("none"))
        wait_for("the spread at page %s" % left, settled, 60)
        r1, r2 = self.probe.control("KNIGA", "R1"), self.probe.control("KNIGA", "R2")
        for page, c in (("left", r1), ("right", r2)):
            if not c["fits"]:
                raise Failure("the %s page shows clipped (more text than its view holds)" % page)
            if c["text"].strip() and c["textPx"] < MIN_TEXT_PX:
                raise Failure("the %s page shows text %d px high" % (page, c["textPx"]))
            if c["x"] < book["x"] or c["x"] + c["w"] > book["x"] + book["w"] or \
                    c["y"] + c["h"] > book["y"] + book["h"]:
                raise Failure("the %s page lies outside the window: %r" % (page, c))
        for label, page in (("Label1", r1), ("Label2", r2)):
            l = self.probe.control("KNIGA", label)
            if l["y"] < page["y"] + page["h"] or l["y"] + l["h"] > book["y"] + book["h"]:
                raise Failure("page number %s overlaps its page or is cut off: %r" % (label, l))
        for button in ("Label9", "Label7", "Label12", "Label11"):
            b = self.probe.control("KNIGA", button)
            if b["y"] + b["h"] > min(r1["y"], r2["y"]) or b["y"] < book["y"]:
                raise Failure("top button %s overlaps the pages: %r" % (button, b))
        self.check_legible("KNIGA")
        self.check_whole("KNIGA")
        return r1["text"]

    def library_back(self):
        wait_for("the book to close", lambda: self.probe.window("KNIGA") is None, 30)
        wait_for("the library back", lambda: self.probe.control("FormB", "Combo1")["visible"], 15)
        self.check_on_screen("FormB")
        self.check_whole("Govori")

    # ---- flows -----------------------------------------------------------------------------------------

    def first_start(self):
        first = self.start(self.library_dir())
        self.answer("ok", "архивирана")
        wait_for("the program to leave for the unpacker", lambda: first.poll() is not None, 30)
        wait_for("the program back with its library", lambda: self.probe.window("Govori"), 60)
        self.app_pid = self.probe.ask("windows")["pid"]
        self.check_on_screen("Govori")
        self.check_legible("Govori")

    def library_dir(self):
        path = os.path.join(self.root, "library")
        os.makedirs(path, exist_ok=True)
        return path

    def read_a_work(self):
        self.click("Govori", "Command9")
        wait_for("the library", lambda: self.probe.control("FormB", "Combo1")["visible"], 15)
        self.check_on_screen("FormB")
        self.check_legible("FormB")
        titles = [t for t in self.probe.ask("items", "FormB", "Combo1")["items"] if t.strip()]
        if len(titles) < 3:
            raise Failure("the library lists %r" % titles)
        self.title = titles[-1]  # the sample library's novella is long enough to turn and jump
        self.probe.ask("choose", "FormB", "Combo1", self.title)
        first = self.check_book(1)
        self.click("KNIGA", "R2")
        if self.check_book(3) == first:
            raise Failure("turning forward kept the same page")
        self.click("KNIGA", "R1")
        self.check_book(1)
        self.click("KNIGA", "Label9")
        wait_for("the page list", lambda: self.probe.control("KNIGA", "combo11")["visible"], 10)
        pages = self.probe.ask("items", "KNIGA", "combo11")["items"]
        target = pages[min(2, len(pages) - 1)]
        self.probe.ask("choose", "KNIGA", "combo11", target)
        self.check_book(target)
        self.click("KNIGA", "Label11")
        self.library_back()

    def add_work(self, button, path, title, author):
        self.click("Govori", button)
        self.answer(path)
        wait_for("the text in the panel", lambda: "Момичето" in self.probe.text("Govori", "Ntext"), 30)
        self.click("Govori", "Command14")
        self.click("FormB", "Command3")
        wait_for("the entry form", lambda: self.probe.control("FormB", "TxtName")["visible"], 10)
        if title:
            self.probe.ask("settext", "FormB", "TxtName", title)
        if author:
            self.probe.ask("settext", "FormB", "TxtNumber", author)
        self.click("FormB", "Dobavi")
        self.answer("ok", "")
        self.check_book(1)
        self.shot("new-work")
        self.click("KNIGA", "Label11")
        self.library_back()

    def add_text(self):
        text = os.path.join(self.root, "razkaz.txt")
        with open(text, "w", encoding="utf-8") as f:
            f.write((TEXT_BODY * 6 + "\n") * 60)
        self.add_work("Command1", text, "Разказ " + self.size, "Автор")

    def add_fb2(self):
        fb2 = os.path.join(self.root, "nosht.fb2")
        with open(fb2, "w", encoding="utf-8") as f:
            f.write(FB2_BOOK % ("<p>%s</p>" % (TEXT_BODY * 5)))
        self.add_work("Command4", fb2, None, None)

    def open_title(self, title):
        self.click("Govori", "Command9")
        wait_for("the library", lambda: self.probe.control("FormB", "Combo1")["visible"], 15)
        wait_for(title + " in the library", lambda: title in self.probe.ask("items", "FormB", "Combo1")["items"], 15)
        self.probe.ask("choose", "FormB", "Combo1", title)
        return self.check_book()

    def rebuild_with_font(self, title=None):
        before = self.open_title(title or self.title)
        self.click("KNIGA", "Label7")
        wait_for("the work handed back", lambda: self.probe.window("KNIGA") is None, 30)
        self.click("Govori", "Command7")
        self.answer("ok")
        self.answer("DejaVu Serif,18")
        after = self.check_book()
        if after == before:
            raise Failure("the rebuild with a larger font kept the same first page")
        self.click("KNIGA", "Label11")
        self.library_back()

    def find_your_place(self):
        """A book with chapters and a note: a chapter from the contents, a phrase found, two marks that
        survive a rebuild with another font, a note read over the page."""
        def pages():
            # The book layout's hyphenation points are soft hyphens in the views' text.
            return (self.probe.text("KNIGA", "R1") + self.probe.text("KNIGA", "R2")).replace("\xad", "")

        def panel(key, rows_wanted=True):
            self.x("xdotool", "key", key)
            wait_for("the panel after " + key, lambda: self.probe.control("KNIGA", "findPanel")["visible"], 10)
            if rows_wanted:
                return wait_for("rows after " + key, lambda: self.probe.ask("items", "KNIGA", "findList")["items"], 10)

        def go(rows, words):
            row = next(r for r in rows if words in r)
            page = int(row.rsplit("\t", 1)[1])
            self.probe.ask("choose", "KNIGA", "findList", words)
            self.check_book(page if page % 2 else page - 1)

        para = "<p>%s</p>" % (TEXT_BODY * 4)
        note = '<p>Тук стои бележка<a l:href="#n1" type="note">[1]</a> в текста.</p>'
        phrase = "<p>Сребърната лъжица лежеше в тревата.</p>"
        body = "".join("<section><title><p>%s</p></title>%s</section>" % (name, text) for name, text in (
            ("Първа глава", note + para * 12), ("Втора глава", para * 6 + phrase + para * 6),
            ("Трета глава", para * 12)))
        fb2 = os.path.join(self.root, "belezhki.fb2")
        with open(fb2, "w", encoding="utf-8") as f:
            f.write(FB2_BOOK.replace("Пролетна нощ", "Зимни бележки")
                    .replace("<FictionBook ", '<FictionBook xmlns:l="http://www.w3.org/1999/xlink" ')
                    .replace("<body><section><title><p>Първа глава</p></title>%s</section></body>",
                             '<body>%s</body><body name="notes"><section id="n1"><title><p>1</p></title>'
                             "<p>Обяснение на бележката.</p></section></body>") % body)
        self.add_work("Command4", fb2, None, None)
        title = "Зимни бележки"
        self.open_title(title)
        go(panel("ctrl+t"), "Трета глава")
        if "Трета глава" not in pages():
            raise Failure("the contents' chapter is not on its spread")
        self.step = "find-place-search"
        panel("ctrl+f", False)
        self.probe.ask("settext", "KNIGA", "searchBox", "сребърната лъжица")
        go(wait_for("a hit", lambda: self.probe.ask("items", "KNIGA", "findList")["items"], 10), "ребърната")
        if "Сребърната лъжица" not in pages():
            raise Failure("the hit is not on its spread")
        self.step = "find-place-marks"
        self.x("xdotool", "key", "Escape")
        marked = [int(self.probe.text("KNIGA", "Label1"))]
        panel("ctrl+b")
        self.x("xdotool", "key", "Escape")
        self.click("KNIGA", "R2")
        marked.append(marked[0] + 2)
        self.check_book(marked[1])
        if len(panel("ctrl+b")) != 2:
            raise Failure("two marks made, the list shows %r" % self.probe.ask("items", "KNIGA", "findList"))
        self.click("KNIGA", "Label11")
        self.library_back()
        self.rebuild_with_font(title)
        self.open_title(title)
        self.click("KNIGA", "marksButton")
        rows = wait_for("the marks", lambda: self.probe.ask("items", "KNIGA", "findList")["items"], 10)
        if len(rows) != 2:
            raise Failure("after the rebuild the marks are %r" % rows)
        for row in rows:
            page = int(row.rsplit("\t", 1)[1])
            self.probe.ask("choose", "KNIGA", "findList", row.split("\t")[0])
            self.check_book(page if page % 2 else page - 1)
        self.step = "find-place-note"
        self.x("xdotool", "key", "Escape")
        go(panel("ctrl+t"), "Първа глава")
        self.x("xdotool", "key", "Escape")
        view = "R1" if "[1]" in self.probe.text("KNIGA", "R1") else "R2"
        at = self.probe.ask("where", "KNIGA", view, "[1]")
        self.x("xdotool", "mousemove", str(at["x"]), str(at["y"]), "click", "1")
        wait_for("the note", lambda: self.probe.control("KNIGA", "notePopup")["visible"], 10)
        if "Обяснение на бележката" not in self.probe.text("KNIGA", "noteText"):
            raise Failure("the note shows %r" % self.probe.text("KNIGA", "noteText"))
        left = self.probe.text("KNIGA", "Label1")
        self.x("xdotool", "key", "Escape")
        wait_for("the note closed", lambda: not self.probe.control("KNIGA", "notePopup")["visible"], 10)
        self.check_book(left)
        self.click("KNIGA", "Label11")
        self.library_back()

    def switch_layout_and_read(self):
        before = self.open_title(self.title)
        self.click("KNIGA", "layoutSwitch")
        wait_for("the work cut anew", lambda: self.probe.text("KNIGA", "R1") != before, 30)
        self.check_book()
        self.step = "read-aloud"
        start = int(self.probe.text("KNIGA", "Label1"))
        self.probe.ask("key", "KNIGA", "-", "F5")
        wait_for("reading to turn the page", lambda: int(self.probe.text("KNIGA", "Label1")) > start, 60)
        self.probe.ask("key", "KNIGA", "-", "F5")
        if not self.probe.ask("modal").get("none"):
            raise Failure("reading aloud brought up %r" % self.probe.ask("modal"))
        self.check_book(self.probe.text("KNIGA", "Label1"))
        self.click("KNIGA", "Label11")
        self.library_back()

    def minimize_and_restore(self):
        self.open_title(self.title)
        page = self.probe.text("KNIGA", "Label1")
        self.click("KNIGA", "Label12")
        wait_for("the book minimized", lambda: self.probe.window("KNIGA") is None, 15)
        form2 = wait_for("its task-bar entry", lambda: [w for w in self.probe.ask("windows")["windows"]
                                                          if w["name"] == "Form2"], 15)[0]
        # Not --sync: the entry hands over to the book at once, so it may never be seen active itself.
        self.x("xdotool", "windowactivate", form2["winId"])
        self.check_book(page)
        self.click("KNIGA", "Label11")
        self.library_back()

    def drop_folder(self):
        """A folder of books dropped on the main window comes in whole; the summary names the file that was
        not added and why."""
        folder = os.path.join(self.root, "papka")
        os.makedirs(folder, exist_ok=True)
        titles = ["%s %s" % (t, self.size) for t in ("Сняг", "Дъжд", "Вятър")]
        for i, title in enumerate(titles):
            with open(os.path.join(folder, "%d.fb2" % i), "w", encoding="utf-8") as f:
                f.write(FB2_BOOK.replace("Пролетна нощ", title) % ("<p>%s</p>" % (TEXT_BODY * 5)))
        with open(os.path.join(folder, "schupena.fb2"), "w", encoding="utf-8") as f:
            f.write("<FictionBook><body><p>Счупена")
        self.probe.ask("drop", "Govori", "-", folder)
        summary = self.answer("ok", "Добавени произведения: 3")
        if "schupena.fb2: " not in summary["text"]:
            raise Failure("the summary does not name the broken file: %r" % summary["text"])
        self.click("Govori", "Command9")
        wait_for("the library", lambda: self.probe.control("FormB", "Combo1")["visible"], 15)
        listed = self.probe.ask("items", "FormB", "Combo1")["items"]
        if any(t not in listed for t in titles):
            raise Failure("the dropped books are not all in the library: %r" % listed)

    def add_from_catalogue(self):
        catalogue = Catalogue()
        try:
            # The loopback catalogue is the one last browsed, so the window never reaches the internet.
            with open(os.path.join(self.library, "opds.ini"), "w", encoding="utf-8") as f:
                f.write("[catalogues]\nsize=1\n1\\name=Проба\n1\\url=%s\n[last]\nurl=%s\n"
                        % (catalogue.url, catalogue.url))
            self.click("Govori", "Command16")
            self.check_on_screen("Katalog")
            items = lambda: self.probe.ask("items", "Katalog", "List1")["items"]
            wait_for("the catalogue's first page", lambda: "▸ Нови" in items(), 15)
            self.check_legible("Katalog")
            self.check_whole("Katalog")
            self.probe.ask("choose", "Katalog", "List1", "▸ Нови")
            self.probe.ask("key", "Katalog", "List1", "Return")
            book = "Зимна утрин — Елин Пелинов"
            wait_for("the section's books", lambda: book in items(), 15)
            self.probe.ask("choose", "Katalog", "List1", book)
            wait_for("the cover fetched", lambda: "/cover.png" in catalogue.requests, 10)
            self.click("Katalog", "Dobavi")
            self.answer("ok", "добавена")
            self.check_whole("Katalog")
            self.shot("catalogue")
            self.x("wmctrl", "-i", "-c", self.probe.window("Katalog")["winId"])
            wait_for("the catalogue window closed", lambda: self.probe.window("Katalog") is None, 10)
            self.click("Govori", "Command9")
            wait_for("the library", lambda: self.probe.control("FormB", "Combo1")["visible"], 15)
            if "Зимна утрин" not in self.probe.ask("items", "FormB", "Combo1")["items"]:
                raise Failure("the book from the catalogue is not in the library")
        finally:
            catalogue.close()


# Flows that fail today for a fault being mended elsewhere: reported, not failing the suite. A flow listed
# here that passes is reported too, so that it is taken off the list.
KNOWN_FAULTS = {
}


def run_size(size, args):
    root = tempfile.mkdtemp(prefix="velmora-desktop-")
    started = time.monotonic()
    ok = True
    try:
        with Desktop(size, args, root) as d:
            flows = [("first-start", d.first_start), ("read", d.read_a_work), ("add-text", d.add_text),
                     ("add-fb2", d.add_fb2), ("rebuild-font", d.rebuild_with_font), ("find-place", d.find_your_place),
                     ("switch-layout", d.switch_layout_and_read), ("minimize", d.minimize_and_restore),
                     ("catalogue", d.add_from_catalogue), ("drop-folder", d.drop_folder)]
            for name, flow in flows:
                d.step = name
                try:
                    began = time.monotonic()
                    flow()
                    print("  %s %s %.1f s" % (size, name, time.monotonic() - began))
                    if name in KNOWN_FAULTS:
                        print("FIXED %s %s: take it off KNOWN_FAULTS" % (size, name))
                    continue
                except Exception as e:
                    shot = d.shot("failed-" + name)
                    known = name in KNOWN_FAULTS
                    print("%s %s at %s: %s\n  screenshot: %s" % ("KNOWN" if known else "FAIL", size, name, e, shot))
                    print(d.stderr_tail())
                    if not known:
                        ok = False
                    if name in ("first-start", "read"):
                        return False  # the others need the library and the title it found
                d.restart()
            if args.keep_shots:
                d.open_title(d.title)
                d.probe.ask("shot", os.path.abspath(os.path.join(args.keep_shots, "book-%s.png" % size)))
        print("%s %s in %.1f s" % ("ok  " if ok else "FAIL", size, time.monotonic() - started))
        return ok
    finally:
        shutil.rmtree(root, ignore_errors=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--velmora", required=True)
    parser.add_argument("--artifacts", required=True)
    parser.add_argument("--sizes", default=",".join(SIZES))
    parser.add_argument("--keep-shots", help="a folder for a picture of the book at each size")
    args = parser.parse_args()
    args.velmora = os.path.abspath(args.velmora)
    for tool in ("Xvfb", "openbox", "xdotool", "wmctrl", "xwininfo"):
        if not shutil.which(tool):
            print("missing %s: run scripts/bootstrap.sh" % tool)
            return 1
    results = [run_size(size, args) for size in args.sizes.split(",")]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
