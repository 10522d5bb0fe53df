"""Where the programs under test and the source and build trees are."""
import os
import sys

HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCE = os.environ.get("LUMI_SOURCE") or os.path.abspath(os.path.join(HERE, "..", ".."))
BUILD = os.environ.get("LUMI_BUILD") or os.path.join(SOURCE, "build", "native")

PROGRAM_KEY = r"HKCU\Software\Veltrane Software\Lumiscript"
WINE_ENV = {"WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}


def native_binary():
    return os.environ.get("LUMI_NATIVE") or os.path.join(BUILD, "lumisaver")


def win32_binary():
    return os.environ.get("LUMI_WIN32") or os.path.join(SOURCE, "build", "win32", "lumisaver.scr")


def win64_binary():
    """A 64-bit build of the Windows program, used in place of the 32-bit one
    where this machine's kernel cannot run 32-bit programs."""
    return os.environ.get("LUMI_WIN64") or os.path.join(SOURCE, "build", "win64", "lumisaver.scr")


def tool_binary():
    return os.environ.get("LUMI_TOOL") or os.path.join(BUILD, "lumitool")


def loud(message):
    """A line that stands out in ctest's output."""
    bar = "*" * 72
    sys.stderr.write("\n%s\n*** %s\n%s\n" % (bar, message, bar))
    sys.stderr.flush()
