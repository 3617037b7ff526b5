"""Opens the pilot's guide in headless chromium and fails on what a reader
would see broken: a picture that does not load, a link to a page or anchor
that is not there (or that leaves the guide, which must work offline), or
an error in the browser's console, or a page wider than a phone's screen
(390 px). Writes a full-page screenshot of every page for review.

usage: guide_browser_test.py GUIDE --screenshots DIR
       guide_browser_test.py --release-of MODULE --dist DIR --screenshots DIR
GUIDE is the guide's folder or a release zip; --release-of opens the guide in
the zip that make_zip wrote for MODULE's version.

The browser is driven through the DevTools protocol over a pipe
(--remote-debugging-pipe), so nothing listens on a port.
"""
import argparse
import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import urllib.parse
import zipfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                                "scripts", "release"))
from module_version import product_version  # noqa: E402

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--hide-scrollbars", "--remote-debugging-pipe",
]

# Runs in each page once it has loaded: every picture and link, as the
# browser sees them.
PAGE_CHECK = """(() => {
  const images = [...document.images].map(i => ({src: i.currentSrc || i.src, complete: i.complete,
                                                 width: i.naturalWidth}));
  const links = [...document.querySelectorAll('a[href]')].map(a => a.href);
  const ids = [...document.querySelectorAll('[id]')].map(e => e.id);
  return JSON.stringify({images, links, ids, height: document.documentElement.scrollHeight,
                         title: document.title});
})()"""


PHONE_WIDTH = 390


class Browser:
    """One headless chromium, one tab, spoken to over fds 3 and 4."""

    def __init__(self, profile):
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def give_pipes():
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        self.process = subprocess.Popen(
            ["chromium", *CHROMIUM_FLAGS, "--user-data-dir=" + profile, "about:blank"],
            pass_fds=(3, 4), preexec_fn=give_pipes, stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._buffer = b""
        self._next_id = 0
        self.events = []
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        self.attached_id = self.call("Target.attachToTarget", {"targetId": target, "flatten": True})["sessionId"]
        for domain in ("Page", "Runtime", "Log"):
            self.call(domain + ".enable", attached=True)

    def _send(self, message):
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_browser, data):]

    def _receive(self):
        while b"\0" not in self._buffer:
            chunk = os.read(self._from_browser, 1 << 20)
            if not chunk:
                raise RuntimeError("chromium closed the pipe (did it start?)")
            self._buffer += chunk
        message, self._buffer = self._buffer.split(b"\0", 1)
        return json.loads(message)

    def call(self, method, params=None, attached=False):
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if attached:
            message["sessionId"] = self.attached_id
        self._send(message)
        while True:
            reply = self._receive()
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise RuntimeError("%s: %s" % (method, reply["error"]))
                return reply["result"]
            if "method" in reply:
                self.events.append(reply)

    def wait_for(self, method):
        while True:
            for i, event in enumerate(self.events):
                if event["method"] == method:
                    return self.events.pop(i)
            self.events.append(self._receive())

    def close(self):
        try:
            self.call("Browser.close")
        except (RuntimeError, OSError):
            pass
        try:
            self.process.wait(timeout=20)
        except subprocess.TimeoutExpired:
            self.process.kill()
        os.close(self._to_browser)
        os.close(self._from_browser)


def console_errors(events):
    """Errors the console showed, as text."""
    errors = []
    for e in events:
        p = e.get("params", {})
        if e["method"] == "Runtime.consoleAPICalled" and p["type"] in ("error", "assert"):
            errors.append("console.%s: %s" % (p["type"], " ".join(str(a.get("value", a.get("description")))
                                                                  for a in p["args"])))
        elif e["method"] == "Runtime.exceptionThrown":
            errors.append("exception: %s" % p["exceptionDetails"].get("text"))
        elif e["method"] == "Log.entryAdded" and p["entry"]["level"] == "error":
            errors.append("%s: %s %s" % (p["entry"]["source"], p["entry"]["text"], p["entry"].get("url", "")))
    return errors


def check_guide(root, screenshots):
    """Every page reachable from index.html; returns the problems found."""
    problems = []
    root = os.path.realpath(root)
    start = "file://" + urllib.parse.quote(os.path.join(root, "index.html"))
    profile = tempfile.mkdtemp(prefix="guide-browser-")
    browser = Browser(profile)
    try:
        pages, ids, queue = {}, {}, [start]
        width = 1100  # a desktop browser's
        while queue:
            url = queue.pop(0)
            if url in pages:
                continue
            browser.events.clear()
            browser.call("Emulation.setDeviceMetricsOverride",
                         {"width": width, "height": 800, "deviceScaleFactor": 1, "mobile": False}, attached=True)
            browser.call("Page.navigate", {"url": url}, attached=True)
            browser.wait_for("Page.loadEventFired")
            seen = json.loads(browser.call("Runtime.evaluate", {"expression": PAGE_CHECK, "returnByValue": True},
                                           attached=True)["result"]["value"])
            pages[url] = seen
            ids[url] = set(seen["ids"])
            name = os.path.relpath(urllib.parse.unquote(urllib.parse.urlparse(url).path), root)
            for image in seen["images"]:
                if not image["complete"] or image["width"] == 0:
                    problems.append("%s: picture %s does not load" % (name, image["src"]))
            for error in console_errors(browser.events):
                problems.append("%s: %s" % (name, error))
            for link in seen["links"]:
                target = urllib.parse.urlparse(link)
                if target.scheme != "file":
                    problems.append("%s: link %s leaves the guide (it must open offline)" % (name, link))
                    continue
                path = urllib.parse.unquote(target.path)
                if not os.path.realpath(path).startswith(root + os.sep):
                    problems.append("%s: link %s points outside the guide" % (name, link))
                elif not os.path.isfile(path):
                    problems.append("%s: link %s is broken (no such file)" % (name, link))
                elif path.endswith(".html"):
                    queue.append(link.split("#")[0])
            # The whole page in one screenshot.
            browser.call("Emulation.setDeviceMetricsOverride",
                         {"width": width, "height": min(seen["height"], 16000), "deviceScaleFactor": 1,
                          "mobile": False}, attached=True)
            shot = browser.call("Page.captureScreenshot", {"format": "png"}, attached=True)
            with open(os.path.join(screenshots, name.replace(os.sep, "_")[:-5] + ".png"), "wb") as f:
                f.write(base64.b64decode(shot["data"]))
            # On a phone nothing may stick out sideways (a <pre> scrolls
            # within itself, which does not widen the page).
            browser.call("Emulation.setDeviceMetricsOverride",
                         {"width": PHONE_WIDTH, "height": 800, "deviceScaleFactor": 1, "mobile": True}, attached=True)
            browser.call("Page.reload", attached=True)
            browser.wait_for("Page.loadEventFired")
            page_width = browser.call("Runtime.evaluate", {"expression": "document.documentElement.scrollWidth",
                                                           "returnByValue": True}, attached=True)["result"]["value"]
            if page_width > PHONE_WIDTH:
                problems.append("%s: %d px wide on a %d px phone" % (name, page_width, PHONE_WIDTH))
        # Anchors, now that every page's ids are known.
        for url, seen in pages.items():
            for link in seen["links"]:
                page, _, anchor = link.partition("#")
                if anchor and page in ids and anchor not in ids[page]:
                    problems.append("%s: link %s names no element on its page" % (url, link))
        if len(pages) < 2:
            problems.append("only %d page reached from index.html" % len(pages))
        print("%d pages checked, screenshots in %s" % (len(pages), screenshots))
    finally:
        browser.close()
        shutil.rmtree(profile, ignore_errors=True)
    return problems


def main():
    p = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    p.add_argument("guide", nargs="?", help="the guide's folder, or a release zip with RELEASE/Guide/ inside")
    p.add_argument("--release-of", help="the module whose release zip to open")
    p.add_argument("--dist", help="where the release zips are")
    p.add_argument("--screenshots", required=True)
    args = p.parse_args()
    if args.release_of:
        args.guide = os.path.join(args.dist, "Corvalenx-%s.zip" % product_version(args.release_of))
    if not args.guide or not os.path.exists(args.guide):
        p.error("no guide to open: %s" % args.guide)
    os.makedirs(args.screenshots, exist_ok=True)
    unpacked = None
    root = args.guide
    if zipfile.is_zipfile(args.guide):
        # As a simmer opens it: unpacked, from the Guide folder.
        unpacked = tempfile.mkdtemp(prefix="guide-zip-")
        with zipfile.ZipFile(args.guide) as z:
            z.extractall(unpacked)
        # The zip's one folder, named for the release as the zip is.
        root = os.path.join(unpacked, os.path.basename(args.guide)[:-len(".zip")], "Guide")
    try:
        problems = check_guide(root, args.screenshots)
    finally:
        if unpacked:
            shutil.rmtree(unpacked, ignore_errors=True)
    for problem in problems:
        print("FAIL: " + problem)
    sys.exit(1 if problems else 0)


if __name__ == "__main__":
    main()
