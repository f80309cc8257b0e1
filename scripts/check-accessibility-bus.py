#!/usr/bin/python3
"""What a screen reader sees of the main window, read over the accessibility bus.

Starts the built program on a private X server (Xvfb) inside a private D-Bus
session with the AT-SPI registry, opens a short generated video (so that the
trim fields and the position field show times), and walks the window's
accessibility tree with pyatspi: every shown control with its role, name,
description, text and value. Ends with status 1 when a shown control has no
name or a time field does not expose its time.

    scripts/check-accessibility-bus.py [build/orvelin]

Needs xvfb, dbus, at-spi2-core, python3-pyatspi and gst-launch-1.0.
"""
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))


def relaunch_inside_session():
    # One private X server and D-Bus session for the program and this script.
    if os.environ.get("ORVELIN_ATSPI_INNER") == "1":
        return
    env = dict(os.environ, ORVELIN_ATSPI_INNER="1")
    cmd = ["xvfb-run", "-a", "-s", "-screen 0 1280x1024x24", "dbus-run-session", "--",
           "/usr/bin/python3", os.path.abspath(__file__)] + sys.argv[1:]
    sys.exit(subprocess.call(cmd, env=env))


def start_registry():
    for candidate in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher"):
        if os.path.exists(candidate):
            return subprocess.Popen([candidate, "--launch-immediately"])
    sys.exit("at-spi-bus-launcher not found (install at-spi2-core)")


def make_clip(folder):
    clip = os.path.join(folder, "reader clip.mkv")
    subprocess.check_call(
        ["gst-launch-1.0", "-q", "videotestsrc", "num-buffers=75", "!",
         "video/x-raw,width=160,height=120,framerate=25/1", "!", "x264enc", "!",
         "matroskamux", "!", "filesink", "location=" + clip])
    return clip


def describe(node):
    import pyatspi
    text = ""
    value = ""
    try:
        t = node.queryText()
        text = t.getText(0, t.characterCount)
    except NotImplementedError:
        pass
    try:
        value = str(node.queryValue().currentValue)
    except NotImplementedError:
        pass
    shown = node.getState().contains(pyatspi.STATE_SHOWING)
    return node.getRoleName(), node.name, node.description, text, value, shown


def find_app(name, seconds=20):
    import pyatspi
    deadline = time.time() + seconds
    while time.time() < deadline:
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.name == name:
                for j in range(app.childCount):
                    window = app.getChildAtIndex(j)
                    if window is not None and window.name.startswith("Orvelin"):
                        return app, window
        time.sleep(0.3)
    return None, None


def main():
    relaunch_inside_session()
    program = os.path.abspath(sys.argv[1] if len(sys.argv) > 1
                              else os.path.join(HERE, "..", "build", "orvelin"))
    registry = start_registry()
    time.sleep(1.0)
    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    with tempfile.TemporaryDirectory() as folder:
        env["XDG_CONFIG_HOME"] = os.path.join(folder, "config")
        clip = make_clip(folder)
        app_process = subprocess.Popen([program, clip], env=env)
        try:
            return inspect()
        finally:
            app_process.terminate()
            app_process.wait(10)
            registry.terminate()


def inspect():
    app, window = find_app("orvelin")
    if window is None:
        print("the program did not appear on the accessibility bus")
        return 1
    # The video opens once the window is up; wait for the position text.
    deadline = time.time() + 20
    while time.time() < deadline:
        if any(node.name == "Position and length" and describe(node)[3]
               for node in children(window)):
            break
        time.sleep(0.3)
    failures = []
    print("%-12s | %-22s | %-24s | %-24s | %s" % ("role", "name", "description", "text", "value"))
    for node in children(window):
        role, name, description, text, value, shown = describe(node)
        if not shown:
            continue
        print("%-12s | %-22s | %-24s | %-24s | %s" % (role, name[:22], description[:24], text[:24], value))
        if role not in ("panel", "filler") and not name.strip():
            failures.append("unnamed %s" % role)
    times = {describe(n)[1]: describe(n)[3] for n in children(window)}
    for field in ("Start time", "End time", "Position and length"):
        if not times.get(field, "").startswith("00:00:"):
            failures.append("%s exposes no time (%r)" % (field, times.get(field)))
    print()
    print("\n".join(failures) if failures else
          "every shown control has a name; the time fields read %s, %s and %s"
          % (times["Start time"], times["End time"], times["Position and length"]))
    return 1 if failures else 0


def children(window):
    for i in range(window.childCount):
        child = window.getChildAtIndex(i)
        if child is not None:
            yield child


if __name__ == "__main__":
    sys.exit(main())
