#!/usr/bin/env python3
"""Serves the browser build's folder on 127.0.0.1.

    serve.py SITE [--port N] [--results DIR]

Port 0 (the default) takes a free port. The first line printed names the
address. With --results, a POST to /result is written to DIR/result.json
(the page sends it when asked to with ?report=1), so a test can wait for it.
"""
import argparse
import functools
import http.server
import os
import sys


class Handler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {
        **http.server.SimpleHTTPRequestHandler.extensions_map,
        ".wasm": "application/wasm",
        ".js": "text/javascript",
        ".mad4": "application/octet-stream",
        ".vrp": "application/octet-stream",
    }
    results = None

    def end_headers(self):
        # Every load is a fresh build's: nothing is kept between runs.
        self.send_header("Cache-Control", "no-store")
        # Cross-origin isolation gives the page's clock its fine resolution
        # (microseconds, not a tenth of a millisecond) for the timedemo.
        self.send_header("Cross-Origin-Opener-Policy", "same-origin")
        self.send_header("Cross-Origin-Embedder-Policy", "require-corp")
        super().end_headers()

    def do_POST(self):
        if self.path != "/result" or not self.results:
            self.send_error(404)
            return
        body = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        path = os.path.join(self.results, "result.json")
        with open(path + ".part", "wb") as f:
            f.write(body)
        os.replace(path + ".part", path)
        self.send_response(204)
        self.end_headers()

    def log_message(self, format, *args):
        pass


def main():
    parser = argparse.ArgumentParser(description="Serves the browser build on 127.0.0.1.")
    parser.add_argument("site")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--results")
    a = parser.parse_args()
    Handler.results = a.results
    handler = functools.partial(Handler, directory=a.site)
    with http.server.ThreadingHTTPServer(("127.0.0.1", a.port), handler) as server:
        print(f"Voltigor in the browser: http://127.0.0.1:{server.server_address[1]}/", flush=True)
        try:
            server.serve_forever()
        except KeyboardInterrupt:
            pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
