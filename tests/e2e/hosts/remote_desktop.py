"""Input for headless mutter through its RemoteDesktop session, which
belongs to the connection that made it: one process reads commands from
stdin ("key KEYSYM", "nudge"), answers "ok" to each, and ends with stdin.
The session's keyboard comes into being with its first key, and the
clients hear of it only after that key: a Shift tap at the start makes
it, as a real keyboard is there from the start."""

import sys

from gi.repository import Gio, GLib

BUS = "org.gnome.Mutter.RemoteDesktop"
SESSION = BUS + ".Session"


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)

    def call(path, interface, method, args=None, reply=None):
        return bus.call_sync(BUS, path, interface, method, args, reply and GLib.VariantType(reply),
                             Gio.DBusCallFlags.NONE, 5000, None)

    path = call("/org/gnome/Mutter/RemoteDesktop", BUS, "CreateSession", None, "(o)").unpack()[0]
    call(path, SESSION, "Start")
    for pressed in (True, False):
        call(path, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (0xFFE1, pressed)))
    print("ok", flush=True)
    for line in sys.stdin:
        words = line.split()
        if words[:1] == ["key"]:
            for pressed in (True, False):
                call(path, SESSION, "NotifyKeyboardKeysym", GLib.Variant("(ub)", (int(words[1], 0), pressed)))
        elif words[:1] == ["nudge"]:
            for dx in (1.0, -1.0):
                call(path, SESSION, "NotifyPointerMotionRelative", GLib.Variant("(dd)", (dx, 0.0)))
        print("ok", flush=True)
    call(path, SESSION, "Stop")


if __name__ == "__main__":
    main()
