"""The Python package vek against panelsim as a program: a call with a read
and a write, the errors a host meets (with .code and .cause), and misuse."""

import os
import subprocess
import time

import pytest

import vek

PANELSIM = os.environ["VEK_PANELSIM"]


def start_panelsim(*extra):
    process = subprocess.Popen([PANELSIM, "--number", "5551234=connect:9600", "--number", "5550000=busy",
                                "--ident-delay", "100", "--reply-delay", "0", *extra],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    device = process.stdout.readline().strip()
    assert device.startswith("/dev/"), device
    return process, device


@pytest.fixture(scope="module")
def line():
    process, device = start_panelsim()
    events = []
    lib = vek.Library(device=device, port=3, on_event=lambda code, name, block: events.append(name))
    yield lib, events
    lib.close()
    process.terminate()
    process.wait(10)


def test_a_call_reads_what_it_wrote_and_hangs_up(line):
    lib, _ = line
    with lib.dial(phone="5551234") as call:
        assert call.is_open
        assert (call.identification.type, call.identification.version) == (19, 2)
        data = bytes(range(256)) * 5  # more than one request
        call.write(0x0400, data)
        assert call.read(0x0400, len(data)) == data
        assert call.status().efficiency == 10
        call.hang_up()
        assert not call.is_open


def test_a_busy_line_raises_call_error_with_code_and_cause(line):
    lib, _ = line
    with pytest.raises(vek.CallError) as raised:
        lib.dial(phone="5550000")
    assert raised.value.code == 11
    assert raised.value.cause == "the modem answered the dial with BUSY"
    assert raised.value.cause_name == "BUSY"
    assert raised.value.hint == "the line is busy; try again later"


@pytest.mark.parametrize("call, words", [
    (lambda c: c.read(0x10000, 1), "beyond the panel's 64 KiB"),
    (lambda c: c.read(0x10, 0), "nothing to read (count 0)"),
    (lambda c: c.write(0xFFFF, b"ab"), "run past the end"),
    (lambda c: c.read(0x10, 4, chunk=2000), "more than link mode 2 carries"),
    (lambda c: c.read(0x10, 4, timeout=-1), "is not a positive number"),
])
def test_misuse_is_refused_with_its_reason(line, call, words):
    lib, _ = line
    with lib.dial(phone="5551234") as c:
        with pytest.raises((vek.UsageError, ValueError)) as raised:
            call(c)
        assert words in str(raised.value)
        assert c.read(0x10, 2) == c.read(0x10, 2)  # the call goes on


def test_bad_values_are_refused_before_anything_is_sent(line):
    lib, _ = line
    for fields, words in [({"phone": "5551234", "open_code": "12G4"}, "not hexadecimal"),
                          ({"phone": "5" * 88}, "longer than 87 characters"),
                          ({"phone": "5551234", "link_mode": 7}, "link mode 7 is not 1 to 5"),
                          ({"phone": "5551234", "colour": 1}, "no field 'colour'")]:
        with pytest.raises(vek.UsageError, match=words):
            lib.dial(**fields)


def test_a_closed_call_and_a_second_library_are_refused(line):
    lib, _ = line
    call = lib.dial(phone="5551234")
    call.close()
    with pytest.raises(vek.UsageError, match="closed"):
        call.read(0, 1)
    with pytest.raises(vek.UsageError, match="already runs in this process"):
        vek.Library()


def test_a_line_that_drops_fails_the_read_with_its_cause(line):
    lib, events = line
    process, device = start_panelsim("--drop-after-replies", "2")
    try:
        lib.set_modem(device=device, port=4)
        events.clear()
        started = time.monotonic()
        with lib.dial(phone="5551234") as call:
            with pytest.raises(vek.CallError) as raised:
                for _ in range(10):
                    call.read(0, 16)
        assert raised.value.code == 27
        assert raised.value.cause_name == "the line dropped"
        assert time.monotonic() - started < 30
        assert lib.wait_idle(60)  # the library puts the line back on hook
        assert "link lost" in events and events[-1] == "modem ready"
    finally:
        process.terminate()
        process.wait(10)
