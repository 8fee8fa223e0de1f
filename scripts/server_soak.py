#!/usr/bin/env python3
"""Server soak: the bundled quote server's memory stays flat under many requests, hostile ones too.

  scripts/server_soak.py SERVER [--requests N] [--limit SECONDS]

Starts SERVER (a lumetta-server) on an ephemeral loopback port and sends it N requests (100,000
unless told), each on a connection of its own, as the panel does. Every tenth is hostile, in
turn: a 16 KiB header, a 1 MiB post, a foreign Host, a small post to the quote endpoint. Every
thousandth request also leaves 100 connections open without a word until the next thousand,
from the same account as the soak's requests, which must still be answered.
Ordinary requests must get the quotes, hostile ones no quotes. The server's resident memory is
read after each thousand; from the first tenth of the run to the end it must grow by less than
GROWTH_LIMIT. Everything stays on loopback; the run gives up after SECONDS (150 unless told).
Exits 1 when a check failed.
"""

import argparse
import re
import socket
import subprocess
import sys
import time

GROWTH_LIMIT_KB = 2048
IDLE_BURST = 100


def resident_kb(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def exchange(port, data):
    """Sends `data` on a new connection; returns what comes back until the server closes it."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as connection:
        try:
            connection.sendall(data)
        except OSError:
            pass  # the server stopped reading: a refusal, and what it said may still be there
        reply = bytearray()
        try:
            while chunk := connection.recv(65536):
                reply += chunk
        except OSError:
            pass
        return bytes(reply)


def end(connections):
    """Ends `connections` and waits until the server has closed each, which it does only after
    giving back the place the connection held."""
    for connection in connections:
        connection.settimeout(10)
        try:
            connection.shutdown(socket.SHUT_WR)
            connection.recv(1)
        except OSError:
            pass  # closed by the server already
        connection.close()


def requests(host):
    quote = f"GET /Soft/Price.asp?Type=0 HTTP/1.1\r\nHost: {host}\r\n\r\n".encode()
    hostile = [
        f"GET /Soft/Price.asp HTTP/1.1\r\nHost: {host}\r\nX-Filler: {'h' * 16384}\r\n\r\n".encode(),
        (f"POST /Soft/Price.asp HTTP/1.1\r\nHost: {host}\r\nContent-Length: 1048576\r\n\r\n"
         .encode() + b"b" * 1048576),
        b"GET /Soft/Price.asp HTTP/1.1\r\nHost: rebound.example\r\n\r\n",
        f"POST /Soft/Price.asp HTTP/1.1\r\nHost: {host}\r\nContent-Length: 3\r\n\r\na=1".encode(),
    ]
    return quote, hostile


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("server")
    parser.add_argument("--requests", type=int, default=100_000)
    parser.add_argument("--limit", type=int, default=300)
    args = parser.parse_args()

    server = subprocess.Popen([args.server, "--port", "0", "--bind", "127.0.0.1", "--seed", "5"],
                              stdout=subprocess.PIPE, text=True)
    failures = []
    try:
        match = re.search(r"listening on (127\.0\.0\.1:(\d+))$", server.stdout.readline().strip())
        if not match:
            print("server soak: the server did not start", file=sys.stderr)
            return 1
        host, port = match.group(1), int(match.group(2))
        quote, hostile = requests(host)
        give_up = time.monotonic() + args.limit
        idle = []
        samples = []
        for number in range(args.requests):
            if time.monotonic() > give_up:
                failures.append(f"only {number} requests within {args.limit} s")
                break
            if number % 1000 == 0:
                end(idle)
                idle = [socket.create_connection(("127.0.0.1", port)) for _ in range(IDLE_BURST)]
            if number % 10 == 9:
                kind = (number // 10) % len(hostile)
                if b"\r\nau," in exchange(port, hostile[kind]):
                    failures.append(f"request {number}: hostile request {kind} got the quotes")
            elif b"\r\nau," not in exchange(port, quote):
                failures.append(f"request {number}: no quotes")
            if number % 1000 == 999:
                samples.append(resident_kb(server.pid))
            if len(failures) > 5:
                break
        end(idle)
        if samples:
            settled = samples[len(samples) // 10]
            growth = samples[-1] - settled
            print(f"server soak: {len(samples) * 1000} requests; resident memory {samples[0]} kB "
                  f"after the first thousand, {settled} kB after a tenth, {samples[-1]} kB at the "
                  f"end (most {max(samples)} kB); growth {growth} kB")
            if growth >= GROWTH_LIMIT_KB:
                failures.append(f"resident memory grew by {growth} kB")
    finally:
        server.terminate()
        server.wait(timeout=10)
    for failure in failures:
        print(f"FAIL: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
