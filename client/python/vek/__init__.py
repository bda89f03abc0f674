"""vek: alarm panels through the vek_comm2 library, from Python.

    import vek
    with vek.Library(device="/dev/ttyUSB0") as lib:
        with lib.dial(phone="5551234") as call:
            memory = call.read(0x0100, 64)
            call.write(0x0200, b"\\xde\\xad")

A thin layer over libvek_client's C API (ctypes, standard library only).
Failures raise vek.CallError (what the panel, the modem or the line did,
with .code, the library's notification code, and .cause, in words) or
vek.UsageError (a wrong argument, or a call the state does not allow).
"""

from __future__ import annotations

import ctypes
from typing import Callable, Optional

from . import _native

__all__ = ["Library", "Call", "CallError", "UsageError", "Error", "Identification", "LineStatus"]

_lib: Optional[ctypes.CDLL] = None

# vek_status
_OK, _ARGUMENT, _STATE = 0, 1, 2


def _native_library() -> ctypes.CDLL:
    global _lib
    if _lib is None:
        _lib = _native.load()
    return _lib


def _text(value: Optional[str]) -> Optional[bytes]:
    return None if value is None else value.encode()


class Error(Exception):
    """Any failure of vek: the message, the cause's name and number, the
    library's notification code (0: none) and what to try."""

    def __init__(self, info: _native.Error, data: bytes = b""):
        self.text: str = (info.text or b"").decode(errors="replace")
        super().__init__(self.text)
        self.code: int = info.code
        self.cause_id: int = info.cause
        self.cause: str = self.text.split(" [library:")[0]
        self.cause_name: str = _native_library().vek_cause_name(info.cause).decode()
        self.panel_reason: Optional[int] = None if info.panel_reason < 0 else info.panel_reason
        self.hint: str = (info.hint or b"").decode(errors="replace")
        #: A failed read: the bytes read before the failure.
        self.data: bytes = data


class UsageError(Error, ValueError):
    """A wrong argument, or a call the state does not allow; nothing was sent."""


class CallError(Error):
    """What the panel, the modem or the line did, a time-out or a cancel."""


def _raise(info: _native.Error, data: bytes = b"") -> None:
    if info.status in (_ARGUMENT, _STATE):
        raise UsageError(info, data)
    raise CallError(info, data)


class Identification:
    """The panel as it identified itself."""

    def __init__(self, raw: _native.Identification):
        self.incoming: bool = bool(raw.incoming)
        self.type: int = raw.type
        self.version: int = raw.version
        self.sub_version: int = raw.sub_version
        self.flags: int = raw.flags
        self.format: str = raw.format.decode()
        self.reply: bytes = bytes(raw.reply[: raw.reply_size])

    def __repr__(self) -> str:
        return f"Identification(type={self.type}, version={self.version}, format={self.format!r})"


class LineStatus:
    """The line as the library counts it, and the link's health."""

    def __init__(self, raw: _native.LineStatus):
        self.efficiency: int = raw.efficiency
        self.retries: int = raw.retries
        self.line_speed: int = raw.line_speed
        self.bytes_sent: int = raw.bytes_sent
        self.bytes_received: int = raw.bytes_received


def _timeout_ms(seconds: Optional[float]) -> int:
    if seconds is None:
        return 0
    if seconds <= 0:
        raise ValueError(f"timeout {seconds} is not a positive number of seconds")
    return max(1, int(seconds * 1000))


class Call:
    """One call to a panel; a context manager that hangs up on exit."""

    def __init__(self, library: "Library", handle: int):
        self._library = library
        self._handle: Optional[int] = handle

    def _check(self, status: int, data: bytes = b"") -> None:
        if status == _OK:
            return
        info = _native.Error()
        _native_library().vek_call_error(self._live(), ctypes.byref(info))
        _raise(info, data)

    def _live(self) -> int:
        if self._handle is None:
            raise UsageError(_usage("the call was closed"))
        return self._handle

    def _options(self, timeout: Optional[float], chunk: int, command: Optional[int]) -> _native.TransferOptions:
        options = _native.TransferOptions()
        _native_library().vek_transfer_defaults(ctypes.byref(options))
        options.timeout_ms = _timeout_ms(timeout)
        options.chunk = chunk
        options.command = -1 if command is None else command
        return options

    def read(self, address: int, count: int, *, timeout: Optional[float] = None, chunk: int = 0,
             command: Optional[int] = None) -> bytes:
        """Reads count bytes of panel memory at address (any size)."""
        if count < 0 or count > 0x10000:
            raise UsageError(_usage(f"count {count} is not 0 to 65536"))
        if address < 0 or address > 0xFFFFFFFF:
            raise UsageError(_usage(f"address {address} is not a panel address"))
        buffer = (ctypes.c_uint8 * max(count, 1))()
        got = ctypes.c_size_t(0)
        options = self._options(timeout, chunk, command)
        status = _native_library().vek_call_read(self._live(), address, count, buffer, len(buffer),
                                                 ctypes.byref(options), ctypes.byref(got))
        data = bytes(buffer[: got.value])
        self._check(status, data)
        return data

    def write(self, address: int, data: bytes, *, timeout: Optional[float] = None, chunk: int = 0,
              command: Optional[int] = None) -> None:
        """Writes data to panel memory at address (any size)."""
        if address < 0 or address > 0xFFFFFFFF:
            raise UsageError(_usage(f"address {address} is not a panel address"))
        raw = bytes(data)
        buffer = (ctypes.c_uint8 * max(len(raw), 1)).from_buffer_copy(raw.ljust(1, b"\0"))
        options = self._options(timeout, chunk, command)
        self._check(_native_library().vek_call_write(self._live(), address, buffer, len(raw), ctypes.byref(options)))

    def hang_up(self, *, force: bool = False) -> None:
        """Ends the call and waits until the line is on hook."""
        lib = _native_library()
        self._check(lib.vek_call_force_hang_up(self._live()) if force else lib.vek_call_hang_up(self._live()))

    def cancel(self) -> None:
        """Ends this call's waits now."""
        self._check(_native_library().vek_call_cancel(self._live()))

    @property
    def is_open(self) -> bool:
        return self._handle is not None and bool(_native_library().vek_call_is_open(self._handle))

    @property
    def identification(self) -> Identification:
        raw = _native.Identification()
        self._check(_native_library().vek_call_identification(self._live(), ctypes.byref(raw)))
        return Identification(raw)

    def status(self) -> LineStatus:
        raw = _native.LineStatus()
        self._check(_native_library().vek_call_status(self._live(), ctypes.byref(raw)))
        return LineStatus(raw)

    def close(self) -> None:
        """Hangs up when still up and frees the call."""
        if getattr(self, "_handle", None) is not None:
            _native_library().vek_call_destroy(self._handle)
            self._handle = None

    def __enter__(self) -> "Call":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()


def _usage(text: str) -> _native.Error:
    info = _native.Error()
    info.status = _ARGUMENT
    info.cause = 1
    info.text = text.encode()
    info.panel_reason = -1
    return info


class Library:
    """The vek_comm2 library with its own host thread; one per process.

    The modem options are those of vek_modem (port, device, speed, init,
    pc_link, ...); data_folder is the folder of Trv3.mdm.
    on_event(code, name, block) sees every notification, on a thread of
    the library's.
    """

    def __init__(self, *, data_folder: Optional[str] = None,
                 on_event: Optional[Callable[[int, str, bytes], None]] = None, **modem: object):
        lib = _native_library()
        options = _native.LibraryOptions()
        options.data_folder = _text(data_folder)
        self._callback = None
        if on_event is not None:
            def relay(_context: int, event: ctypes.POINTER(_native.Event)) -> None:  # type: ignore[valid-type]
                e = event.contents
                block = ctypes.string_at(e.block, e.block_size) if e.block_size else b""
                on_event(e.code, e.name.decode(), block)

            self._callback = _native.EVENT_FN(relay)
            options.on_event = ctypes.cast(self._callback, ctypes.c_void_p)
        handle = ctypes.c_void_p()
        if lib.vek_library_create(ctypes.byref(options), ctypes.byref(handle)) != _OK:
            info = _native.Error()
            lib.vek_library_error(None, ctypes.byref(info))
            _raise(info)
        self._handle: Optional[int] = handle.value
        self._calls: list[Call] = []
        if modem:
            self.set_modem(**modem)

    def _live(self) -> int:
        if self._handle is None:
            raise UsageError(_usage("the library was closed"))
        return self._handle

    def _check(self, status: int) -> None:
        if status == _OK:
            return
        info = _native.Error()
        _native_library().vek_library_error(self._live(), ctypes.byref(info))
        _raise(info)

    def set_modem(self, **fields: object) -> None:
        """The modem for the calls that follow (fields of vek_modem)."""
        modem = _native.Modem()
        _native_library().vek_modem_defaults(ctypes.byref(modem))
        names = {name for name, _ in _native.Modem._fields_}
        for name, value in fields.items():
            if name not in names:
                raise UsageError(_usage(f"modem: no field {name!r}"))
            setattr(modem, name, _text(value) if isinstance(value, str) else value)
        self._check(_native_library().vek_library_set_modem(self._live(), ctypes.byref(modem)))

    def _panel(self, fields: dict) -> _native.Panel:
        panel = _native.Panel()
        _native_library().vek_panel_defaults(ctypes.byref(panel))
        names = {name for name, _ in _native.Panel._fields_}
        for name, value in fields.items():
            if name not in names:
                raise UsageError(_usage(f"panel: no field {name!r}"))
            setattr(panel, name, _text(value) if isinstance(value, str) else value)
        return panel

    def _place(self, answer: bool, timeout: Optional[float], fields: dict) -> Call:
        panel = self._panel(fields)
        options = _native.CallOptions(_timeout_ms(timeout))
        handle = ctypes.c_void_p()
        lib = _native_library()
        place = lib.vek_library_answer if answer else lib.vek_library_dial
        self._check(place(self._live(), ctypes.byref(panel), ctypes.byref(options), ctypes.byref(handle)))
        call = Call(self, handle.value)
        self._calls.append(call)
        return call

    def dial(self, *, timeout: Optional[float] = None, **panel: object) -> Call:
        """Places a call (fields of vek_panel: phone, link_mode, type,
        version, open_code, ...); returns it once the session is open."""
        return self._place(False, timeout, panel)

    def answer(self, *, timeout: Optional[float] = None, **panel: object) -> Call:
        """Waits for a panel to call in, then opens the session."""
        return self._place(True, timeout, panel)

    def cancel(self) -> None:
        """Ends every wait now."""
        self._check(_native_library().vek_library_cancel(self._live()))

    def wait_idle(self, timeout: Optional[float] = None) -> bool:
        """Waits until a call being ended is on hook; False when the
        timeout passed first (or cancel() was called)."""
        idle = ctypes.c_int(0)
        limit = -1 if timeout is None else max(0, int(timeout * 1000))
        self._check(_native_library().vek_library_wait_idle(self._live(), limit, ctypes.byref(idle)))
        return bool(idle.value)

    def close(self) -> None:
        """Hangs up a call in progress and stops the library."""
        if getattr(self, "_handle", None) is None:
            return
        for call in self._calls:
            call.close()
        self._calls.clear()
        _native_library().vek_library_destroy(self._handle)
        self._handle = None

    def __enter__(self) -> "Library":
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def __del__(self) -> None:
        self.close()
