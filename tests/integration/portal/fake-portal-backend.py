#!/usr/bin/python3
# A desktop-portal backend of ours for tests: it implements the GlobalShortcuts and RemoteDesktop
# backend interfaces on the session bus, so the real xdg-desktop-portal frontend drives it exactly
# as it drives a desktop's backend. It answers every request at once (granting unless told not to),
# records each call with its options, and takes orders on org.talvex.TestPortal: fire Activated or
# Deactivated for a bound shortcut, refuse the next binding, deny the next start.
import json
import sys

import gi

gi.require_version("Gio", "2.0")
from gi.repository import Gio, GLib  # noqa: E402

NAME = "org.freedesktop.impl.portal.desktop.talvextest"
PATH = "/org/freedesktop/portal/desktop"

INTERFACES = """
<node>
  <interface name="org.freedesktop.impl.portal.GlobalShortcuts">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="BindShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="a(sa{sv})" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="ListShortcuts">
      <arg type="o" direction="in"/><arg type="o" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <signal name="Activated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <signal name="Deactivated">
      <arg type="o"/><arg type="s"/><arg type="t"/><arg type="a{sv}"/>
    </signal>
    <signal name="ShortcutsChanged">
      <arg type="o"/><arg type="a(sa{sv})"/>
    </signal>
    <property name="version" type="u" access="read"/>
  </interface>
  <interface name="org.freedesktop.impl.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="a{sv}" direction="in"/><arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="o" direction="in"/><arg type="s" direction="in"/>
      <arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="u" direction="out"/><arg type="a{sv}" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeycode">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""

SESSION = """
<node>
  <interface name="org.freedesktop.impl.portal.Session">
    <method name="Close"/>
    <signal name="Closed"/>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""

CONTROL = """
<node>
  <interface name="org.talvex.TestPortal">
    <method name="Activate"><arg type="s" direction="in"/></method>
    <method name="Deactivate"><arg type="s" direction="in"/></method>
    <method name="RefuseNextBinding"/>
    <method name="DenyNextStart"/>
    <method name="Calls"><arg type="s" direction="out"/></method>
  </interface>
</node>
"""


def plain(value):
    """A GVariant unpacked into JSON-friendly values."""
    if isinstance(value, GLib.Variant):
        value = value.unpack()
    if isinstance(value, dict):
        return {key: plain(item) for key, item in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(item) for item in value]
    return value


class Backend:
    def __init__(self, connection):
        self.connection = connection
        self.calls = []
        self.bound = {}  # shortcut id -> session handle that bound it last
        self.sessions = {}  # session handle -> registration id of its Session object
        self.refuse_binding = False
        self.deny_start = False
        self.restore_serial = 0
        portal = Gio.DBusNodeInfo.new_for_xml(INTERFACES)
        for interface in portal.interfaces:
            connection.register_object(PATH, interface, self.call, self.get_property, None)
        self.session_info = Gio.DBusNodeInfo.new_for_xml(SESSION).interfaces[0]
        control = Gio.DBusNodeInfo.new_for_xml(CONTROL).interfaces[0]
        connection.register_object("/org/talvex/TestPortal", control, self.control, None, None)

    def record(self, interface, method, parameters):
        self.calls.append({"interface": interface.rsplit(".", 1)[-1], "method": method,
                           "arguments": plain(parameters)})

    def add_session(self, handle):
        def close(connection, sender, path, interface, method, parameters, invocation):
            self.record(interface, method, parameters)
            registration = self.sessions.pop(path, None)
            if registration is not None:
                connection.unregister_object(registration)
            invocation.return_value(None)

        self.sessions[handle] = self.connection.register_object(
            handle, self.session_info, close, lambda *args: GLib.Variant("u", 1), None)

    def get_property(self, connection, sender, path, interface, name):
        if name == "AvailableDeviceTypes":
            return GLib.Variant("u", 1)
        return GLib.Variant("u", 1)

    def call(self, connection, sender, path, interface, method, parameters, invocation):
        self.record(interface, method, parameters)
        arguments = parameters.unpack()
        granted = GLib.Variant("(ua{sv})", (0, {}))
        if method == "CreateSession":
            self.add_session(arguments[1])
            invocation.return_value(granted)
        elif method == "BindShortcuts":
            session, shortcuts = arguments[1], arguments[2]
            if self.refuse_binding:
                self.refuse_binding = False
                invocation.return_value(GLib.Variant("(ua{sv})", (2, {})))
                return
            answered = []
            for shortcut_id, properties in shortcuts:
                self.bound[shortcut_id] = session
                trigger = properties.get("preferred_trigger", "")
                answered.append((shortcut_id, {"description": GLib.Variant("s", properties.get("description", "")),
                                               "trigger_description": GLib.Variant("s", trigger)}))
            invocation.return_value(GLib.Variant("(ua{sv})", (0, {"shortcuts": GLib.Variant("a(sa{sv})", answered)})))
        elif method == "ListShortcuts":
            invocation.return_value(GLib.Variant("(ua{sv})", (0, {"shortcuts": GLib.Variant("a(sa{sv})", [])})))
        elif method == "SelectDevices":
            invocation.return_value(granted)
        elif method == "Start":
            if self.deny_start:
                self.deny_start = False
                invocation.return_value(GLib.Variant("(ua{sv})", (1, {})))
                return
            self.restore_serial += 1
            results = {"devices": GLib.Variant("u", 1),
                       "persist_mode": GLib.Variant("u", 2),
                       "restore_data": GLib.Variant("v", GLib.Variant("s", "consent-%d" % self.restore_serial))}
            invocation.return_value(GLib.Variant("(ua{sv})", (0, results)))
        else:  # the Notify* calls answer nothing
            invocation.return_value(None)

    def control(self, connection, sender, path, interface, method, parameters, invocation):
        arguments = parameters.unpack()
        if method in ("Activate", "Deactivate"):
            shortcut_id = arguments[0]
            session = self.bound.get(shortcut_id)
            if session is None:
                invocation.return_dbus_error("org.talvex.TestPortal.Error", "nothing bound " + shortcut_id)
                return
            signal = "Activated" if method == "Activate" else "Deactivated"
            connection.emit_signal(None, PATH, "org.freedesktop.impl.portal.GlobalShortcuts", signal,
                                   GLib.Variant("(osta{sv})", (session, shortcut_id, 1000, {})))
            invocation.return_value(None)
        elif method == "RefuseNextBinding":
            self.refuse_binding = True
            invocation.return_value(None)
        elif method == "DenyNextStart":
            self.deny_start = True
            invocation.return_value(None)
        elif method == "Calls":
            invocation.return_value(GLib.Variant("(s)", (json.dumps(self.calls),)))


FRONTEND = """
<node>
  <interface name="org.freedesktop.portal.RemoteDesktop">
    <method name="CreateSession">
      <arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="SelectDevices">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="o" direction="out"/>
    </method>
    <method name="Start">
      <arg type="o" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
      <arg type="o" direction="out"/>
    </method>
    <method name="NotifyKeyboardKeysym">
      <arg type="o" direction="in"/><arg type="a{sv}" direction="in"/><arg type="i" direction="in"/>
      <arg type="u" direction="in"/>
    </method>
    <property name="AvailableDeviceTypes" type="u" access="read"/>
    <property name="version" type="u" access="read"/>
  </interface>
</node>
"""

FRONTEND_SESSION = """
<node>
  <interface name="org.freedesktop.portal.Session">
    <method name="Close"/>
  </interface>
</node>
"""


class FrontendV2(Backend):
    """The portal itself, RemoteDesktop version 2 (which Debian 12's frontend is not): requests answer
    through Request objects, and a restore token comes back from Start when persistence is asked."""

    def __init__(self, connection):
        self.connection = connection
        self.calls = []
        self.deny_start = False
        self.refuse_binding = False
        self.bound = {}
        self.tokens = 0
        self.pending_restore = {}
        frontend = Gio.DBusNodeInfo.new_for_xml(FRONTEND).interfaces[0]
        connection.register_object(PATH, frontend, self.portal_call, self.get_property, None)
        self.session_info = Gio.DBusNodeInfo.new_for_xml(FRONTEND_SESSION).interfaces[0]
        control = Gio.DBusNodeInfo.new_for_xml(CONTROL).interfaces[0]
        connection.register_object("/org/talvex/TestPortal", control, self.control, None, None)

    def get_property(self, connection, sender, path, interface, name):
        return GLib.Variant("u", 7 if name == "AvailableDeviceTypes" else 2)

    def respond(self, sender, options, code, results):
        token = options.get("handle_token", "t")
        path = "/org/freedesktop/portal/desktop/request/%s/%s" % (sender[1:].replace(".", "_"), token)
        GLib.idle_add(lambda: self.connection.emit_signal(
            sender, path, "org.freedesktop.portal.Request", "Response",
            GLib.Variant("(ua{sv})", (code, results))) and False)
        return GLib.Variant("(o)", (path,))

    def portal_call(self, connection, sender, path, interface, method, parameters, invocation):
        self.record(interface, method, parameters)
        arguments = parameters.unpack()
        if method == "CreateSession":
            options = arguments[0]
            session = "/org/freedesktop/portal/desktop/session/%s/%s" % (
                sender[1:].replace(".", "_"), options.get("session_handle_token", "s"))
            self.connection.register_object(session, self.session_info, self.close_session, None, None)
            invocation.return_value(self.respond(sender, options, 0,
                                                 {"session_handle": GLib.Variant("s", session)}))
        elif method == "SelectDevices":
            invocation.return_value(self.respond(sender, arguments[1], 0, {}))
        elif method == "Start":
            options = arguments[2]
            if self.deny_start:
                self.deny_start = False
                invocation.return_value(self.respond(sender, options, 1, {}))
                return
            self.tokens += 1
            results = {"devices": GLib.Variant("u", 1),
                       "restore_token": GLib.Variant("s", "restore-%d" % self.tokens)}
            invocation.return_value(self.respond(sender, options, 0, results))
        else:
            invocation.return_value(None)

    def close_session(self, connection, sender, path, interface, method, parameters, invocation):
        self.record(interface, method, parameters)
        invocation.return_value(None)


def main():
    loop = GLib.MainLoop()
    connection = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    as_frontend = "--as-frontend-v2" in sys.argv
    backend = (FrontendV2 if as_frontend else Backend)(connection)  # noqa: F841 (kept alive by the loop)
    Gio.bus_own_name_on_connection(connection, "org.freedesktop.portal.Desktop" if as_frontend else NAME,
                                   Gio.BusNameOwnerFlags.NONE, None, lambda *args: loop.quit())
    loop.run()
    return 1


if __name__ == "__main__":
    sys.exit(main())
