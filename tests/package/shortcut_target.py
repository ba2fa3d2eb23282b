"""The file a Windows shortcut (.lnk) points at, from its link information."""
import struct
import sys

data = open(sys.argv[1], "rb").read()
flags = struct.unpack_from("<I", data, 20)[0]
at = 76
if flags & 1:  # a list of shell items comes first
    at += 2 + struct.unpack_from("<H", data, at)[0]
if not flags & 2:
    sys.exit("the shortcut has no link information")
local = struct.unpack_from("<I", data, at + 16)[0]
print(data[at + local:data.index(b"\0", at + local)].decode("latin-1"))
