"""A box's FTP server for the tests: ROOT served on 127.0.0.1 at a free port (written to PORT_FILE once
it listens), one user with a password, everything allowed but what --deny takes away.

   ftp_server.py ROOT PORT_FILE USER PASSWORD [--deny PERMS:TEXT]...

--deny w:lamedb5 refuses storing (w), renaming (f) or deleting (d) any file whose name holds the text,
as a box refuses a file it does not let this login write. Run with Debian's python3 (pyftpdlib)."""

import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


class Authorizer(DummyAuthorizer):
    denied = []

    def has_perm(self, username, perm, path=None):
        if path is not None:
            for perms, text in self.denied:
                if perm in perms and text in path.rsplit("/", 1)[-1]:
                    return False
        return super().has_perm(username, perm, path)


def main():
    root, port_file, user, password = sys.argv[1:5]
    rest = sys.argv[5:]
    while rest:
        if rest[0] != "--deny" or len(rest) < 2:
            sys.exit("usage: ftp_server.py ROOT PORT_FILE USER PASSWORD [--deny PERMS:TEXT]...")
        perms, text = rest[1].split(":", 1)
        Authorizer.denied.append((perms, text))
        rest = rest[2:]
    authorizer = Authorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    handler.banner = "box FTP server ready"
    server = FTPServer(("127.0.0.1", 0), handler)
    with open(port_file + ".new", "w") as f:
        f.write(str(server.address[1]))
    os.rename(port_file + ".new", port_file)
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    logging.basicConfig(level=logging.WARNING)
    main()
