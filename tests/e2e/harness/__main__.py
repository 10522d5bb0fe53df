import sys

from .builds import preflight

if sys.argv[1:] == ["preflight"]:
    sys.exit(preflight())
if sys.argv[1:] == ["two-monitor-xorg"]:
    # For scripts: the display on the first line, the server kept until
    # standard input closes.
    import signal
    from .xorg import TwoMonitorXorg
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    try:
        server = TwoMonitorXorg().start()
    except RuntimeError as e:
        sys.exit(str(e))
    try:
        print(server.display, flush=True)
        sys.stdin.read()
    finally:
        server.stop()
    sys.exit(0)
sys.exit("usage: python3 -m harness preflight | two-monitor-xorg")
