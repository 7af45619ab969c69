"""The panel's sample-rate selector as assistive technologies see it (at-spi), for the system
tests. Run with the session bus that the panel's at-spi bridge uses.

  a11y.py rate                 prints the checked rate cell (or "none") and the rate text:
                               "44.1 kHz|44100 Hz", "none|No rate"
  a11y.py cell NAME            prints the centre of the rate cell NAME ("96 kHz") in screen
                               pixels: "X Y"
  a11y.py grab NAME             gives the focus to the control NAME
  a11y.py focus                prints whether the panel's window is active and what has the
                               focus, with its description: "active|Input 1 level|-9.1 dB";
                               "inactive|none|" when nothing does
  a11y.py statusbar            prints the status bar's text; exit 1 when there is none
  a11y.py follow READY HW_PARAMS RATE STATE TIMEOUT
                               once connected, makes the file READY; then waits for the kernel's
                               hw_params file to say RATE, then for the panel's rate to read STATE
                               (as "rate" prints it); prints the seconds between the two. Exit 1
                               when either never happens within TIMEOUT s.
"""
import re
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402


def panel():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is not None and app.get_name() == "zorvex-panel":
            return app
    return None


def find(node, predicate):
    if node is None:
        return None
    if predicate(node):
        return node
    for i in range(node.get_child_count()):
        found = find(node.get_child_at_index(i), predicate)
        if found is not None:
            return found
    return None


def selector(app):
    return find(app, lambda a: a.get_role_name() == "filler" and a.get_name() == "Sample rate")


class RateView:
    """The rate cells and the rate text, found once: a poll then asks only for their states and
    the text, which keeps its cost (and so the follower's own delay) small under emulation."""

    def __init__(self, app):
        # Every question goes to the panel: nothing read earlier is answered from a cache.
        app.set_cache_mask(Atspi.Cache.NONE)
        self.cells = []
        self.text = None
        group = selector(app)
        if group is None:
            return
        self.cells = [group.get_child_at_index(i) for i in range(group.get_child_count())]
        self.names = [c.get_name() for c in self.cells]
        # The rate text is the label right after the selector.
        parent = group.get_parent()
        for i in range(group.get_index_in_parent() + 1, parent.get_child_count()):
            sibling = parent.get_child_at_index(i)
            if sibling.get_role_name() == "label":
                self.text = sibling
                break

    def state(self):
        """'CELL|TEXT' as the window shows it now."""
        checked = [n for n, c in zip(self.names, self.cells) if c.get_state_set().contains(Atspi.StateType.CHECKED)]
        text = self.text.get_name() if self.text is not None else None
        return "%s|%s" % (",".join(checked) or "none", text)


def kernel_rate(hw_params):
    try:
        with open(hw_params) as f:
            m = re.search(r"^rate: (\d+)", f.read(), re.M)
            return int(m.group(1)) if m else None
    except OSError:
        return None


def main(argv):
    app = panel()
    if app is None:
        print("a11y: no zorvex-panel on the accessibility bus", file=sys.stderr)
        return 2
    if argv[0] == "rate":
        print(RateView(app).state())
        return 0
    if argv[0] == "cell":
        cell = find(selector(app), lambda a: a.get_role_name() == "radio button" and a.get_name() == argv[1])
        if cell is None:
            return 1
        box = cell.get_extents(Atspi.CoordType.SCREEN)
        print(box.x + box.width // 2, box.y + box.height // 2)
        return 0
    if argv[0] == "grab":
        control = find(app, lambda a: a.get_name() == argv[1] and a.get_role_name() != "frame")
        return 0 if control is not None and control.grab_focus() else 1
    if argv[0] == "focus":
        app.set_cache_mask(Atspi.Cache.NONE)
        frame = app.get_child_at_index(0)
        active = frame is not None and frame.get_state_set().contains(Atspi.StateType.ACTIVE)
        focused = find(frame, lambda a: a.get_state_set().contains(Atspi.StateType.FOCUSED))
        print("%s|%s|%s" % ("active" if active else "inactive", focused.get_name() if focused else "none",
                            focused.get_description() if focused else ""))
        return 0
    if argv[0] == "statusbar":
        bar = find(app, lambda a: a.get_role_name() == "status bar")
        if bar is None:
            return 1
        print(bar.get_name())
        return 0
    if argv[0] == "follow":
        ready, hw_params, rate, want, timeout = argv[1], argv[2], int(argv[3]), argv[4], float(argv[5])
        view = RateView(app)
        open(ready, "w").close()
        until = time.monotonic() + timeout
        while kernel_rate(hw_params) != rate:
            if time.monotonic() > until:
                print("a11y: the kernel never ran at %d" % rate, file=sys.stderr)
                return 1
            time.sleep(0.01)
        running = time.monotonic()
        until = running + timeout
        seen = None
        while True:
            seen = view.state()
            if seen == want:
                break
            if time.monotonic() > until:
                print("a11y: the panel shows %s, not %s" % (seen, want), file=sys.stderr)
                return 1
            time.sleep(0.01)
        print("%.3f" % (time.monotonic() - running))
        return 0
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
