#!/usr/bin/env python3
"""Checks a built Windows image without running it: its exports (names and ordinals,
nothing else), the DLLs it imports from, its resources (a manifest asking for asInvoker,
nothing else) and, for a 32-bit DLL, that every export returns with `ret N` removing
exactly its argument bytes, as __stdcall requires.

usage: check_pe_image.py IMAGE --imports A.dll,B.dll [--exports TABLE --objdump OBJDUMP]
TABLE lines: ordinal, decorated name, argument bytes (32-bit), separated by blanks.
"""
import argparse
import re
import struct
import subprocess
import sys


class Image:
    def __init__(self, path):
        self.data = open(path, "rb").read()
        pe = struct.unpack_from("<I", self.data, 0x3C)[0]
        assert self.data[pe:pe + 4] == b"PE\0\0", "not a PE image"
        self.machine, sections = struct.unpack_from("<HH", self.data, pe + 4)
        optional_size = struct.unpack_from("<H", self.data, pe + 20)[0]
        optional = pe + 24
        magic = struct.unpack_from("<H", self.data, optional)[0]
        self.is64 = magic == 0x20B
        self.image_base = struct.unpack_from("<Q" if self.is64 else "<I", self.data,
                                             optional + (24 if self.is64 else 28))[0]
        directories = optional + (112 if self.is64 else 96)
        self.directories = [struct.unpack_from("<II", self.data, directories + 8 * i)
                            for i in range(16)]
        table = optional + optional_size
        self.sections = [struct.unpack_from("<IIII", self.data, table + 40 * i + 8)
                         for i in range(sections)]

    def offset(self, rva):
        for size, address, raw_size, raw in self.sections:
            if address <= rva < address + max(size, raw_size):
                return raw + rva - address
        raise ValueError("rva %#x outside every section" % rva)

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def exports(self):
        rva, _ = self.directories[0]
        if rva == 0:
            return {}, 0, 0
        (base, functions, names, functions_rva, names_rva,
         ordinals_rva) = struct.unpack_from("<IIIIII", self.data, self.offset(rva) + 16)
        result = {}
        for i in range(names):
            name = self.cstring(self.u32(names_rva + 4 * i))
            index = struct.unpack_from("<H", self.data, self.offset(ordinals_rva + 2 * i))[0]
            result[name] = (base + index, self.u32(functions_rva + 4 * index))
        return result, base, functions

    def imports(self):
        rva, _ = self.directories[1]
        found = []
        while rva:
            name_rva = self.u32(rva + 12)
            if name_rva == 0:
                break
            found.append(self.cstring(name_rva))
            rva += 20
        return found

    def resource_types(self):
        rva, _ = self.directories[2]
        if rva == 0:
            return []
        start = self.offset(rva)
        named, ids = struct.unpack_from("<HH", self.data, start + 12)
        return [struct.unpack_from("<I", self.data, start + 16 + 8 * i)[0]
                for i in range(named + ids)]


def first_return(objdump, image_path, address):
    listing = subprocess.run(
        [objdump, "-d", "--no-show-raw-insn", "--start-address=%#x" % address,
         "--stop-address=%#x" % (address + 4096), image_path],
        check=True, capture_output=True, text=True).stdout
    for line in listing.splitlines():
        match = re.search(r"\bret[lq]?\s*(\$0x[0-9a-f]+)?\s*$", line)
        if match:
            return int(match.group(1)[1:], 16) if match.group(1) else 0
    return None


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("image")
    parser.add_argument("--imports", required=True)
    parser.add_argument("--exports")
    parser.add_argument("--objdump")
    args = parser.parse_args()
    image = Image(args.image)
    failures = []

    allowed = {name.upper() for name in args.imports.split(",")}
    for name in image.imports():
        if name.upper() not in allowed and not name.lower().startswith("api-ms-win-crt-"):
            failures.append("imports from %s" % name)

    types = image.resource_types()
    if types != [24]:
        failures.append("resource types %s, expected only RT_MANIFEST (24)" % types)
    elif b'level="asInvoker"' not in image.data:
        failures.append("manifest does not ask for asInvoker")

    if args.exports:
        expected = [line.split() for line in open(args.exports) if line.strip()
                    and not line.startswith("#")]
        found, base, functions = image.exports()
        if base != 1 or functions != len(expected):
            failures.append("ordinal base %d with %d functions" % (base, functions))
        if sorted(found) != sorted(row[1] for row in expected):
            failures.append("export names %s" % sorted(found))
        for ordinal, name, argument_bytes in expected:
            if name not in found:
                continue
            if found[name][0] != int(ordinal):
                failures.append("%s has ordinal %d" % (name, found[name][0]))
            if not image.is64:
                removed = first_return(args.objdump, args.image,
                                       image.image_base + found[name][1])
                if removed != int(argument_bytes):
                    failures.append("%s returns with ret %s, expected ret %s"
                                    % (name, removed, argument_bytes))

    for failure in failures:
        print("FAIL:", failure)
    print("%s: %s" % (args.image, "ok" if not failures else "%d failures" % len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
