#!/usr/bin/python3
# A notification server on the session bus whose Inhibited property is true, as a desktop's
# "do not disturb" sets it; prints "ready" once it owns its name and runs until killed.
from gi.repository import Gio, GLib

INTERFACE = """<node><interface name="org.freedesktop.Notifications">
<property name="Inhibited" type="b" access="read"/></interface></node>"""


def get_property(connection, sender, path, interface, name):
    return GLib.Variant("b", True)


bus = Gio.bus_get_sync(Gio.BusType.SESSION)
info = Gio.DBusNodeInfo.new_for_xml(INTERFACE).interfaces[0]
bus.register_object("/org/freedesktop/Notifications", info, None, get_property, None)
Gio.bus_own_name_on_connection(bus, "org.freedesktop.Notifications",
                               Gio.BusNameOwnerFlags.NONE,
                               lambda connection, name: print("ready", flush=True), None)
GLib.MainLoop().run()
