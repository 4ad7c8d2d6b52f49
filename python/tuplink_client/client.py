"""The connection to a host and the calls over it (docs/protocol.md, "Transport")."""

import itertools
import time

import msgpack
import zmq
from zmq.utils.monitor import recv_monitor_message

from . import statuses
from .tuples import Tuple

PROTOCOL_VERSION = 1


class Client:
    """Calls methods of one host. One call at a time; use one client per thread.

    ``call`` returns ``(status, results)``: the method's status and result tuple, or a status of
    tuplink_client.statuses with an empty tuple (the host's refusals, or the client's own
    TIMEOUT, UNREACHABLE, REFUSED, CONNECTION_LOST, BAD_REPLY).
    """

    def __init__(self, endpoint, timeout=10.0, curve_server_key=None, curve_public_key=None,
                 curve_secret_key=None, context=None):
        self.timeout = timeout
        self._context = context or zmq.Context.instance()
        self._socket = self._context.socket(zmq.DEALER)
        self._socket.setsockopt(zmq.LINGER, 0)
        # Not IMMEDIATE: it would discard a reply that arrived just before a disconnect.
        # _send instead waits for a connection, so no request is queued for none.
        if curve_server_key:
            self._socket.curve_serverkey = _key(curve_server_key)
            self._socket.curve_publickey = _key(curve_public_key)
            self._socket.curve_secretkey = _key(curve_secret_key)
        self._monitor = self._socket.get_monitor_socket(
            zmq.EVENT_HANDSHAKE_SUCCEEDED | zmq.EVENT_HANDSHAKE_FAILED_AUTH
            | zmq.EVENT_DISCONNECTED)
        self._socket.connect(endpoint)
        self._ids = itertools.count(1)
        self._connected = False
        self._refused = False
        self._lost = False

    def close(self):
        self._socket.disable_monitor()
        self._monitor.close(0)
        self._socket.close(0)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def call(self, service, instance, interface, method, arguments=None):
        arguments = arguments if arguments is not None else Tuple()
        request_id = next(self._ids)
        request = msgpack.packb([PROTOCOL_VERSION, request_id, service, instance, interface,
                                 method, arguments.to_wire()], use_bin_type=True)
        deadline = time.monotonic() + self.timeout
        status = self._send(request, deadline)
        if status != 0:
            return status, Tuple()
        return self._receive(request_id, deadline)

    def _send(self, request, deadline):
        while True:
            self._read_events()
            if self._refused:
                return statuses.REFUSED
            self._lost = False
            if self._connected:
                try:
                    self._socket.send(request, zmq.NOBLOCK, copy=False)
                    return 0
                except zmq.Again:
                    pass
            if not self._wait(zmq.POLLOUT if self._connected else 0, deadline):
                self._read_events()
                if self._refused:
                    return statuses.REFUSED
                return statuses.TIMEOUT if self._connected else statuses.UNREACHABLE

    def _receive(self, request_id, deadline):
        # A reply can arrive just before the connection closes and become readable just after
        # the close is reported: after a drop, listen a little longer before giving up.
        give_up = None
        while True:
            try:
                frame = self._socket.recv(zmq.NOBLOCK, copy=False)
            except zmq.Again:
                frame = None
            if frame is not None:
                try:
                    reply_id, status, results = _decode_reply(frame.buffer)
                except (ValueError, TypeError, msgpack.UnpackException):
                    return statuses.BAD_REPLY, Tuple()
                if reply_id == request_id:
                    return status, results
                continue  # the late reply of an earlier call
            self._read_events()
            if self._lost and give_up is None:
                give_up = min(deadline, time.monotonic() + 0.2)
            if not self._wait(zmq.POLLIN, give_up or deadline):
                return (statuses.CONNECTION_LOST if give_up else statuses.TIMEOUT), Tuple()

    def _wait(self, events, deadline):
        """Waits for `events` on the socket or a connection event; False once past deadline."""
        left = deadline - time.monotonic()
        if left <= 0:
            return False
        poller = zmq.Poller()
        if events:
            poller.register(self._socket, events)
        poller.register(self._monitor, zmq.POLLIN)
        poller.poll(left * 1000)
        return True

    def _read_events(self):
        while self._monitor.poll(0):
            event = recv_monitor_message(self._monitor)["event"]
            if event == zmq.EVENT_HANDSHAKE_SUCCEEDED:
                self._connected = True
                self._refused = False
            elif event == zmq.EVENT_HANDSHAKE_FAILED_AUTH:
                self._refused = True
            elif event == zmq.EVENT_DISCONNECTED:
                self._connected = False
                self._lost = True


def _decode_reply(buffer):
    reply = msgpack.unpackb(buffer, raw=False, use_list=True, strict_map_key=True)
    if not isinstance(reply, list) or len(reply) != 4 or reply[0] != PROTOCOL_VERSION:
        raise ValueError("not a reply")
    _, reply_id, status, results = reply
    if not isinstance(reply_id, int) or not isinstance(status, int):
        raise ValueError("not a reply")
    return reply_id, status, Tuple.from_wire(results)


def _key(text):
    return text.encode("ascii") if isinstance(text, str) else text
