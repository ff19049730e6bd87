#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""End-to-end tests of the Linux program, driven as a person would drive it.

Each case runs the real binary under its own Xvfb, inside a private mount namespace (the caller
starts this script through `unshare -m`) where /etc is a tmpfs holding links to the machine's
own entries and a fixture in place of hosts: the machine's /etc/hosts is never read or written.
xdotool moves the mouse, clicks and presses keys; the window's controls, their states and the
message boxes' titles and texts are read through the accessibility interface (AT-SPI) that Qt
offers to screen readers, over a session bus of the test's own.
"""

import argparse
import os
import subprocess
import sys
import tempfile
import time

pyatspi = None

ARGS = None
SUCCESS = ("成功", "线路修改完成")
FAILURE = ("失败", "权限不足，请尝试右击本程序然后选择“以管理员身份运行”")
CHOICES = ["自动模式", "线路1", "线路2", "线路3", "其他"]
# Name, left, top, width, height in twips, as the window lays them out (15 twips a pixel).
LAYOUT = [("自动模式", 360, 240, 1575, 375), ("保存", 3000, 240, 1695, 1695),
          ("线路1", 360, 600, 1575, 375), ("线路2", 360, 960, 1575, 375),
          ("线路3", 360, 1320, 1575, 375), ("其他", 360, 1680, 1575, 375)]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def run(*command):
    subprocess.run(command, check=True)


def wait_for(what, probe, timeout=30.0):
    deadline = time.monotonic() + timeout
    while True:
        value = probe()
        if value:
            return value
        if time.monotonic() > deadline:
            raise Failure("timed out waiting for " + what)
        time.sleep(0.1)


def caption():
    return ARGS.host + "线路选择器 2.0"


def entry(address):
    return f"{address}\t\t{ARGS.host}\n"


class Sandbox:
    """/etc as a tmpfs of links to the real entries, with `hosts` from a fixture."""

    def __init__(self):
        self.dir = tempfile.mkdtemp(prefix="linesel-e2e-")
        run("mount", "--make-rprivate", "/")
        run("mount", "-t", "tmpfs", "tmpfs", self.dir)
        self.real_etc = os.path.join(self.dir, "real-etc")
        os.mkdir(self.real_etc)
        run("mount", "--bind", "/etc", self.real_etc)
        self.fixture = os.path.join(self.dir, "hosts")

    def hide_etc(self):
        run("mount", "-t", "tmpfs", "tmpfs", "/etc")
        for name in os.listdir(self.real_etc):
            if name != "hosts":
                os.symlink(os.path.join(self.real_etc, name), os.path.join("/etc", name))

    def bind_hosts(self, content, read_only=False):
        """The fixture bind-mounted over /etc/hosts; read-only refuses every write."""
        self.hide_etc()
        with open(self.fixture, "wb") as f:
            f.write(content)
        open("/etc/hosts", "wb").close()
        run("mount", "--bind", self.fixture, "/etc/hosts")
        if read_only:
            run("mount", "-o", "remount,bind,ro", "/etc/hosts")

    def plain_hosts(self, content):
        """A plain file at /etc/hosts, which a save replaces by a rename."""
        self.hide_etc()
        with open("/etc/hosts", "wb") as f:
            f.write(content)

    @staticmethod
    def hosts_bytes():
        with open("/etc/hosts", "rb") as f:
            return f.read()


class Display:
    def __init__(self):
        read_end, write_end = os.pipe()
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "800x600x24", "-nolisten",
             "tcp"], pass_fds=(write_end,), stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as pipe:
            number = pipe.readline().strip()
        check(number, "Xvfb reported no display number")
        os.environ["DISPLAY"] = ":" + number

    def close(self):
        self.server.terminate()
        self.server.wait()


class SessionBus:
    """A session bus of the test's own, whose accessibility bus lives in a private runtime
    directory: buses of tests that run side by side never meet."""

    def __init__(self, sandbox):
        runtime = os.path.join(sandbox.dir, "runtime")
        os.mkdir(runtime, 0o700)
        os.environ["XDG_RUNTIME_DIR"] = runtime
        out = subprocess.run(["dbus-daemon", "--session", "--fork", "--print-address=1",
                              "--print-pid=1"], check=True, capture_output=True, text=True)
        address, pid = out.stdout.split()
        os.environ["DBUS_SESSION_BUS_ADDRESS"] = address
        self.pid = int(pid)

    def close(self):
        os.kill(self.pid, 15)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True).stdout.split()


def x_windows_named(name):
    return xdotool("search", "--onlyvisible", "--name", "^" + name + "$")


def click(node):
    box = node.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    xdotool("mousemove", str(box.x + min(box.width // 2, 12)),
            str(box.y + box.height // 2), "click", "1")


def press(window_name, key):
    window = wait_for("window " + window_name, lambda: x_windows_named(window_name))[0]
    xdotool("windowfocus", "--sync", window, "key", key)


def states(node):
    s = node.getState()
    return {"checked": s.contains(pyatspi.STATE_CHECKED),
            "enabled": s.contains(pyatspi.STATE_SENSITIVE)}


class Program:
    def __init__(self):
        env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_QPA_PLATFORM="xcb")
        self.process = subprocess.Popen([ARGS.binary], env=env, stderr=subprocess.DEVNULL)

    def app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == self.process.pid:
                return app
        return None

    def top_level(self, name):
        def probe():
            app = self.app()
            if app is None:
                return None
            for i in range(app.childCount):
                child = app.getChildAtIndex(i)
                if child is not None and child.name == name:
                    return child
            return None
        return probe

    def alive_and(self, probe):
        def check_alive():
            code = self.process.poll()
            check(code is None, f"the program ended early with status {code}")
            return probe()
        return check_alive

    def window(self):
        return wait_for("the window", self.alive_and(self.top_level(caption())))

    def controls(self):
        window = self.window()
        found = {}
        for i in range(window.childCount):
            child = window.getChildAtIndex(i)
            found[child.name] = child
        return found

    def message(self, title):
        box = wait_for("the box " + title, self.alive_and(self.top_level(title)))
        texts = []
        buttons = []

        def walk(node):
            role = node.getRole()
            if role == pyatspi.ROLE_LABEL and node.name:
                texts.append(node.name)
            elif role == pyatspi.ROLE_PUSH_BUTTON:
                buttons.append(node)
            for i in range(node.childCount):
                walk(node.getChildAtIndex(i))
        walk(box)
        return texts, buttons

    def expect_message(self, message, close_with_mouse):
        texts, buttons = self.message(message[0])
        check(texts == [message[1]], f"box {message[0]} shows {texts!r}, not {message[1]!r}")
        check(len(buttons) == 1, f"box {message[0]} has {len(buttons)} buttons, not one")
        check(x_windows_named(message[0]), f"no X window titled {message[0]}")
        if close_with_mouse:
            click(buttons[0])
        else:
            press(message[0], "Return")

    def exit_code(self):
        try:
            return self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure("the program did not end after its box was closed")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


FILE_HEAD = b"127.0.0.1\tlocalhost\n# example comment\n"
FILE_TAIL = b"::1\tlocalhost ip6-localhost\n"


def start_file(address):
    middle = entry(address).encode() if address else b""
    return FILE_HEAD + middle + FILE_TAIL


def case_preselection(sandbox):
    """Each start state preselects its button; 其他 is selectable only when preselected."""
    states_and_choice = [("", 0), (ARGS.lines[0], 1), (ARGS.lines[1], 2), (ARGS.lines[2], 3),
                         ("192.0.2.254", 4)]
    first = True
    for address, choice in states_and_choice:
        what = f"start state {address or 'without entry'}"
        if first:
            sandbox.bind_hosts(start_file(address))
        else:
            with open(sandbox.fixture, "wb") as f:
                f.write(start_file(address))
        program = Program()
        try:
            controls = program.controls()
            for i, name in enumerate(CHOICES):
                expected = {"checked": i == choice, "enabled": i != 4 or choice == 4}
                check(states(controls[name]) == expected,
                      f"{what}: {name} is {states(controls[name])}, not {expected}")
            check(states(controls["保存"])["enabled"], f"{what}: Save is disabled")
            if first:
                check_layout(program)
            first = False
        finally:
            program.kill()
        check(sandbox.hosts_bytes() == start_file(address), f"{what}: the file changed")


def check_layout(program):
    window = program.window()
    origin = window.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
    check((origin.width, origin.height) == (340, 143),
          f"the window is {origin.width} x {origin.height}, not 340 x 143")
    check(x_windows_named(caption()), "no X window with the caption " + caption())
    controls = program.controls()
    for name, left, top, width, height in LAYOUT:
        box = controls[name].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        got = (box.x - origin.x, box.y - origin.y, box.width, box.height)
        want = (round(left / 15), round(top / 15), round(width / 15), round(height / 15))
        if name == "保存":
            check(got == want, f"{name} is at {got}, not {want}")
        else:
            # A radio button reports the rectangle that takes clicks: its circle and caption,
            # from the control's left edge, inside the control.
            inside = (got[0] == want[0] and want[1] <= got[1] and got[2] <= want[2]
                      and got[1] + got[3] <= want[1] + want[3])
            check(inside, f"{name} takes clicks at {got}, outside its place {want}")


def case_save_choice(sandbox):
    """A changed choice is saved: the old entry goes, the new one follows every kept line."""
    rows = [  # start address, button to pick, how to save, expected entry, plain file?
        (ARGS.lines[0], "线路2", "click", entry(ARGS.lines[1]).encode(), False),
        (ARGS.lines[1], "自动模式", "enter", b"", False),
        ("", "线路3", "click", entry(ARGS.lines[2]).encode(), True),
        (ARGS.lines[2], None, "enter", entry(ARGS.lines[2]).encode(), False),
    ]
    first = True
    for start, pick, how, new_entry, plain in rows:
        what = f"from {start or 'no entry'} to {pick or 'the preselection'} ({how})"
        if first:
            sandbox.bind_hosts(start_file(start))
            first = False
        else:
            with open(sandbox.fixture, "wb") as f:
                f.write(start_file(start))
        if plain:
            run("umount", "/etc/hosts")
            with open("/etc/hosts", "wb") as f:
                f.write(start_file(start))
        program = Program()
        try:
            controls = program.controls()
            if pick:
                click(controls[pick])
                wait_for(pick + " selected", lambda: states(controls[pick])["checked"])
            if how == "click":
                click(controls["保存"])
            else:
                press(caption(), "Return")
            program.expect_message(SUCCESS, close_with_mouse=(how == "click"))
            code = program.exit_code()
        finally:
            program.kill()
        check(code == 0, f"{what}: exit status {code}")
        want = FILE_HEAD + FILE_TAIL + new_entry
        got = sandbox.hosts_bytes()
        check(got == want, f"{what}: the file holds {got!r}, not {want!r}")
        if plain:
            run("mount", "--bind", sandbox.fixture, "/etc/hosts")


def case_save_disables_button(sandbox):
    """While the box is up Save is greyed out, and a second Enter saves nothing more."""
    sandbox.bind_hosts(start_file(ARGS.lines[0]))
    program = Program()
    try:
        controls = program.controls()
        click(controls["线路2"])
        click(controls["保存"])
        program.message(SUCCESS[0])
        check(not states(controls["保存"])["enabled"], "Save is still enabled")
        after_first = sandbox.hosts_bytes()
        check(after_first == FILE_HEAD + FILE_TAIL + entry(ARGS.lines[1]).encode(),
              f"the file holds {after_first!r}")
        click(controls["保存"])
        program.expect_message(SUCCESS, close_with_mouse=False)
        code = program.exit_code()
    finally:
        program.kill()
    check(code == 0, f"exit status {code}")
    check(sandbox.hosts_bytes() == after_first, "a second press changed the file")


def case_other_saves_nothing(sandbox):
    """其他 (an address the program does not know): success, and the file stays as it was."""
    content = b"10.0.0.1 other.test\r\n" + entry("192.0.2.254").encode() + b"  # keep\n"
    sandbox.bind_hosts(content)
    program = Program()
    try:
        program.controls()
        press(caption(), "Return")
        program.expect_message(SUCCESS, close_with_mouse=True)
        code = program.exit_code()
    finally:
        program.kill()
    check(code == 0, f"exit status {code}")
    check(sandbox.hosts_bytes() == content, "the file changed")


def case_refused_write(sandbox):
    """A read-only hosts file: the failure box, a non-zero status, the file as it was."""
    content = start_file(ARGS.lines[0])
    sandbox.bind_hosts(content, read_only=True)
    program = Program()
    try:
        controls = program.controls()
        click(controls["自动模式"])
        press(caption(), "Return")
        program.expect_message(FAILURE, close_with_mouse=True)
        code = program.exit_code()
    finally:
        program.kill()
    check(code == 1, f"exit status {code}, not 1")
    check(sandbox.hosts_bytes() == content, "the file changed")


def case_missing_hosts(sandbox):
    """No /etc/hosts: an error box naming the path and the error, no window, status non-zero."""
    sandbox.hide_etc()
    check(not os.path.exists("/etc/hosts"), "/etc/hosts is still there")
    program = Program()
    try:
        wait_for("the error box", program.top_level("错误"))
        texts, buttons = program.message("错误")
        check(len(texts) == 1, f"the error box shows {texts!r}")
        for part in ("/etc/hosts", "2", os.strerror(2)):
            check(part in texts[0], f"the error box's text {texts[0]!r} lacks {part!r}")
        check(len(buttons) == 1, f"the error box has {len(buttons)} buttons")
        check(program.top_level(caption())() is None, "the window is shown")
        check(not x_windows_named(caption()), "an X window has the caption")
        press("错误", "Return")
        code = program.exit_code()
    finally:
        program.kill()
    check(code != 0, "exit status 0")
    check(not os.path.exists("/etc/hosts"), "a hosts file was created")


def close_window(name):
    """Asks the window to close as a window manager does when its close button is clicked."""
    from Xlib import X, display as xdisplay, protocol
    window_id = int(wait_for("window " + name, lambda: x_windows_named(name))[0])
    connection = xdisplay.Display()
    window = connection.create_resource_object("window", window_id)
    protocols = connection.intern_atom("WM_PROTOCOLS")
    delete = connection.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    connection.flush()
    connection.close()


def case_close_saves_nothing(sandbox):
    """Closing the window, even after another choice was picked, saves nothing and shows no box."""
    content = start_file(ARGS.lines[0])
    sandbox.bind_hosts(content)
    program = Program()
    try:
        controls = program.controls()
        click(controls["线路3"])
        wait_for("线路3 selected", lambda: states(controls["线路3"])["checked"])
        close_window(caption())
        wait_for("the program to end", lambda: program.process.poll() is not None)
        code = program.process.returncode
    finally:
        program.kill()
    check(code == 0, f"exit status {code}")
    for title in (SUCCESS[0], FAILURE[0]):
        check(not x_windows_named(title), f"a box titled {title} is shown")
    check(sandbox.hosts_bytes() == content, "the file changed")


CASES = {name[len("case_"):]: fn for name, fn in globals().items() if name.startswith("case_")}


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--host", required=True)
    parser.add_argument("--lines", required=True, nargs=3)
    parser.add_argument("case", choices=sorted(CASES))
    ARGS = parser.parse_args()
    if os.geteuid() != 0:
        sys.exit("run as root through: unshare -m -- " + sys.argv[0])

    sandbox = Sandbox()
    display = Display()
    bus = SessionBus(sandbox)
    # Imported only now: the accessibility library reads the bus's address as it loads.
    global pyatspi
    import pyatspi
    pyatspi.Registry.getDesktop(0)  # starts the accessibility bus before the program looks
    try:
        CASES[ARGS.case](sandbox)
    except Failure as failure:
        print(f"FAIL {ARGS.case}: {failure}")
        return 1
    finally:
        bus.close()
        display.close()
    print(f"PASS {ARGS.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
