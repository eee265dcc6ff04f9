#!/usr/bin/env python3
"""Scripted HTTP server for the downloader's tests.

Usage: http_script_server.py DIR [DEADLINE_SECONDS]

Reads DIR/script.json, listens on 127.0.0.1 at an ephemeral port, writes the port to DIR/port
(atomically), and serves one scripted connection per entry of "connections", in order:

  {"connections": [{"steps": [STEP, ...]}, ...]}
  STEP: {"send": "text"}                       text sent as Latin-1 bytes (one byte per character),
                                               with "{port}" replaced by the listening port
        {"send_file": "name", "start": 0, "end": null}   bytes of DIR/name[start:end]
        {"sleep": seconds}

Before the steps it reads the request (up to the first empty line, 64 KiB or 5 seconds) and
stores the bytes received in DIR/request-N.bin (N from 1). After the steps the connection is
closed. When every connection has been served, or the deadline (default 30 s) has passed, it
writes DIR/done and exits. It never listens on anything but 127.0.0.1.
"""
import json
import os
import socket
import sys
import time


def write_atomically(path, data):
    tmp = path + ".part"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def read_request(conn):
    conn.settimeout(5.0)
    data = b""
    try:
        while b"\r\n\r\n" not in data and len(data) < 65536:
            chunk = conn.recv(4096)
            if not chunk:
                break
            data += chunk
    except OSError:
        pass
    return data


def run_steps(conn, folder, steps, port):
    conn.settimeout(30.0)
    for step in steps:
        if "send" in step:
            conn.sendall(step["send"].replace("{port}", str(port)).encode("latin-1"))
        elif "send_file" in step:
            with open(os.path.join(folder, step["send_file"]), "rb") as f:
                data = f.read()
            conn.sendall(data[step.get("start", 0):step.get("end")])
        elif "sleep" in step:
            time.sleep(float(step["sleep"]))


def main():
    folder = sys.argv[1]
    deadline = time.monotonic() + (float(sys.argv[2]) if len(sys.argv) > 2 else 30.0)
    with open(os.path.join(folder, "script.json"), "r", encoding="utf-8") as f:
        script = json.load(f)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    port = listener.getsockname()[1]
    write_atomically(os.path.join(folder, "port"), str(port).encode())
    served = 0
    try:
        for index, connection in enumerate(script["connections"], start=1):
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                break
            listener.settimeout(remaining)
            try:
                conn, _ = listener.accept()
            except OSError:
                break
            with conn:
                request = read_request(conn)
                write_atomically(os.path.join(folder, "request-%d.bin" % index), request)
                try:
                    run_steps(conn, folder, connection.get("steps", []), port)
                except OSError:
                    pass  # the client went away, as it may (oversized headers, time-outs)
                try:
                    conn.shutdown(socket.SHUT_RDWR)
                except OSError:
                    pass
            served += 1
    finally:
        listener.close()
        write_atomically(os.path.join(folder, "done"), str(served).encode())


if __name__ == "__main__":
    main()
