'''The test desktop's screen-sharing portal: org.freedesktop.portal.Desktop with the
ScreenCast interface, served by python3-dbusmock on the Wayland test desktop's bus.

Start asks the compositor's own screen cast (org.gnome.Mutter.ScreenCast) for its monitor and
answers with that PipeWire node, so the pictures are mutter's real frames; OpenPipeWireRemote
hands over a connection to the desktop's private PipeWire server. What a desktop would ask the
teacher is answered by the parameters:
    {"answer": "share"}   every question answered yes (the default)
    {"answer": "refuse"}  every question answered no (response 1)
A restore token handed out by Start, given back to SelectSources, skips the question.
org.lumora.TestPortal.Asked tells how often the question was asked.

    python3 -m dbusmock --session -t tests/support/screencastportal.py -p '{"answer": "refuse"}'
'''
import os
import socket

import dbus
import dbus.service
from gi.repository import GLib

BUS_NAME = 'org.freedesktop.portal.Desktop'
MAIN_OBJ = '/org/freedesktop/portal/desktop'
MAIN_IFACE = 'org.freedesktop.portal.ScreenCast'
SYSTEM_BUS = False

TEST_IFACE = 'org.lumora.TestPortal'
REQUEST_IFACE = 'org.freedesktop.portal.Request'
MUTTER = 'org.gnome.Mutter.ScreenCast'
RESTORE_TOKEN = 'lumora-test-restore-token'


def _request_path(sender, token):
    return '/org/freedesktop/portal/desktop/request/%s/%s' % (
        sender[1:].replace('.', '_'), token)


def _respond(mock, path, response, results):
    def emit():
        message = dbus.lowlevel.SignalMessage(path, REQUEST_IFACE, 'Response')
        message.append(dbus.UInt32(response), dbus.Dictionary(results, signature='sv'),
                       signature='ua{sv}')
        mock.connection.send_message(message)
        return False
    # After the method's own reply.
    GLib.timeout_add(20, emit)


@dbus.service.method(MAIN_IFACE, in_signature='a{sv}', out_signature='o',
                     sender_keyword='sender')
def CreateSession(self, options, sender=None):
    path = _request_path(sender, options.get('handle_token', 'create'))
    session = '/org/freedesktop/portal/desktop/session/%s/%s' % (
        sender[1:].replace('.', '_'), options.get('session_handle_token', 'session'))
    self.sessions[session] = {'restored': False}
    _respond(self, path, 0, {'session_handle': dbus.String(session)})
    return path


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='o',
                     sender_keyword='sender')
def SelectSources(self, session, options, sender=None):
    path = _request_path(sender, options.get('handle_token', 'select'))
    state = self.sessions.setdefault(str(session), {})
    state['restored'] = options.get('restore_token', '') == RESTORE_TOKEN
    state['cursor_mode'] = int(options.get('cursor_mode', 0))
    state['persist_mode'] = int(options.get('persist_mode', 0))
    _respond(self, path, 0, {})
    return path


@dbus.service.method(MAIN_IFACE, in_signature='osa{sv}', out_signature='o',
                     sender_keyword='sender')
def Start(self, session, _parent, options, sender=None):
    path = _request_path(sender, options.get('handle_token', 'start'))
    state = self.sessions.setdefault(str(session), {})
    if not state.get('restored'):
        self.asked += 1
        if self.answer == 'refuse':
            _respond(self, path, 1, {})
            return path
    bus = self.connection
    mutter = dbus.Interface(bus.get_object(MUTTER, '/org/gnome/Mutter/ScreenCast'), MUTTER)
    cast = mutter.CreateSession(dbus.Dictionary({}, signature='sv'))
    cast_session = dbus.Interface(bus.get_object(MUTTER, cast), MUTTER + '.Session')
    cursor = 1 if state.get('cursor_mode') == 2 else 0
    stream = cast_session.RecordMonitor(
        '', dbus.Dictionary({'cursor-mode': dbus.UInt32(cursor)}, signature='sv'))
    stream_object = bus.get_object(MUTTER, stream)
    state['cast'] = cast_session

    def added(node):
        size = (1920, 1080)
        try:
            parameters = stream_object.Get(MUTTER + '.Stream', 'Parameters',
                                           dbus_interface='org.freedesktop.DBus.Properties')
            if 'size' in parameters:
                size = tuple(int(v) for v in parameters['size'])
        except dbus.DBusException:
            pass
        stream_properties = dbus.Dictionary({
            'position': dbus.Struct((dbus.Int32(0), dbus.Int32(0))),
            'size': dbus.Struct((dbus.Int32(size[0]), dbus.Int32(size[1]))),
            'source_type': dbus.UInt32(1),
        }, signature='sv')
        results = {'streams': dbus.Array([dbus.Struct((dbus.UInt32(node), stream_properties))],
                                         signature='(ua{sv})')}
        if state.get('persist_mode') == 2:
            results['restore_token'] = dbus.String(RESTORE_TOKEN)
        _respond(self, path, 0, results)

    stream_object.connect_to_signal('PipeWireStreamAdded', added,
                                    dbus_interface=MUTTER + '.Stream')
    cast_session.Start()
    return path


@dbus.service.method(MAIN_IFACE, in_signature='oa{sv}', out_signature='h')
def OpenPipeWireRemote(self, _session, _options):
    remote = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    remote.connect(os.path.join(os.environ['XDG_RUNTIME_DIR'], 'pipewire-0'))
    fd = dbus.types.UnixFd(remote)
    remote.close()
    return fd


@dbus.service.method(TEST_IFACE, in_signature='', out_signature='u')
def Asked(self):
    return dbus.UInt32(self.asked)


def load(mock, parameters):
    mock.answer = parameters.get('answer', 'share')
    mock.asked = 0
    mock.sessions = {}
    mock.AddProperties(MAIN_IFACE, {
        'version': dbus.UInt32(4),
        'AvailableSourceTypes': dbus.UInt32(1),
        'AvailableCursorModes': dbus.UInt32(7),
    })
