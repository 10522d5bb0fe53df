#!/usr/bin/env python3
"""An update server on 127.0.0.1 that answers the version request in two
writes: the headers, then 300 ms later the body, the connection kept open
after it (only Content-Length tells the reply is whole). Other files are
sent whole.

usage: split.py ROOT REQUEST_LOG

Serves ROOT/<url path> (an absolute-URI request line as a proxy would not
send is taken too); prints its port on the first line of standard output
and appends each request line to REQUEST_LOG.
"""
import os
import socket
import sys
import threading
import time
import urllib.parse

VERSION_PATH = "/version/vorl.txt"
PAUSE_S = 0.3


def read_request(conn):
    data = b""
    conn.settimeout(10)
    while b"\r\n\r\n" not in data and len(data) < 65536:
        chunk = conn.recv(4096)
        if not chunk:
            break
        data += chunk
    return data


def serve(root, log, lock, conn):
    try:
        request = read_request(conn)
        line = request.split(b"\r\n", 1)[0].decode("latin-1")
        with lock, open(log, "a") as f:
            f.write(line + "\n")
        parts = line.split(" ")
        path = urllib.parse.urlsplit(parts[1]).path if len(parts) == 3 else ""
        target = os.path.join(root, path.lstrip("/"))
        if not path or not os.path.isfile(target):
            conn.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
            return
        with open(target, "rb") as f:
            body = f.read()
        headers = ("HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: %d\r\n\r\n"
                   % len(body)).encode()
        if path != VERSION_PATH:
            conn.sendall(headers + body)
            return
        conn.sendall(headers)
        time.sleep(PAUSE_S)
        conn.sendall(body)
        # Kept alive as an HTTP/1.1 server would, until the client goes.
        conn.settimeout(30)
        while conn.recv(4096):
            pass
    except OSError:
        pass
    finally:
        conn.close()


def main():
    root, log = sys.argv[1], sys.argv[2]
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    lock = threading.Lock()
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(root, log, lock, conn), daemon=True).start()


if __name__ == "__main__":
    main()
