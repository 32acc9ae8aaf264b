#!/usr/bin/env python3
"""A false PostgreSQL server for the tests: it speaks the start of PostgreSQL's protocol and asks every
client for its password in clear text, to show whether the program hands it over.

  false_server.py refuse LOG              refuses TLS ('N')
  false_server.py tls LOG CERT KEY        takes TLS with a certificate of its own

It listens on 127.0.0.1 at a free port and prints the port on its first line. Each event goes to LOG as a
line: "tls-request", "tls-refused", "tls-accepted", "tls-failed", "startup", "password" (the password itself
is never written).
"""
import socket
import ssl
import struct
import sys
import threading

SSL_REQUEST = 80877103
GSSENC_REQUEST = 80877104
CANCEL_REQUEST = 80877102


def main():
    mode, log_path = sys.argv[1], sys.argv[2]
    context = None
    if mode == "tls":
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[3], sys.argv[4])
    log_lock = threading.Lock()

    def log(event):
        with log_lock, open(log_path, "a", encoding="utf-8") as f:
            f.write(event + "\n")

    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    while True:
        client, _ = listener.accept()
        threading.Thread(target=serve, args=(client, context, log), daemon=True).start()


def read_exactly(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise ConnectionError("closed")
        data += chunk
    return data


def read_packet(conn):
    length = struct.unpack("!I", read_exactly(conn, 4))[0]
    return read_exactly(conn, length - 4)


def error_response(code, message):
    fields = b"SFATAL\0VFATAL\0C" + code + b"\0M" + message + b"\0\0"
    return b"E" + struct.pack("!I", len(fields) + 4) + fields


def serve(conn, context, log):
    conn.settimeout(20)
    try:
        while True:
            body = read_packet(conn)
            code = struct.unpack("!I", body[:4])[0]
            if code == SSL_REQUEST:
                log("tls-request")
                if context is None:
                    conn.sendall(b"N")
                    log("tls-refused")
                    continue
                conn.sendall(b"S")
                try:
                    conn = context.wrap_socket(conn, server_side=True)
                except (ssl.SSLError, OSError):
                    log("tls-failed")
                    return
                log("tls-accepted")
                continue
            if code == GSSENC_REQUEST:
                conn.sendall(b"N")
                continue
            if code == CANCEL_REQUEST:
                return
            log("startup")
            # AuthenticationCleartextPassword: the client would send its password as it is.
            conn.sendall(b"R" + struct.pack("!II", 8, 3))
            kind = read_exactly(conn, 1)
            read_packet(conn)
            if kind == b"p":
                log("password")
            conn.sendall(error_response(b"28P01", b"password authentication failed"))
            return
    except (ConnectionError, OSError, ssl.SSLError, struct.error):
        pass
    finally:
        try:
            conn.close()
        except OSError:
            pass


if __name__ == "__main__":
    main()
