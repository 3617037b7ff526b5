"""The product version a Windows module carries in its version resource.

Walks the file's PE headers to the resource directory, finds the version
resource (type 16) and reads the "ProductVersion" string of its string
table, so the release is named from the very file it ships.
"""
import struct
import sys


class VersionError(Exception):
    pass


def _sections(data):
    if data[:2] != b"MZ":
        raise VersionError("not a Windows module (no MZ header)")
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        raise VersionError("not a Windows module (no PE header)")
    count, _, _, _, optional_size = struct.unpack_from("<HIIIH", data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    resource_rva, resource_size = struct.unpack_from("<II", data, directories + 2 * 8)
    sections = []
    table = optional + optional_size
    for i in range(count):
        _, virtual_size, rva, raw_size, raw_offset = struct.unpack_from("<8sIIII", data, table + 40 * i)
        sections.append((rva, max(virtual_size, raw_size), raw_offset))
    return resource_rva, resource_size, sections


def _file_offset(sections, rva):
    for start, size, raw in sections:
        if start <= rva < start + size:
            return raw + rva - start
    raise VersionError("address 0x%x lies in no section" % rva)


def _version_resource(data):
    resource_rva, resource_size, sections = _sections(data)
    if not resource_size:
        raise VersionError("the module has no resources")
    base = _file_offset(sections, resource_rva)

    def entries(directory):
        named, numbered = struct.unpack_from("<HH", data, base + directory + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            yield name, target

    def first_leaf(target):
        while target & 0x80000000:
            target = next(entries(target & 0x7FFFFFFF))[1]
        rva, size = struct.unpack_from("<II", data, base + target)
        return _file_offset(sections, rva), size

    for name, target in entries(0):
        if name == 16:  # RT_VERSION
            offset, size = first_leaf(target)
            return data[offset:offset + size]
    raise VersionError("the module has no version resource")


def _blocks(block, start, end):
    """The child blocks of a VS_VERSIONINFO-style block: (key, value, children range)."""
    at = start
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", block, at)
        if length == 0:
            break
        key_end = at + 6
        while block[key_end:key_end + 2] != b"\0\0":
            key_end += 2
        key = block[at + 6:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        value_bytes = value_length * 2 if kind == 1 else value_length
        yield key, block[value_at:value_at + value_bytes], (value_at + value_bytes + 3) & ~3, at + length
        at = (at + length + 3) & ~3


def product_version(path):
    """"1.0.0" from the module's StringFileInfo; VersionError if it has none."""
    with open(path, "rb") as f:
        data = f.read()
    try:
        block = _version_resource(data)
        for key, _, children, end in _blocks(block, 0, len(block)):
            for info_key, _, tables, info_end in _blocks(block, children, end):
                if info_key != "StringFileInfo":
                    continue
                for _, _, strings, table_end in _blocks(block, tables, info_end):
                    for name, value, _, _ in _blocks(block, strings, table_end):
                        if name == "ProductVersion":
                            return value.decode("utf-16-le").rstrip("\0")
    except (struct.error, UnicodeDecodeError) as e:
        raise VersionError("malformed version resource (%s)" % e)
    raise VersionError("the version resource has no ProductVersion string")


if __name__ == "__main__":
    try:
        print(product_version(sys.argv[1]))
    except (OSError, VersionError) as e:
        sys.exit("%s: %s" % (sys.argv[1], e))
