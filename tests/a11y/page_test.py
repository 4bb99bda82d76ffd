#!/usr/bin/env python3
"""Walks the demo's connected page through the accessibility bus, as a screen reader would.

Run under a display and a private session bus (dbus-run-session). Exit 77 (skipped) only when
the accessibility bus itself cannot be reached; everything after that is a pass or a failure.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77
DEADLINE = time.monotonic() + 60


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


try:
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import Atspi
except (ImportError, ValueError) as error:
    print(f"skipped: no AT-SPI client library ({error})")
    sys.exit(SKIP)

if not os.environ.get("DISPLAY"):
    fail("no display: run under xvfb-run")
try:
    desktop = Atspi.get_desktop(0)
    desktop.get_child_count()
except Exception as error:  # the bus or its registry did not start
    print(f"skipped: accessibility bus unavailable ({error})")
    sys.exit(SKIP)


def wait_for(what, find, seconds):
    end = min(DEADLINE, time.monotonic() + seconds)
    while time.monotonic() < end:
        found = find()
        if found:
            return found
        time.sleep(0.2)
    fail("timed out waiting for " + what)


def children(node):
    try:
        count = node.get_child_count()
    except Exception:
        return []
    return [c for c in (node.get_child_at_index(i) for i in range(count)) if c is not None]


def walk(node, depth=0):
    if depth > 40:  # a cycle would be a bridge fault; never hang on it
        return
    yield node
    for child in children(node):
        yield from walk(child, depth + 1)


def name_of(node):
    try:
        return node.get_name() or ""
    except Exception:
        return ""


def role_of(node):
    try:
        return node.get_role()
    except Exception:
        return None


def has_state(node, state):
    return node.get_state_set().contains(state)


demo = sys.argv[1]
work = tempfile.mkdtemp()
# The single-instance check goes by the executable's name: a name of our own.
copy = os.path.join(work, f"qn718-a11y-{os.getpid()}")
shutil.copy(demo, copy)
env = dict(os.environ, HOME=work, USERPROFILE=work, LANG="C.UTF-8",
           GTK_MODULES="gail:atk-bridge", GNOME_ACCESSIBILITY="1",
           QN718_SIM_MEMORY_FILE="", QN718_SIM_MOTION="0", QN718_SIM_STATUS="0",
           QN718_UPDATE_SERVER="127.0.0.1:1")
env.pop("NO_AT_BRIDGE", None)
program = subprocess.Popen([copy], env=env)
try:
    app = wait_for("the program on the accessibility bus",
                   lambda: next((a for a in children(desktop)
                                 if name_of(a) == os.path.basename(copy)), None), 20)

    # The CAN-speed warning of this simulated device comes up as the page is built.
    # (The start-up update check, pointed at a closed port, may show its own message first;
    # the warning then takes its place.)
    def description(node):
        try:
            return node.get_description() or ""
        except Exception:
            return ""
    wait_for("the warning read out from the message window", lambda: next(
        (n for n in walk(app)
         if role_of(n) == Atspi.Role.ALERT and "WARNING" in description(n)), None), 20)

    expected = {
        "Car manufacturer:": Atspi.Role.COMBO_BOX,
        "Car model:": Atspi.Role.COMBO_BOX,
        "CAN-bus level selection:": Atspi.Role.TEXT,
        "Switch ON speed Von (front):": Atspi.Role.COMBO_BOX,
        "Switch OFF speed Voff (front):": Atspi.Role.COMBO_BOX,
        "Hold-on time (V>Voff) (front):": Atspi.Role.COMBO_BOX,
        "Switch-off time at zero speed, (V=0km/h) (front):": Atspi.Role.COMBO_BOX,
        "Analogue ignition input:": Atspi.Role.COMBO_BOX,
        "Speedometer signal input scale:": Atspi.Role.COMBO_BOX,
        "Programmable output J1-4:": Atspi.Role.COMBO_BOX,
    }

    def page_controls():
        found = {}
        for node in walk(app):
            name = name_of(node)
            if name in expected and role_of(node) == expected[name]:
                found[name] = node
        return found if len(found) == len(expected) else None

    controls = wait_for("every row's control named after its label", page_controls, 20)
    for name, control in controls.items():
        labels = [target for relation in control.get_relation_set()
                  if relation.get_relation_type() == Atspi.RelationType.LABELLED_BY
                  for target in (relation.get_target(i) for i in range(relation.get_n_targets()))]
        if name not in [name_of(label) for label in labels]:
            fail(f"{name!r} is not labelled by its row label ({[name_of(l) for l in labels]})")

    indicators = {name_of(n): n for n in walk(app) if role_of(n) == Atspi.Role.TOGGLE_BUTTON}
    for name, lit in (("IGNITION (CAN)", True), ("OUTPUT_J1-3_FRONT_SENSOR", False)):
        if name not in indicators:
            fail(f"no status light {name!r} among {sorted(indicators)}")
        if has_state(indicators[name], Atspi.StateType.CHECKED) != lit:
            fail(f"{name!r} should read as {'on' if lit else 'off'}")
    print(f"{len(controls)} controls named by their rows, {len(indicators)} status lights, "
          "the message window read out")
finally:
    program.terminate()
    try:
        program.wait(5)
    except subprocess.TimeoutExpired:
        program.kill()
    shutil.rmtree(work, ignore_errors=True)
