#!/usr/bin/python3
"""Holds a data folder's lock as another voxmg run would: an open-file-description write lock
on FILE (created when missing). Prints "held" once it has it and keeps it until killed.
Usage: hold_lock.py FILE"""
import fcntl
import os
import signal
import struct
import sys

fd = os.open(sys.argv[1], os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o666)
# struct flock on Linux: l_type, l_whence (short), l_start, l_len (off_t), l_pid (pid_t, 0 for
# OFD locks), padded to 32 bytes.
whole = struct.pack("hhqqi4x", fcntl.F_WRLCK, os.SEEK_SET, 0, 0, 0)
fcntl.fcntl(fd, fcntl.F_OFD_SETLKW, whole)
print("held", flush=True)
while True:
    signal.pause()
