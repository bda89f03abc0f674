"""Reads and writes panel memory through vek: dial, read 16 bytes, write 4,
read them back, hang up. usage: read_write.py DEVICE [PHONE]"""

import sys

import vek

device = sys.argv[1]
phone = sys.argv[2] if len(sys.argv) > 2 else "5551234"
try:
    with vek.Library(device=device) as lib:
        with lib.dial(phone=phone) as call:
            ident = call.identification
            print(f"panel type {ident.type} version {ident.version}")
            print(call.read(0x0100, 16).hex(" ").upper())
            call.write(0x0200, bytes([0xDE, 0xAD, 0xBE, 0xEF]))
            print(call.read(0x0200, 4).hex(" ").upper())
except vek.Error as error:
    print(f"failed: {error} (code {error.code})", file=sys.stderr)
    sys.exit(1)
