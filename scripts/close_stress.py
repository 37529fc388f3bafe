#!/usr/bin/env python3
"""Close requests against the real window on an X server, many times over.

Each round starts the program, ticks "Speed Regelung", clicks "Regelung an",
sends the window a close request (WM_DELETE_WINDOW, what a window manager
sends), clicks "Regelung aus" and expects the program to end. The pauses
between the steps vary from round to round, so the close lands at different
moments of the run. Run it under a virtual display:

    xvfb-run -a -s "-screen 0 1280x1024x24" scripts/close_stress.py build/vantrel 200

Exit status 0 when every round ended, 1 otherwise (the failing rounds are
listed). Needs xdotool; the close message goes through libxcb by ctypes.
"""
import ctypes
import os
import random
import struct
import subprocess
import sys
import tempfile
import time

XCB_CLIENT_MESSAGE = 33


class Xcb:
    def __init__(self):
        self.lib = ctypes.CDLL("libxcb.so.1")
        self.lib.xcb_connect.restype = ctypes.c_void_p
        self.lib.xcb_connect.argtypes = [ctypes.c_char_p, ctypes.c_void_p]
        self.lib.xcb_intern_atom.restype = ctypes.c_uint32
        self.lib.xcb_intern_atom.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_char_p]
        self.lib.xcb_intern_atom_reply.restype = ctypes.POINTER(ctypes.c_uint32 * 3)
        self.lib.xcb_intern_atom_reply.argtypes = [ctypes.c_void_p, ctypes.c_uint32, ctypes.c_void_p]
        self.lib.xcb_send_event.argtypes = [ctypes.c_void_p, ctypes.c_uint8, ctypes.c_uint32, ctypes.c_uint32,
                                            ctypes.c_char_p]
        self.lib.xcb_flush.argtypes = [ctypes.c_void_p]
        self.lib.xcb_disconnect.argtypes = [ctypes.c_void_p]
        self.conn = self.lib.xcb_connect(None, None)
        self.protocols = self.atom(b"WM_PROTOCOLS")
        self.delete = self.atom(b"WM_DELETE_WINDOW")

    def atom(self, name):
        cookie = self.lib.xcb_intern_atom(self.conn, 0, len(name), name)
        reply = self.lib.xcb_intern_atom_reply(self.conn, cookie, None)
        return reply.contents[2]  # response_type, pad, sequence, length | atom

    def close_request(self, window):
        event = struct.pack("=BBHII5I", XCB_CLIENT_MESSAGE, 32, 0, window, self.protocols, self.delete,
                            0, 0, 0, 0)
        self.lib.xcb_send_event(self.conn, 0, window, 0, event)
        self.lib.xcb_flush(self.conn)


def xdotool(*args):
    return subprocess.run(["xdotool", *args], capture_output=True, text=True, check=False).stdout.strip()


def main():
    program = sys.argv[1] if len(sys.argv) > 1 else "build/vantrel"
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 200
    seed = int(sys.argv[3]) if len(sys.argv) > 3 else random.randrange(1 << 30)
    print(f"close stress: {rounds} rounds, seed {seed}", flush=True)
    rng = random.Random(seed)
    xcb = Xcb()
    # A settings folder of its own: the user's kept settings (a panel left
    # open) neither change the rounds nor are changed by them.
    settings = tempfile.TemporaryDirectory()
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", XDG_CONFIG_HOME=settings.name)
    failures = []
    for round_number in range(1, rounds + 1):
        proc = subprocess.Popen([program], env=env)
        window = ""
        for _ in range(200):
            window = xdotool("search", "--onlyvisible", "--name", "^Vantrel parameters")
            if window:
                break
            time.sleep(0.05)
        if not window:
            proc.kill()
            proc.wait()
            failures.append((round_number, "no window"))
            continue
        window = int(window.split()[0])
        # Client area at (100, 200): the "Regelung Tests" tab, the check box,
        # then "Regelung an".
        xdotool("mousemove", "150", "210", "click", "1")
        time.sleep(rng.uniform(0.0, 0.1))
        xdotool("mousemove", "455", "255", "click", "1")
        time.sleep(rng.uniform(0.0, 0.1))
        xdotool("mousemove", "156", "244", "click", "1")
        time.sleep(rng.choice([0.0, rng.uniform(0.0, 0.05), rng.uniform(0.0, 0.6)]))
        xcb.close_request(window)
        time.sleep(rng.choice([0.0, rng.uniform(0.0, 0.05), rng.uniform(0.0, 0.6)]))
        xdotool("mousemove", "268", "244", "click", "1")
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            failures.append((round_number, "still open 5 s after 'Regelung aus'"))
            proc.kill()
            proc.wait()
    for round_number, what in failures:
        print(f"round {round_number}: {what}")
    print(f"close stress: {rounds - len(failures)} of {rounds} rounds ended", flush=True)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
