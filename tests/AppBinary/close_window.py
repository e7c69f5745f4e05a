#!/usr/bin/python3
"""Sends the application's windows the close request a window manager sends when their close
button is pressed, once a file matching PATTERN exists, and again until the process PID has
gone. Usage: close_window.py PID PATTERN (DISPLAY and XAUTHORITY from the environment)."""
import ctypes, ctypes.util, glob, os, subprocess, sys, time

pid, pattern = int(sys.argv[1]), sys.argv[2]
x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
x.XOpenDisplay.restype = ctypes.c_void_p
x.XInternAtom.restype = ctypes.c_ulong
x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
display = x.XOpenDisplay(None)
if not display:
    sys.exit("no display")
# A window that went away between listing and sending is no error here: the application is
# closing. Xlib's own handler would end this script instead.
ErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
ignore_errors = ErrorHandler(lambda display, event: 0)
x.XSetErrorHandler.argtypes = [ErrorHandler]
x.XSetErrorHandler(ignore_errors)
# The display ends with the application (its server is stopped once the program has gone): after
# the request that is the request obeyed, so a request sent again as it ends is no failure.
requested = False


def display_gone(display):
    if not requested:
        print("the display went away before the close request", file=sys.stderr, flush=True)
    os._exit(0 if requested else 1)


IOErrorHandler = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)
on_display_gone = IOErrorHandler(display_gone)
x.XSetIOErrorHandler.argtypes = [IOErrorHandler]
x.XSetIOErrorHandler(on_display_gone)


class Event(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


protocols = x.XInternAtom(display, b"WM_PROTOCOLS", 0)
delete = x.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
x.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]


def windows():
    tree = subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True, text=True).stdout
    return [l.split()[0] for l in tree.splitlines() if l.strip().startswith("0x") and '"' in l]


def gone():
    try:
        os.kill(pid, 0)
        return False
    except OSError:
        return True


# The list is kept fresh while waiting, so the request follows the file at once.
ids = []
for i in range(24000):
    if i % 50 == 0:
        ids = windows() or ids
    if glob.glob(pattern) and ids:
        break
    if gone():
        sys.exit("the application ended before %s existed" % pattern)
    time.sleep(0.005)
else:
    sys.exit("%s never existed" % pattern)


def close(ids):
    for wid in ids:
        e = Event(type=33, send_event=1, display=display, window=int(wid, 16), message_type=protocols, format=32)
        e.data[0] = delete
        x.XSendEvent(display, int(wid, 16), 0, 0, ctypes.byref(e))
    x.XFlush(display)


requested = True
close(ids)
print("close requested", flush=True)
# On a loaded machine the list may have been read before the application's window had its
# name: the request goes again to the windows there now, until the application has gone.
for _ in range(240):
    time.sleep(0.5)
    if gone():
        break
    close(windows() or ids)
