#!/usr/bin/python3

# SPDX-FileCopyrightText: 2026 Halvern console developers
# SPDX-License-Identifier: GPL-3.0-or-later

"""Reads the signal monitor the way a screen reader does: over the AT-SPI bus.

Starts a private session bus, the accessibility bus, an X server without a
screen and the console with port 1 on a pseudo-terminal that stands in for
the receiver. Clicks port 1, opens the monitor through the bus, sends known
readings one at a time (each once the one before is on the bus), and checks
that every row of the chart is found with the text it shows and that the
rows the readings changed were announced to listeners.

Usage: monitor_atspi.py CONSOLE
Needs /usr/bin/python3 with python3-pyatspi, at-spi2-core, dbus-run-session
and Xvfb (scripts/install-deps installs them).
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import tty

ROWS = 37
DEADLINE_S = 30

# The readings the receiver sends, oldest first: (transmitter, level).
# Transmitter 0 is a scanning message; telemetry carries levels 0 to 15.
READINGS = [
    (74565, 7),
    (1234, 9),
    (0, 5),           # scanning
    (16777215, 10),   # the largest transmitter number
    (42, 0),
    (77, 12),         # beyond the scale: the number is still shown
    (0, 200),         # a scanning level byte far beyond the scale
]

# Rows whose middle is looked up by point: the top, one between, the newest.
HIT_ROWS = [0, 18, ROWS - 1]


def fail(message):
    print("FAIL: " + message)
    sys.exit(1)


def crc16_modbus(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def message(transmitter, level):
    """One message as the receiver sends it: a temperature frame, or a scanning message."""
    if transmitter == 0:
        return bytes([ord("S"), level])
    body = transmitter.to_bytes(3, "big") + bytes([0x03, 0x00, 0x2B, 0x00, level << 4])
    crc = crc16_modbus(body)
    return bytes([0x82]) + body + bytes([crc & 0xFF, crc >> 8])


def expected_rows():
    shown = [(0, 0)] * ROWS + READINGS
    return ["row %d: transmitter %d, level %d" % (i + 1, tx, level)
            for i, (tx, level) in enumerate(shown[-ROWS:])]


def start(args, **kwargs):
    process = subprocess.Popen(args, **kwargs)
    started.append(process)
    return process


started = []


def stop_all():
    for process in reversed(started):
        if process.poll() is None:
            process.terminate()
            try:
                process.wait(5)
            except subprocess.TimeoutExpired:
                process.kill()


def start_x_server():
    """An X server on a display of its own, returned once it takes clients.

    Displays from 100 up, away from the low ones that other programs on the
    machine choose for themselves; a server that finds its display taken ends.
    It must not reset when a client leaves (the bus launcher looks in and
    goes): clients that connect meanwhile are turned away.
    """
    first = 100 + os.getpid() % 400
    for number in range(first, first + 50):
        read_end, write_end = os.pipe()
        server = start(["Xvfb", ":%d" % number, "-displayfd", str(write_end), "-screen", "0", "1280x1024x24",
                        "-noreset", "-nolisten", "tcp"], pass_fds=[write_end], stderr=subprocess.DEVNULL)
        os.close(write_end)
        with os.fdopen(read_end) as displayfd:
            ready = displayfd.readline().strip()   # empty when the server ended
        if ready:
            return ready
        server.wait()
        started.remove(server)
    fail("no free display for Xvfb")


def main(console):
    for tool in ("Xvfb", "/usr/libexec/at-spi-bus-launcher"):
        if not shutil.which(tool):
            fail(tool + " is missing (scripts/install-deps installs it)")
    try:
        import pyatspi
        from gi.repository import Gio, GLib
    except ImportError as error:
        fail("%s (scripts/install-deps installs python3-pyatspi)" % error)

    context = GLib.MainContext.default()

    def wait_for(what, condition, explain=lambda: ""):
        """Polls `condition`, handling bus events meanwhile, until it holds."""
        deadline = time.monotonic() + DEADLINE_S
        while True:
            while context.pending():
                context.iteration(False)
            result = condition()
            if result:
                return result
            for process in started:
                if process.poll() is not None:
                    fail("%s ended (status %d) while waiting for %s" % (process.args[0], process.returncode, what))
            if time.monotonic() > deadline:
                fail("no %s within %d s%s" % (what, DEADLINE_S, explain()))
            # Wake on the next bus message, or after a short while at the latest.
            GLib.timeout_add(50, lambda: False)
            context.iteration(True)

    work = tempfile.mkdtemp()
    try:
        display = start_x_server()
        session = Gio.bus_get_sync(Gio.BusType.SESSION, None)

        def has_owner(name):
            reply = session.call_sync("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "NameHasOwner", GLib.Variant("(s)", (name,)), None,
                                      Gio.DBusCallFlags.NONE, -1, None)
            return reply.unpack()[0]

        # The accessibility bus's registry makes the mouse clicks on this display.
        os.environ["DISPLAY"] = ":" + display
        start(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"], stderr=subprocess.DEVNULL)
        wait_for("accessibility bus", lambda: has_owner("org.a11y.Bus"))

        # The receiver's end of the line; the console opens the other.
        receiver, line = os.openpty()
        tty.setraw(line)
        env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        start([console, "--port", "1=" + os.ttyname(line)], env=env, cwd=work)

        desktop = pyatspi.Registry.getDesktop(0)

        def find(root, role, name):
            return pyatspi.findDescendant(root, lambda a: a.getRole() == role and a.name == name)

        def application():
            for app in desktop:
                if app is not None and app.name == "halvern-console":
                    return app
            return None

        app = wait_for("console on the bus", application,
                       lambda: "; applications: %s" % [a.name for a in desktop if a is not None])
        monitor_button = wait_for("\"Signal Monitor\" button",
                                  lambda: find(app, pyatspi.ROLE_PUSH_BUTTON, "Signal Monitor"))
        port_button = wait_for("port 1 button", lambda: find(app, pyatspi.ROLE_RADIO_BUTTON, "1"))

        # A mouse click, as the port's button offers only "Toggle", which opens no port.
        x, y, width, height = port_button.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        pyatspi.Registry.generateMouseEvent(x + width // 2, y + height // 2, pyatspi.MOUSE_B1C)
        wait_for("port 1 chosen", lambda: port_button.getState().contains(pyatspi.STATE_CHECKED))

        # Listen as a screen reader does, for rows whose names change.
        announced = set()

        def on_name_change(event):
            source = event.source
            if source.parent is not None and source.parent.getRole() == pyatspi.ROLE_CHART:
                announced.add(source.getIndexInParent())

        pyatspi.Registry.registerEventListener(on_name_change, "object:property-change:accessible-name")

        press(monitor_button)
        chart = wait_for("chart in the monitor",
                         lambda: pyatspi.findDescendant(app, lambda a: a.getRole() == pyatspi.ROLE_CHART))
        if chart.name != "Signal levels":
            fail("the chart is named %r" % chart.name)
        before = [row.name for row in chart]
        if before != ["row %d: transmitter 0, level 0" % (i + 1) for i in range(ROWS)]:
            fail("an empty history reads %r" % before[:3])

        # Each reading once the one before shows: the silence between them frames them.
        newest = chart[ROWS - 1]
        for transmitter, level in READINGS:
            os.write(receiver, message(transmitter, level))
            want = "row %d: transmitter %d, level %d" % (ROWS, transmitter, level)
            wait_for("newest row %r" % want, lambda: newest.name == want)

        expected = expected_rows()
        shown = [row.name for row in chart]
        for i, (want, got) in enumerate(zip(expected, shown)):
            if want != got:
                fail("row %d reads %r, not %r" % (i + 1, got, want))
        roles = {row.getRoleName() for row in chart}
        if roles != {"label"}:
            fail("rows have roles %s, not label" % roles)

        # Where a reader's mouse review points, it finds the row drawn there.
        for index in HIT_ROWS:
            x, y, width, height = chart[index].queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            hit = chart.queryComponent().getAccessibleAtPoint(x + width // 2, y + height // 2, pyatspi.DESKTOP_COORDS)
            if hit is None or hit.name != expected[index]:
                fail("the middle of row %d holds %r" % (index + 1, hit.name if hit else None))

        changed = set(range(ROWS - len(READINGS), ROWS))
        wait_for("name-changed events for every changed row", lambda: changed <= announced,
                 lambda: "; rows not announced: %s" % [i + 1 for i in sorted(changed - announced)])
        print("PASS: %d rows read over AT-SPI, %d changed rows announced" % (ROWS, len(changed)))
    finally:
        stop_all()
        shutil.rmtree(work, ignore_errors=True)


def press(button):
    actions = button.queryAction()
    names = [actions.getName(i) for i in range(actions.nActions)]
    if "Press" not in names:
        fail("%r offers no press action, only %s" % (button.name, names))
    actions.doAction(names.index("Press"))


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    if "HALVERN_PRIVATE_BUS" not in os.environ:
        # A private session bus, so nothing else on the machine hears or disturbs the test.
        if not shutil.which("dbus-run-session"):
            fail("dbus-run-session is missing (scripts/install-deps installs it)")
        os.environ["HALVERN_PRIVATE_BUS"] = "1"
        os.execvp("dbus-run-session", ["dbus-run-session", "--", sys.executable] + sys.argv)
    main(os.path.abspath(sys.argv[1]))
