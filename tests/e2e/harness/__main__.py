import sys

from .builds import preflight

if sys.argv[1:] == ["preflight"]:
    sys.exit(preflight())
sys.exit("usage: python3 -m harness preflight")
