"""Writes the release zip a simmer downloads, byte for byte the same from
every build of the same commit.

    Corvalenx-<version>.zip
        Corvalenx-panel.cfg     the example panel window wiring all eight gauges
        Gauges/Corvalenx.gau    the module
        Guide/...               the pilot's guide (open Guide/index.html)
        README.txt              what goes where
        SHA256SUMS              the checksum of every other entry
        Tools/panelhost.exe     the gauge developers' panel host
        Tools/panelhost.txt     what that is

The version comes from the module's own version resource. Entries are sorted,
all carry one timestamp (SOURCE_DATE_EPOCH if set, else the last commit's
time) and no file-system attributes of the machine that built them.
"""
import argparse
import hashlib
import os
import subprocess
import sys
import time
import zipfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from module_version import VersionError, product_version  # noqa: E402

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))


class StampError(Exception):
    pass


# Zip dates run from 1980 to the end of 2107, in seconds counted in twos.
FIRST_ZIP_TIME, LAST_ZIP_TIME = 315532800, 4354819198


def release_time():
    """The zip's one timestamp, as a zip date: reproducible for a commit."""
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    source = "SOURCE_DATE_EPOCH"
    if not epoch:
        source = "the last commit's time"
        try:
            epoch = subprocess.run(["git", "-C", TOP, "log", "-1", "--format=%ct"], capture_output=True,
                                   text=True, check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            epoch = ""
    try:
        seconds = int(epoch or 0)
    except ValueError:
        raise StampError("%s is \"%s\": it takes whole seconds since 1970" % (source, epoch))
    if seconds > LAST_ZIP_TIME:
        raise StampError("%s is %d: a zip date can be no later than 2107" % (source, seconds))
    t = time.gmtime(max(seconds, FIRST_ZIP_TIME))
    return (t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec - t.tm_sec % 2)


def entries(build, guide):
    """Entry name -> path of the file it holds."""
    files = {
        "Gauges/Corvalenx.gau": os.path.join(build, "bin", "Corvalenx.gau"),
        "Tools/panelhost.exe": os.path.join(build, "bin", "panelhost.exe"),
        "Tools/panelhost.txt": os.path.join(TOP, "package", "panelhost.txt"),
        "Corvalenx-panel.cfg": os.path.join(TOP, "package", "Corvalenx-panel.cfg"),
        "README.txt": os.path.join(TOP, "package", "README.txt"),
    }
    if not os.path.isfile(os.path.join(guide, "index.html")):
        raise FileNotFoundError("%s holds no pilot's guide (index.html)" % guide)
    for folder, _, names in os.walk(guide):
        for name in names:
            path = os.path.join(folder, name)
            files["Guide/" + os.path.relpath(path, guide).replace(os.sep, "/")] = path
    for name, path in files.items():
        if not os.path.isfile(path):
            raise FileNotFoundError("%s: %s is missing" % (name, path))
    return files


def text_file(data):
    """Texts for Windows readers get CRLF line ends, whatever the checkout has."""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def write_zip(path, files, stamp):
    contents = {}
    for name, source in files.items():
        with open(source, "rb") as f:
            data = f.read()
        contents[name] = text_file(data) if name.endswith((".txt", ".cfg")) else data
    sums = "".join("%s  %s\n" % (hashlib.sha256(contents[n]).hexdigest(), n) for n in sorted(contents))
    contents["SHA256SUMS"] = sums.encode()
    partial = path + ".partial"
    try:
        with zipfile.ZipFile(partial, "w") as z:
            for name in sorted(contents):
                info = zipfile.ZipInfo(name, date_time=stamp)
                # Made on "MS-DOS" with only the archive attribute: no owner,
                # mode bits or other trace of the machine that packed it.
                info.create_system = 0
                info.external_attr = 0x20
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, contents[name], compresslevel=9)
        os.replace(partial, path)
    finally:
        if os.path.exists(partial):
            os.remove(partial)
    return contents


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("--build", default=os.path.join(TOP, "build"), help="the build tree (default: build/)")
    p.add_argument("--guide", help="the built pilot's guide (default: BUILD/guide)")
    p.add_argument("--out", default=os.path.join(TOP, "dist"), help="where the zip goes (default: dist/)")
    args = p.parse_args()
    guide = args.guide or os.path.join(args.build, "guide")
    try:
        files = entries(args.build, guide)
        version = product_version(files["Gauges/Corvalenx.gau"])
        os.makedirs(args.out, exist_ok=True)
        path = os.path.join(args.out, "Corvalenx-%s.zip" % version)
        contents = write_zip(path, files, release_time())
    except (OSError, VersionError, StampError) as e:
        sys.exit("make_zip: %s" % e)
    print("%s: %d entries, %d bytes" % (path, len(contents), os.path.getsize(path)))


if __name__ == "__main__":
    main()
