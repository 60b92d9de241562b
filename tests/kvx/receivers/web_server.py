"""A box's web interface for the tests: answers GET /web/servicelistreload?mode=0 as the box does, with
e2state ANSWER (True or False), behind basic authentication for USER and PASSWORD, on 127.0.0.1 at a free
port (written to PORT_FILE once it listens). Every request is added to LOG as "PATH USER", USER "-"
where none was given.

   web_server.py PORT_FILE LOG USER PASSWORD ANSWER"""

import base64
import os
import sys
from http.server import BaseHTTPRequestHandler, HTTPServer

port_file, log, user, password, answer = sys.argv[1:6]


class Handler(BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        given = self.headers.get("Authorization", "")
        login = "-"
        if given.startswith("Basic "):
            login = base64.b64decode(given[6:]).decode("utf-8", "replace")
        with open(log, "a") as f:
            f.write(f"{self.path} {login.split(':')[0]}\n")
        if login != f"{user}:{password}":
            self.send_response(401)
            self.send_header("WWW-Authenticate", 'Basic realm="box"')
            self.send_header("Content-Length", "0")
            self.end_headers()
            return
        if self.path != "/web/servicelistreload?mode=0":
            self.send_error(404)
            return
        text = "reloading services and bouquets" if answer == "True" else "missing or wrong argument"
        body = (
            '<?xml version="1.0" encoding="UTF-8"?>\n<e2simplexmlresult>\n'
            f"\t<e2state>{answer}</e2state>\n\t<e2statetext>{text}</e2statetext>\n</e2simplexmlresult>\n"
        ).encode()
        self.send_response(200)
        self.send_header("Content-Type", "application/xhtml+xml")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


server = HTTPServer(("127.0.0.1", 0), Handler)
with open(port_file + ".new", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".new", port_file)
server.serve_forever()
