"""A read-only FTP server over one folder for the tests, on 127.0.0.1 and an ephemeral port.

It accepts an anonymous log-in (the user name "anonymous" in any letter case, any password) and one
named user with a password, answers a failed log-in at once, and appends every command line it
receives, passwords included, to a log file. It prints "listening PORT" once it listens and ends when
its standard input closes, so it never outlives the test program that started it, and then removes
the folder that it was given.
"""

import argparse
import logging
import os
import shutil
import sys
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer


def parse_arguments():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--log", required=True)
    parser.add_argument("--folder", help="removed when the server ends (it holds the root and the log)")
    parser.add_argument("--no-size", action="store_true", help="answer SIZE as unknown")
    parser.add_argument("--no-rest", action="store_true", help="refuse REST")
    parser.add_argument("--cut-after", type=int, help="break every file download after this many bytes")
    return parser.parse_args()


def make_handler(arguments):
    log = open(arguments.log, "a", buffering=1, encoding="utf-8")
    refused = set()
    if arguments.no_size:
        refused.add("SIZE")
    if arguments.no_rest:
        refused.add("REST")

    class RecordingHandler(FTPHandler):
        auth_failed_timeout = 0

        def pre_process_command(self, line, cmd, arg):
            log.write(line + "\n")
            if cmd in refused:
                self.respond('500 Command "%s" not understood.' % cmd)
                return
            super().pre_process_command(line, cmd, arg)

        def _on_dtp_connection(self):
            # Once an active data connection stands, its connector is spent. pyftpdlib keeps it and
            # closes it again at QUIT, which unregisters whatever socket has its file number by then,
            # often another client's control connection; dropping it here keeps QUIT harmless.
            self._dtp_connector = None
            super()._on_dtp_connection()

        def ftp_USER(self, line):
            # FTP servers take the anonymous user name in any letter case.
            super().ftp_USER("anonymous" if line.lower() == "anonymous" else line)

    if arguments.cut_after is not None:
        RecordingHandler.dtp_handler = make_cutting_data_handler(arguments.cut_after)

    authorizer = DummyAuthorizer()
    authorizer.add_user(arguments.user, arguments.password, arguments.root, perm="elr")
    authorizer.add_anonymous(arguments.root, perm="elr")
    RecordingHandler.authorizer = authorizer
    return RecordingHandler


def make_cutting_data_handler(cut_after):
    class CuttingDataHandler(DTPHandler):
        """Closes the data connection of a file download after `cut_after` bytes, replying 426."""

        def use_sendfile(self):
            return False  # every byte of the file then passes through send()

        def send(self, data):
            if self.file_obj is None:  # a listing
                return super().send(data)
            sent = super().send(data[:max(cut_after - self.tot_bytes_sent, 0)])
            if self.tot_bytes_sent >= cut_after:
                self._resp = ("426 Connection closed; transfer aborted.", logging.getLogger(__name__).debug)
                self.close()
            return sent

    return CuttingDataHandler


def end_when_parent_goes(folder):
    while sys.stdin.buffer.read(4096):
        pass
    # A test program that crashed cannot clean up after itself, so the server does.
    if folder:
        shutil.rmtree(folder, ignore_errors=True)
    os._exit(0)


def main():
    arguments = parse_arguments()
    server = FTPServer(("127.0.0.1", 0), make_handler(arguments))
    threading.Thread(target=end_when_parent_goes, args=(arguments.folder,), daemon=True).start()
    print("listening %d" % server.address[1], flush=True)
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
