"""Temporary folders, settings files and the UTF-16 log."""
import contextlib
import os
import shutil
import tempfile


class DataDir:
    """A fresh temporary directory, removed afterwards (even when read-only)."""

    def __init__(self, prefix="lumi-e2e-"):
        self.path = tempfile.mkdtemp(prefix=prefix)

    def file(self, name):
        return os.path.join(self.path, name)

    def write(self, name, content, mode="w"):
        p = self.file(name)
        with open(p, mode) as f:
            f.write(content)
        return p

    def listing(self):
        return sorted(os.listdir(self.path))

    def cleanup(self):
        for root, dirs, _ in os.walk(self.path):
            for d in dirs:
                with contextlib.suppress(OSError):
                    os.chmod(os.path.join(root, d), 0o755)
        with contextlib.suppress(OSError):
            os.chmod(self.path, 0o755)
        shutil.rmtree(self.path, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.cleanup()


def decode_ini(raw):
    """Settings file bytes as text: UTF-16 with a byte-order mark, UTF-8, or
    the ANSI code page the Windows calls write (taken as cp1252)."""
    if raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le")
    if raw.startswith(b"\xef\xbb\xbf"):
        raw = raw[3:]
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp1252", "replace")


def parse_ini(textual):
    """[(section, [(key, value), ...]), ...] in file order, as written (no
    merging, no case folding), for exact checks of the layout."""
    sections = []
    for line in textual.splitlines():
        s = line.strip()
        if s.startswith("[") and "]" in s:
            sections.append((s[1:s.rindex("]")].strip(), []))
        elif "=" in s and sections:
            k, v = s.split("=", 1)
            sections[-1][1].append((k.strip(), v.strip()))
    return sections


def read_ini(path):
    with open(path, "rb") as f:
        return parse_ini(decode_ini(f.read()))


def ini_dict(sections):
    """{(SECTION, Key): value} of the first occurrences, names as written."""
    out = {}
    for name, keys in sections:
        for k, v in keys:
            out.setdefault((name, k), v)
    return out


def read_log_bytes(path):
    with open(path, "rb") as f:
        return f.read()


def read_log(path):
    """The log as text; it must be UTF-16LE without a byte-order mark."""
    raw = read_log_bytes(path)
    if raw.startswith(b"\xff\xfe"):
        raise AssertionError("log starts with a byte-order mark")
    if len(raw) % 2:
        raise AssertionError("log has an odd number of bytes (%d)" % len(raw))
    return raw.decode("utf-16-le")


def log_lines(path):
    """The log's lines; each must end in CR LF."""
    textual = read_log(path)
    if textual and not textual.endswith("\r\n"):
        raise AssertionError("log does not end with CR LF: %r" % textual[-40:])
    return textual.split("\r\n")[:-1] if textual else []


# Every key a save writes, in its order and form, with the values of a later
# run: log on, no update check, no multisampling. UseLocal and UseWeb are -1
# because every save writes them so.
_SETTINGS = (
    ("PROXY", "Enabled", 0), ("PROXY", "Server", ""), ("PROXY", "Port", 0),
    ("DATA", "UseLocal", -1), ("DATA", "UseWeb", -1),
    ("LOCALIZATION", "LocaleName", "English"), ("LOCALIZATION", "DateFormat", "d MMMM yyyy"),
    ("SYSTEM", "Log", 1), ("SYSTEM", "FSAAmode", 0), ("SYSTEM", "Font", "Georgia"),
    ("SYSTEM", "LastUpdateDate", 20240101), ("SYSTEM", "AutoUpdate", 0),
    ("SYSTEM", "LastReceiveDate", 20240102), ("SYSTEM", "NumFirstQuote", 2),
    ("SYSTEM", "DisplayMyFavorites", 1), ("SYSTEM", "DisplayQoD", 0), ("SYSTEM", "DisplayAll", 0),
    ("SYSTEM", "LastNum", 7),
)


def settings(**overrides):
    """{(SECTION, Key): text} of a whole settings file, keys overridden by name."""
    values = {(s, k): str(v) for s, k, v in _SETTINGS}
    for key, value in overrides.items():
        section = next((s for s, k in values if k == key), None)
        if section is None:
            raise KeyError("no settings key %s" % key)
        values[section, key] = str(value)
    return values


def write_settings(path, values, crlf=False):
    """Writes settings()-style values in the order and form a save writes
    them, so a save that keeps every value leaves the file as it was."""
    lines, section = [], None
    for (s, k), v in values.items():
        lines += (["[%s]" % s] if s != section else []) + ["%s=%s" % (k, v)]
        section = s
    with open(path, "w", encoding="utf-8", newline="\r\n" if crlf else "\n") as f:
        f.write("\n".join(lines) + "\n")
