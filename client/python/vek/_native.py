"""The C API of libvek_client through ctypes: the structures and the
function signatures of vek_client.h."""

from __future__ import annotations

import ctypes
import ctypes.util
import os
from pathlib import Path

c_uint8_p = ctypes.POINTER(ctypes.c_uint8)


class Modem(ctypes.Structure):
    _fields_ = [
        ("port", ctypes.c_int),
        ("device", ctypes.c_char_p),
        ("speed", ctypes.c_int),
        ("init", ctypes.c_char_p),
        ("init2", ctypes.c_char_p),
        ("init3", ctypes.c_char_p),
        ("reset", ctypes.c_char_p),
        ("escape", ctypes.c_char_p),
        ("hang_up", ctypes.c_char_p),
        ("tone_dial", ctypes.c_char_p),
        ("pulse_dial", ctypes.c_char_p),
        ("answer_rings", ctypes.c_int),
        ("pc_link", ctypes.c_int),
        ("extended", ctypes.c_int),
        ("line_2400", ctypes.c_int),
        ("attention", ctypes.c_int),
        ("options", ctypes.c_int),
        ("command_delay_ms", ctypes.c_int),
        ("char_delay_ms", ctypes.c_int),
    ]


class Panel(ctypes.Structure):
    _fields_ = [
        ("phone", ctypes.c_char_p),
        ("link_mode", ctypes.c_int),
        ("type", ctypes.c_int),
        ("version", ctypes.c_int),
        ("open_code", ctypes.c_char_p),
        ("id_code", ctypes.c_char_p),
        ("options", ctypes.c_uint),
        ("link_options", ctypes.c_uint),
        ("line_speed", ctypes.c_int),
        ("second_speed", ctypes.c_int),
        ("direct_speed", ctypes.c_int),
        ("idle_a", ctypes.c_int),
        ("idle_b", ctypes.c_int),
        ("host_flags", ctypes.c_uint32),
    ]


class LibraryOptions(ctypes.Structure):
    _fields_ = [
        ("data_folder", ctypes.c_char_p),
        ("on_event", ctypes.c_void_p),
        ("event_context", ctypes.c_void_p),
        ("hang_up_timeout_ms", ctypes.c_int),
        ("lock_folder", ctypes.c_char_p),
    ]


class CallOptions(ctypes.Structure):
    _fields_ = [("timeout_ms", ctypes.c_int)]


class TransferOptions(ctypes.Structure):
    _fields_ = [
        ("timeout_ms", ctypes.c_int),
        ("chunk", ctypes.c_uint32),
        ("command", ctypes.c_int),
        ("progress", ctypes.c_void_p),
        ("progress_context", ctypes.c_void_p),
    ]


class Identification(ctypes.Structure):
    _fields_ = [
        ("incoming", ctypes.c_int),
        ("type", ctypes.c_int),
        ("version", ctypes.c_int),
        ("sub_version", ctypes.c_int),
        ("flags", ctypes.c_int),
        ("id_bytes", ctypes.c_uint8 * 3),
        ("extra", ctypes.c_uint8 * 3),
        ("format", ctypes.c_char * 32),
        ("reply", ctypes.c_uint8 * 200),
        ("reply_size", ctypes.c_size_t),
    ]


class LineStatus(ctypes.Structure):
    _fields_ = [
        ("efficiency", ctypes.c_int),
        ("retries", ctypes.c_int),
        ("line_speed", ctypes.c_int),
        ("bytes_sent", ctypes.c_uint64),
        ("bytes_received", ctypes.c_uint64),
        ("frames_sent", ctypes.c_uint64),
        ("resends", ctypes.c_uint64),
    ]


class Error(ctypes.Structure):
    _fields_ = [
        ("status", ctypes.c_int),
        ("cause", ctypes.c_int),
        ("code", ctypes.c_int),
        ("panel_reason", ctypes.c_int),
        ("text", ctypes.c_char_p),
        ("hint", ctypes.c_char_p),
        ("address", ctypes.c_uint32),
        ("bytes_done", ctypes.c_size_t),
    ]


class Event(ctypes.Structure):
    _fields_ = [
        ("code", ctypes.c_int),
        ("name", ctypes.c_char_p),
        ("at_ms", ctypes.c_int64),
        ("block", c_uint8_p),
        ("block_size", ctypes.c_size_t),
    ]


EVENT_FN = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(Event))

_LIBRARY_NAME = "libvek_client.so.2"


def _candidates() -> list[str]:
    found = []
    if os.environ.get("VEK_CLIENT_LIBRARY"):
        found.append(os.environ["VEK_CLIENT_LIBRARY"])
    try:
        from . import _paths  # written by cmake --install

        found.append(str((Path(__file__).parent / _paths.LIBRARY).resolve()))
    except ImportError:
        pass
    found.append(ctypes.util.find_library("vek_client") or _LIBRARY_NAME)
    return found


def load() -> ctypes.CDLL:
    """Loads libvek_client: VEK_CLIENT_LIBRARY, the installed tree, then the
    dynamic linker's search path."""
    errors = []
    for path in _candidates():
        try:
            lib = ctypes.CDLL(path)
            break
        except OSError as error:
            errors.append(str(error))
    else:
        raise OSError("libvek_client not found: " + "; ".join(errors))
    p = ctypes.POINTER
    vp = ctypes.c_void_p
    i = ctypes.c_int
    signatures = {
        "vek_modem_defaults": (None, [p(Modem)]),
        "vek_panel_defaults": (None, [p(Panel)]),
        "vek_transfer_defaults": (None, [p(TransferOptions)]),
        "vek_library_create": (i, [p(LibraryOptions), p(vp)]),
        "vek_library_destroy": (None, [vp]),
        "vek_library_set_modem": (i, [vp, p(Modem)]),
        "vek_library_dial": (i, [vp, p(Panel), p(CallOptions), p(vp)]),
        "vek_library_answer": (i, [vp, p(Panel), p(CallOptions), p(vp)]),
        "vek_library_cancel": (i, [vp]),
        "vek_library_wait_idle": (i, [vp, i, p(i)]),
        "vek_library_error": (i, [vp, p(Error)]),
        "vek_call_read": (i, [vp, ctypes.c_uint32, ctypes.c_uint32, c_uint8_p, ctypes.c_size_t,
                              p(TransferOptions), p(ctypes.c_size_t)]),
        "vek_call_write": (i, [vp, ctypes.c_uint32, c_uint8_p, ctypes.c_size_t, p(TransferOptions)]),
        "vek_call_hang_up": (i, [vp]),
        "vek_call_force_hang_up": (i, [vp]),
        "vek_call_cancel": (i, [vp]),
        "vek_call_is_open": (i, [vp]),
        "vek_call_identification": (i, [vp, p(Identification)]),
        "vek_call_status": (i, [vp, p(LineStatus)]),
        "vek_call_error": (i, [vp, p(Error)]),
        "vek_call_destroy": (None, [vp]),
        "vek_notification_name": (ctypes.c_char_p, [i]),
        "vek_cause_name": (ctypes.c_char_p, [i]),
    }
    for name, (result, arguments) in signatures.items():
        function = getattr(lib, name)
        function.restype = result
        function.argtypes = arguments
    return lib
