"""A zonter window as seen through the AT-SPI accessibility bus: the Linux
driver of the end-to-end scenarios (the calls are listed in scenarios.py).

Controls are found by their accessible description, which holds the
control's identifier (IDC_CONNECT, ...). Everything is done as an assistive
technology would: actions, editable text, values and key presses."""

import subprocess

import pyatspi

from processes import Deadline, wait_until

KEY_DOWN = 0xFF54  # X keysyms
KEY_UP = 0xFF52
KEY_END = 0xFF57
KEY_BACKSPACE = 0xFF08
KEY_RETURN = 0xFF0D

KINDS = {pyatspi.ROLE_PUSH_BUTTON: "push button", pyatspi.ROLE_CHECK_BOX: "check box",
         pyatspi.ROLE_SLIDER: "slider", pyatspi.ROLE_COMBO_BOX: "combo box", pyatspi.ROLE_TEXT: "text",
         pyatspi.ROLE_LABEL: "label"}


def _fresh(acc):
    # libatspi may cache names and states; a checker wants what is on screen now.
    try:
        acc.clear_cache()
    except AttributeError:
        pass
    return acc


def find_application(pid, timeout=30):
    def look():
        desktop = pyatspi.Registry.getDesktop(0)
        for i in range(desktop.childCount):
            app = desktop.getChildAtIndex(i)
            if app is not None and app.get_process_id() == pid:
                return app
        return None

    return wait_until(look, timeout, f"the application (pid {pid}) on the accessibility bus")


def _viewable_top_windows():
    """The X windows directly under the root that are mapped and viewable,
    each with its upper-left corner on the screen."""
    out = subprocess.run(["xwininfo", "-root", "-children"], capture_output=True, text=True).stdout
    ids = [line.split()[0] for line in out.splitlines() if line.strip().startswith("0x")]
    shown = {}
    for wid in ids:
        info = subprocess.run(["xwininfo", "-id", wid], capture_output=True, text=True).stdout
        if "IsViewable" not in info:
            continue
        corner = {}
        for line in info.splitlines():
            key, _, value = line.strip().partition(":")
            if key in ("Absolute upper-left X", "Absolute upper-left Y"):
                corner[key[-1]] = int(value)
        shown[wid] = (corner.get("X"), corner.get("Y"))
    return shown


class Window:
    def __init__(self, pid, title_part="Zonter", timeout=30, required="IDC_CONNECT"):
        self.pid = pid
        self.app = find_application(pid, timeout)

        def dialog_with_controls():
            for i in range(_fresh(self.app).childCount):
                child = self.app.getChildAtIndex(i)
                if child is not None and title_part in (child.name or ""):
                    controls = self._index(child)
                    if required in controls:
                        return child, controls
            return None

        self.dialog, self.controls = wait_until(dialog_with_controls, timeout, f"the window {title_part!r} and its controls")

    @staticmethod
    def _index(root):
        found = {}

        def walk(acc):
            if acc.description:
                found.setdefault(acc.description, acc)
            # A list's cells are read through its table, not indexed: it
            # may hold thousands.
            if acc.getRole() in (pyatspi.ROLE_TABLE, pyatspi.ROLE_TREE_TABLE, pyatspi.ROLE_LIST):
                return
            for i in range(acc.childCount):
                child = acc.getChildAtIndex(i)
                if child is not None:
                    walk(child)

        walk(root)
        return found

    def control(self, ident):
        try:
            return self.controls[ident]
        except KeyError:
            raise AssertionError(f"no control with the identifier {ident} in the window") from None

    # ----- reading ----------------------------------------------------

    def title(self):
        return _fresh(self.dialog).name or ""

    def text(self, ident):
        """The control's text: the Text interface where it has one (edits),
        else its accessible name (labels, and a combo box's shown entry)."""
        acc = _fresh(self.control(ident))
        if "Text" in acc.get_interfaces():
            return acc.queryText().getText(0, -1)
        return acc.name or ""

    def name(self, ident):
        return _fresh(self.control(ident)).name or ""

    caption = name

    def kind(self, ident):
        return KINDS.get(self.control(ident).getRole(), "other")

    def visible(self, ident):
        return self.has_state(ident, pyatspi.STATE_SHOWING)

    def layout(self):
        """Every child control of the window, labels included."""
        x0, y0, _, _ = self.rect()
        out = []
        for i in range(_fresh(self.dialog).childCount):
            acc = _fresh(self.dialog.getChildAtIndex(i))
            box = acc.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            out.append({"ident": acc.description or None, "kind": KINDS.get(acc.getRole(), "other"),
                        "text": acc.name or "", "rect": (box.x - x0, box.y - y0, box.width, box.height),
                        "visible": acc.getState().contains(pyatspi.STATE_SHOWING)})
        return out

    def has_state(self, ident, state):
        return _fresh(self.control(ident)).getState().contains(state)

    def enabled(self, ident):
        return self.has_state(ident, pyatspi.STATE_ENABLED)

    def checked(self, ident):
        return self.has_state(ident, pyatspi.STATE_CHECKED)

    def value(self, ident):
        return _fresh(self.control(ident)).queryValue().currentValue

    def rows(self, ident):
        """A report list's rows: per row a list of (text, description) per
        cell; the description names the highlighted characters."""
        table = _fresh(self.control(ident)).queryTable()
        rows = []
        for r in range(table.nRows):
            cells = []
            for c in range(table.nColumns):
                cell = table.getAccessibleAt(r, c)
                cells.append(("", "") if cell is None else (cell.name or "", cell.description or ""))
            rows.append(cells)
        return rows

    def row_count(self, ident):
        return _fresh(self.control(ident)).queryTable().nRows

    def texts(self, idents):
        return {ident: self.text(ident) for ident in idents}

    # ----- acting -----------------------------------------------------

    def _do(self, ident, *action_names):
        acc = _fresh(self.control(ident))
        action = acc.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        for wanted in action_names:
            if wanted in names:
                if not action.doAction(names.index(wanted)):
                    raise AssertionError(f"{ident}: action {wanted} was refused")
                return
        raise AssertionError(f"{ident} offers none of {action_names} (it offers {names}; disabled?)")

    def press(self, ident):
        self._do(ident, "Press", "press", "Click", "click")

    # The accessible action reaches a button that is not on screen too, and
    # does not wait for what its handler opens or closes.
    press_hidden = press
    press_and_go = press

    def step(self, spin, up):
        """Presses one arrow of an up-down control (its _UP or _DOWN button)."""
        self.press(f"{spin}_UP" if up else f"{spin}_DOWN")

    def set_checked(self, ident, ticked, timeout=5):
        """Ticks or clears a check box with its accessible action."""
        if self.checked(ident) != ticked:
            self._do(ident, "Toggle", "toggle", "Press", "press", "Click", "click")
        wait_until(lambda: self.checked(ident) == ticked, timeout, f"{ident} to be {'ticked' if ticked else 'clear'}")

    def click(self, ident):
        """Clicks the middle of a control with the mouse (a synthetic X event)."""
        box = _fresh(self.control(ident)).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        if box.width <= 0 or box.height <= 0:
            raise AssertionError(f"{ident} is not on screen")
        pyatspi.Registry.generateMouseEvent(box.x + box.width // 2, box.y + box.height // 2, "b1c")

    def _click_into(self, ident, timeout):
        """Clicks into a field and waits for it to have the focus before any
        key goes out: a click on a dialog that has only just been shown can
        come before the dialog takes input, and the keys would then reach
        another control."""
        self.click(ident)
        wait_until(lambda: self.has_state(ident, pyatspi.STATE_FOCUSED), timeout, f"{ident} to take the focus")

    def click_checked(self, ident, ticked, timeout=5):
        """Ticks or clears a check box with a mouse click."""
        if self.checked(ident) != ticked:
            self.click(ident)
        wait_until(lambda: self.checked(ident) == ticked, timeout, f"{ident} to be {'ticked' if ticked else 'clear'}")

    def set_value(self, ident, value):
        acc = _fresh(self.control(ident))
        acc.queryValue().currentValue = value
        wait_until(lambda: self.value(ident) == value, 5, f"{ident} to take the value {value}")

    def type_text(self, ident, text, timeout=5):
        """Types `text` into a control's field from the keyboard, as a person
        does: a click into the field, then the keys."""
        before = self.name(ident)
        self._click_into(ident, timeout)
        pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)
        wait_until(lambda: self.name(ident) != before, timeout, f"{ident} to show the typed {text!r}")

    def replace_text(self, ident, text, timeout=5):
        """Types `text` over a field's whole text from the keyboard: a click
        into the field, End, a Backspace per character, then the keys."""
        self._click_into(ident, timeout)
        for keysym in [KEY_END] + [KEY_BACKSPACE] * len(self.text(ident)):
            pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
        pyatspi.Registry.generateKeyboardEvent(0, text, pyatspi.KEY_STRING)
        wait_until(lambda: self.text(ident) == text, timeout,
                   lambda: f"{ident} to show the typed {text!r} (it shows {self.text(ident)!r})")

    def combo_state(self, ident):
        """Whether a combo box's list is open; which entry is selected cannot
        be told (scenarios.NOT_ON)."""
        return {"open": self.has_state(ident, pyatspi.STATE_EXPANDED), "selection": None}

    def entries(self, ident):
        """The entries of a combo box's list."""
        combo = _fresh(self.control(ident))
        for i in range(combo.childCount):
            child = combo.getChildAtIndex(i)
            if child is not None and child.getRole() == pyatspi.ROLE_LIST:
                return [child.getChildAtIndex(k).name for k in range(child.childCount)]
        raise AssertionError(f"{ident} has no list")

    def select_entry(self, ident, entry, timeout=10):
        """Picks a combo box entry the way a keyboard user does: open the
        list, step to the entry with the arrow keys, confirm with Return."""
        entries = self.entries(ident)
        if entry not in entries:
            raise AssertionError(f"{ident} has no entry {entry!r}; it has {entries}")
        if self.name(ident) == entry:
            return
        current = entries.index(self.name(ident)) if self.name(ident) in entries else 0
        target = entries.index(entry)
        self.press(ident)
        wait_until(lambda: self.has_state(ident, pyatspi.STATE_EXPANDED), timeout, f"the list of {ident} to open")
        key = KEY_DOWN if target > current else KEY_UP
        for _ in range(abs(target - current)):
            pyatspi.Registry.generateKeyboardEvent(key, None, pyatspi.KEY_SYM)
        pyatspi.Registry.generateKeyboardEvent(KEY_RETURN, None, pyatspi.KEY_SYM)
        wait_until(lambda: self.name(ident) == entry, timeout, f"{ident} to show {entry!r}")
        wait_until(lambda: not self.has_state(ident, pyatspi.STATE_EXPANDED), timeout, f"the list of {ident} to close")

    def chart(self, ident):
        """What a strip chart shows: its accessible description holds it (a
        chart has no identifier on the accessibility bus), so the window's
        one chart is the child whose role is a frame's."""
        charts = [self.dialog.getChildAtIndex(i) for i in range(self.dialog.childCount)]
        charts = [c for c in charts if c is not None and c.getRole() == pyatspi.ROLE_FRAME]
        if len(charts) != 1:
            raise AssertionError(f"{len(charts)} charts in the window, looking for {ident}")
        return _fresh(charts[0]).description or ""

    def rect(self):
        """The window's rectangle on the screen: x, y, width, height."""
        box = _fresh(self.dialog).queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        return box.x, box.y, box.width, box.height

    def window_menu(self, command):
        """Picks an item of the window menu as a person does: a right click on
        the dialog's free corner opens the menu, and the item is chosen with
        the keyboard (Up from the top wraps to the last item)."""
        from scenarios import WINDOW_MENU

        before = set(_viewable_top_windows())
        x, y, _, _ = self.rect()
        click = (x + 3, y + 3)

        # Qt does not show its pop-up menus to AT-SPI: the menu's own X
        # window, mapped with its corner at the click, says it is open.
        # Any other new window (a tool tip) does not: keys sent then would
        # reach the dialog, where Enter ends the program. With no window
        # manager on the display, the first click after a dialog over the
        # window was closed can go unanswered; a person clicks again, and
        # so does this, twice at the most.
        def menu_open():
            return any(wid not in before and abs(cx - click[0]) <= 1 and abs(cy - click[1]) <= 1
                       for wid, (cx, cy) in _viewable_top_windows().items() if cx is not None and cy is not None)

        for attempt in range(3):
            pyatspi.Registry.generateMouseEvent(*click, "b3c")
            try:
                wait_until(menu_open, 4, "the window menu to open at the click")
                break
            except Deadline:
                if attempt == 2:
                    raise
        for keysym in [KEY_UP] * (len(WINDOW_MENU) - WINDOW_MENU.index(command)) + [KEY_RETURN]:
            pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)

    def find_window(self, title, required, timeout=30):
        return Window(self.pid, title_part=title, timeout=timeout, required=required)

    def wait_gone(self, timeout=10):
        def gone():
            try:
                return not _fresh(self.dialog).getState().contains(pyatspi.STATE_SHOWING)
            except Exception:  # the dialog's object has left the bus
                return True

        wait_until(gone, timeout, f"the window {self.dialog.name!r} to go")
