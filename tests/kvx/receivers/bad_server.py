"""A server that is not the receiver kvx was told of, on 127.0.0.1 at a free port (written to PORT_FILE
once it listens). MODE says what it does with every connection:
  flood  sends "220 " and then one line that never ends
  stall  accepts and never says anything
  other  greets as another kind of server does, then says nothing more

   bad_server.py MODE PORT_FILE"""

import os
import socket
import sys
import threading

mode, port_file = sys.argv[1:3]


def serve(connection):
    try:
        if mode == "flood":
            connection.sendall(b"220 ")
            chunk = b"x" * 65536
            while True:
                connection.sendall(chunk)
        elif mode == "other":
            connection.sendall(b"SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n")
        while connection.recv(4096):  # says nothing more, whatever it is sent, until the client goes
            pass
    except OSError:
        pass
    finally:
        connection.close()


listener = socket.socket()
listener.bind(("127.0.0.1", 0))
listener.listen(16)
with open(port_file + ".new", "w") as f:
    f.write(str(listener.getsockname()[1]))
os.rename(port_file + ".new", port_file)
while True:
    connection, _ = listener.accept()
    threading.Thread(target=serve, args=(connection,), daemon=True).start()
