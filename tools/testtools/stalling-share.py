#!/usr/bin/python3
# A file system that serves the files of one folder and stops answering
# while a flag file exists, as a file share does when the PC that holds it
# sleeps or the network drops: every request waits until the flag is gone.
#
#   stalling-share.py BACKING_DIR FLAG_FILE MOUNT_POINT [-f]
#
# Read only. For benchmarks of the monitor on a stalled share; needs FUSE
# (python3-fuse, fuse) and the right to mount. Unmount with fusermount -u.
import errno
import os
import sys
import time

import fuse
from fuse import Fuse

fuse.fuse_python_api = (0, 2)


class StallingShare(Fuse):
    def __init__(self, backing, flag, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.backing = backing
        self.flag = flag

    def _wait(self):
        while os.path.exists(self.flag):
            time.sleep(0.1)

    def _real(self, path):
        return os.path.join(self.backing, path.lstrip("/"))

    def getattr(self, path):
        self._wait()
        try:
            return os.lstat(self._real(path))
        except OSError as error:
            return -error.errno

    def readdir(self, path, offset):
        self._wait()
        for name in [".", ".."] + os.listdir(self._real(path)):
            yield fuse.Direntry(name)

    def open(self, path, flags):
        self._wait()
        if flags & (os.O_WRONLY | os.O_RDWR):
            return -errno.EROFS
        if not os.path.exists(self._real(path)):
            return -errno.ENOENT
        return None

    def read(self, path, size, offset):
        self._wait()
        with open(self._real(path), "rb") as file:
            file.seek(offset)
            return file.read(size)


def main():
    backing, flag, mount = sys.argv[1:4]
    server = StallingShare(os.path.abspath(backing), os.path.abspath(flag), dash_s_do="setsingle")
    server.fuse_args.mountpoint = mount
    for option in sys.argv[4:]:
        server.fuse_args.add(option.lstrip("-"))
    server.fuse_args.setmod("foreground") if "-f" in sys.argv[4:] else None
    server.multithreaded = False
    server.main()


if __name__ == "__main__":
    main()
