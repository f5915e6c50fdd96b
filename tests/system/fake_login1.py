#!/usr/bin/python3
# A stand-in for systemd-logind on a private bus: records every call with the
# signature it really came with, and refuses every power and session request, as a
# policy that says no would; with "silent", it never answers them, as a logind that
# hangs would. Prints "ready" once it owns its name.
#   fake_login1.py BUS-ADDRESS [silent]
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

MANAGER = 'org.freedesktop.login1.Manager'
SESSION_PATH = '/org/freedesktop/login1/session/c7'

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])
calls = []
silent = len(sys.argv) > 2 and sys.argv[2] == 'silent'
unanswered = []


def text(value):
    if isinstance(value, dbus.Boolean):
        return 'true' if value else 'false'
    return str(value)


def record(name, msg, *args):
    calls.append(' '.join([name, msg.get_signature()] + [text(a) for a in args]))


def refuse():
    raise dbus.exceptions.DBusException('Access denied', name='org.freedesktop.DBus.Error.AccessDenied')


def answer(ok, err):
    if silent:
        unanswered.append((ok, err))  # kept, never called
        return
    err(dbus.exceptions.DBusException('Access denied', name='org.freedesktop.DBus.Error.AccessDenied'))


class Manager(dbus.service.Object):
    @dbus.service.method(MANAGER, in_signature='b', message_keyword='msg', async_callbacks=('ok', 'err'))
    def PowerOff(self, interactive, msg, ok, err):
        record('PowerOff', msg, interactive)
        answer(ok, err)

    @dbus.service.method(MANAGER, in_signature='b', message_keyword='msg', async_callbacks=('ok', 'err'))
    def Reboot(self, interactive, msg, ok, err):
        record('Reboot', msg, interactive)
        answer(ok, err)

    @dbus.service.method(MANAGER, in_signature='b', message_keyword='msg', async_callbacks=('ok', 'err'))
    def Halt(self, interactive, msg, ok, err):
        record('Halt', msg, interactive)
        answer(ok, err)

    @dbus.service.method(MANAGER, in_signature='b', message_keyword='msg', async_callbacks=('ok', 'err'))
    def Suspend(self, interactive, msg, ok, err):
        record('Suspend', msg, interactive)
        answer(ok, err)

    @dbus.service.method(MANAGER, in_signature='s', out_signature='o', message_keyword='msg')
    def GetSession(self, name, msg):
        record('GetSession', msg, name)
        return dbus.ObjectPath(SESSION_PATH)

    @dbus.service.method(MANAGER, in_signature='s', message_keyword='msg')
    def TerminateSession(self, session_id, msg):
        record('TerminateSession', msg, session_id)
        refuse()

    @dbus.service.method('org.tarnel.Test', out_signature='as')
    def Calls(self):
        return dbus.Array(calls, signature='s')


class Session(dbus.service.Object):
    @dbus.service.method('org.freedesktop.DBus.Properties', in_signature='ss', out_signature='v',
                         message_keyword='msg')
    def Get(self, interface, prop, msg):
        record('Get', msg, interface, prop)
        if interface != 'org.freedesktop.login1.Session' or prop != 'Id':
            raise dbus.exceptions.DBusException('no such property', name='org.freedesktop.DBus.Error.InvalidArgs')
        return dbus.String('c7', variant_level=1)


name = dbus.service.BusName('org.freedesktop.login1', bus)
Manager(bus, '/org/freedesktop/login1')
Session(bus, SESSION_PATH)
print('ready', flush=True)
GLib.MainLoop().run()
