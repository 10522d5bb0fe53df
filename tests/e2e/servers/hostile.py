#!/usr/bin/env python3
"""Misbehaving HTTP servers for the update check, each on 127.0.0.1.

usage: hostile.py MODE [CONNECTION_LOG]

Listens on a free port, prints it on the first line of standard output, then
serves until killed. Each accepted connection appends one line to
CONNECTION_LOG when given.

  accept-close   accepts and closes at once, sends nothing
  silent         accepts, reads the request, never answers
  flood          answers every request with 5 MB of headers-free bytes
  no-blank-line  a status line and headers, but no blank line, then close
  stall-download a version reply of 1.0.0.11, then an updater that announces
                 1 MB, sends the first kilobyte and stalls
"""
import socket
import sys
import threading

FLOOD_BYTES = 5 * 1024 * 1024


def read_request(conn):
    data = b""
    conn.settimeout(10)
    try:
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    return data


def serve(mode, conn, held):
    try:
        if mode == "accept-close":
            return
        request = read_request(conn)
        if mode == "silent":
            held.append(conn)  # kept open, never answered
            return
        if mode == "stall-download":
            if b"/version/vorl.txt " in request:
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\nConnection: close\r\n\r\n1.0.0.11\r\n")
                return
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
                         b"Content-Length: 1048576\r\n\r\nMZ" + b"\0" * 1022)
            held.append(conn)
            return
        if mode == "flood":
            block = b"1.0.0.11." * 1024
            sent = 0
            while sent < FLOOD_BYTES:
                conn.sendall(block)
                sent += len(block)
        elif mode == "no-blank-line":
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nX-Version: 1.0.0.11\r\n")
    except OSError:
        pass
    finally:
        if conn not in held:
            try:
                conn.close()
            except OSError:
                pass


def main():
    mode = sys.argv[1]
    log = sys.argv[2] if len(sys.argv) > 2 else None
    if mode not in ("accept-close", "silent", "flood", "no-blank-line", "stall-download"):
        sys.exit("unknown mode " + mode)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    held = []
    count = 0
    while True:
        conn, _ = listener.accept()
        count += 1
        if log:
            with open(log, "a") as f:
                f.write("%s connection %d\n" % (mode, count))
        threading.Thread(target=serve, args=(mode, conn, held), daemon=True).start()


if __name__ == "__main__":
    main()
