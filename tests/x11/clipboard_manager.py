#!/usr/bin/python3
# Debian's python3, where python3-xlib installs, not whichever comes first on PATH.
"""A clipboard manager as far as an exiting program sees one: owns
CLIPBOARD_MANAGER and answers a SAVE_TARGETS request by copying the text of
the CLIPBOARD, then prints that text and ends.

Usage: clipboard_manager.py save|multiple|silent
  save      fetches TARGETS, then UTF8_STRING
  multiple  fetches TARGETS, then UTF8_STRING through MULTIPLE
  silent    never answers
It prints "ready" once it owns CLIPBOARD_MANAGER.
"""
import sys

from Xlib import X, display
from Xlib.protocol import event


def main():
    mode = sys.argv[1]
    d = display.Display()
    atom = d.intern_atom
    window = d.screen().root.create_window(0, 0, 1, 1, 0, X.CopyFromParent)
    window.set_selection_owner(atom("CLIPBOARD_MANAGER"), X.CurrentTime)
    d.flush()
    if d.get_selection_owner(atom("CLIPBOARD_MANAGER")) != window:
        sys.exit("could not own CLIPBOARD_MANAGER")
    print("ready", flush=True)

    def fetch(target, time):
        """The CLIPBOARD converted to target, as the property's value."""
        window.convert_selection(atom("CLIPBOARD"), target, atom("KV7_FETCHED"), time)
        while True:
            e = d.next_event()
            if e.type == X.SelectionNotify:
                if e.property == X.NONE:
                    sys.exit("the owner refused %s" % d.get_atom_name(target))
                return window.get_full_property(e.property, X.AnyPropertyType).value

    while True:
        request = d.next_event()
        if request.type != X.SelectionRequest or request.target != atom("SAVE_TARGETS") or mode == "silent":
            continue
        utf8 = atom("UTF8_STRING")
        if utf8 not in fetch(atom("TARGETS"), request.time):
            sys.exit("UTF8_STRING not offered")
        if mode == "multiple":
            window.change_property(atom("KV7_FETCHED"), atom("ATOM_PAIR"), 32, [utf8, atom("KV7_TEXT")])
            pairs = fetch(atom("MULTIPLE"), request.time)
            if list(pairs) != [utf8, atom("KV7_TEXT")]:
                sys.exit("MULTIPLE answered %s" % list(pairs))
            text = window.get_full_property(atom("KV7_TEXT"), X.AnyPropertyType).value
        else:
            text = fetch(utf8, request.time)
        request.requestor.send_event(event.SelectionNotify(
            time=request.time, requestor=request.requestor, selection=request.selection,
            target=request.target, property=request.property))
        d.flush()
        sys.stdout.buffer.write(text)
        return


if __name__ == "__main__":
    main()
