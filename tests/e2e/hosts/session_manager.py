"""A stand-in for gnome-session's inhibitor registry on a private bus:
org.gnome.SessionManager with IsInhibited and the InhibitedActions
property, whose changes mutter's idle monitor follows. Lines on stdin:
"inhibit FLAGS" holds an inhibitor as a video player's Inhibit call would,
"uninhibit" drops them; each is answered "ok"."""

import sys
import threading

from gi.repository import Gio, GLib

XML = """<node><interface name="org.gnome.SessionManager">
  <method name="IsInhibited"><arg type="u" direction="in"/><arg type="b" direction="out"/></method>
  <property name="InhibitedActions" type="u" access="read"/>
</interface></node>"""
PATH = "/org/gnome/SessionManager"
NAME = "org.gnome.SessionManager"


class Registry:
    def __init__(self, bus):
        self.bus, self.flags = bus, 0

    def changed(self):
        self.bus.emit_signal(None, PATH, "org.freedesktop.DBus.Properties", "PropertiesChanged",
                             GLib.Variant("(sa{sv}as)", (NAME, {"InhibitedActions": GLib.Variant("u", self.flags)}, [])))

    def set(self, flags):
        self.flags = flags
        self.changed()

    def call(self, conn, sender, path, interface, method, args, invocation):
        invocation.return_value(GLib.Variant("(b)", ((self.flags & args[0]) != 0,)))  # IsInhibited

    def get(self, conn, sender, path, interface, prop):
        return GLib.Variant("u", self.flags)


def main():
    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    registry = Registry(bus)
    bus.register_object(PATH, Gio.DBusNodeInfo.new_for_xml(XML).interfaces[0], registry.call, registry.get, None)
    loop = GLib.MainLoop()

    def owned(*_):
        print("ok", flush=True)

    Gio.bus_own_name_on_connection(bus, NAME, Gio.BusNameOwnerFlags.NONE, owned, lambda *_: loop.quit())

    def commands():
        for line in sys.stdin:
            words = line.split()
            done = threading.Event()

            def run():
                registry.set(int(words[1]) if words[:1] == ["inhibit"] else 0)
                done.set()
            GLib.idle_add(run)
            done.wait()
            print("ok", flush=True)
        GLib.idle_add(loop.quit)

    threading.Thread(target=commands, daemon=True).start()
    loop.run()


if __name__ == "__main__":
    main()
