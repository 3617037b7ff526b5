"""Writes the release zip a simmer downloads, byte for byte the same from
every build of the same commit, and its checksum beside it.

    Corvalenx-<version>.zip     everything in one folder, so unpacking it
      Corvalenx-<version>/      "here" spills nothing into the folder around it
        Corvalenx-panel.cfg     the example panel window wiring all eight gauges
        Gauges/Corvalenx.gau    the module
        Guide/...               the pilot's guide (open Guide/index.html)
        README.txt              what goes where, with the version and date filled in
        SHA256SUMS              the checksum of every other entry (names within the folder)
        Tools/panelhost.exe     the gauge developers' panel host
        Tools/panelhost.txt     what that is
    Corvalenx-<version>.zip.sha256   the zip's own checksum, "HASH  NAME"

The version comes from the module's own version resource. Entries are sorted,
all carry one timestamp (SOURCE_DATE_EPOCH if set, else the last commit's
time) and no file-system attributes of the machine that built them. The
README's date is that timestamp's day.
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


class PackageError(Exception):
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


# What README.txt holds for the build to fill in.
README_FIELDS = ("{{version}}", "{{date}}")


def filled_readme(data, version, stamp):
    """README.txt with the release's version and date (the zip's timestamp's day)."""
    text = data.decode("utf-8")
    for field in README_FIELDS:
        if field not in text:
            raise PackageError("README.txt has no %s for the release to fill in" % field)
    text = text.replace("{{version}}", version).replace("{{date}}", "%04d-%02d-%02d" % stamp[:3])
    return text.encode("utf-8")


def text_file(data):
    """Texts for Windows readers get CRLF line ends, whatever the checkout has."""
    return data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")


def write_atomically(path, write):
    """Calls write(PARTIAL) then puts PARTIAL in place of path: a failed run
    leaves neither a partial file nor a changed one."""
    partial = path + ".partial"
    try:
        write(partial)
        os.replace(partial, path)
    finally:
        if os.path.exists(partial):
            os.remove(partial)


def write_zip(path, files, stamp, folder, version):
    """The zip at `path`, every entry under `folder`/; its entries' contents
    by name within the folder."""
    contents = {}
    for name, source in files.items():
        with open(source, "rb") as f:
            data = f.read()
        if name == "README.txt":
            data = filled_readme(data, version, stamp)
        contents[name] = text_file(data) if name.endswith((".txt", ".cfg")) else data
    # Names within the folder: checked from inside the unpacked folder.
    sums = "".join("%s  %s\n" % (hashlib.sha256(contents[n]).hexdigest(), n) for n in sorted(contents))
    contents["SHA256SUMS"] = sums.encode()

    def write(partial):
        with zipfile.ZipFile(partial, "w") as z:
            for name in sorted(contents):
                info = zipfile.ZipInfo(folder + "/" + name, date_time=stamp)
                # Made on "MS-DOS" with only the archive attribute: no owner,
                # mode bits or other trace of the machine that packed it.
                info.create_system = 0
                info.external_attr = 0x20
                info.compress_type = zipfile.ZIP_DEFLATED
                z.writestr(info, contents[name], compresslevel=9)

    write_atomically(path, write)
    return contents


def write_checksum(zip_path):
    """ZIP.sha256 beside the zip, in the form sha256sum writes and checks."""
    with open(zip_path, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest()
    line = "%s  %s\n" % (digest, os.path.basename(zip_path))

    def write(partial):
        with open(partial, "w", encoding="ascii", newline="\n") as f:
            f.write(line)

    write_atomically(zip_path + ".sha256", write)
    return zip_path + ".sha256"


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
        release = "Corvalenx-%s" % version
        path = os.path.join(args.out, release + ".zip")
        # A run that fails half-way leaves no checksum of an earlier zip
        # beside whatever zip is there.
        if os.path.exists(path + ".sha256"):
            os.remove(path + ".sha256")
        contents = write_zip(path, files, release_time(), release, version)
        checksum = write_checksum(path)
    except (OSError, VersionError, StampError, PackageError) as e:
        sys.exit("make_zip: %s" % e)
    print("%s: %d entries in %s/, %d bytes; its checksum in %s"
          % (path, len(contents), release, os.path.getsize(path), os.path.basename(checksum)))


if __name__ == "__main__":
    main()
