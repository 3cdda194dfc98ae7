#!/usr/bin/env python3
"""`pitwall serve` in headless Chromium: the page loads and shows the scene, moving a gauge's value
changes the picture, a bad value shows the server's message, a number typed with a format sets a
text as the format writes it, a scene file changed on disk under
unsaved edits is a conflict that keeps them until the page reloads, and a page from another origin
can neither change nor save anything.

    workbench_browser_test.py --tool build/bin/pitwall --chromium /usr/bin/chromium \
        --chromedriver /usr/bin/chromedriver
"""
import argparse
import http.server
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import threading
import time
import unittest
import urllib.request
import zlib

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support import expected_conditions
from selenium.webdriver.support.ui import Select, WebDriverWait

ARGS = None

# One arc gauge, value 1000 on a 0 to 8000 scale, on a black 300 x 300 canvas; a blue box beside it
# whose colour the reload check changes in the file.
SCENE = {
    "canvas": {"width": 460, "height": 300, "background": "#000000"},
    "fonts": {"fonts/CPMono_v07 Plain.otf": "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf"},
    "controls": [
        {"widget": "Modern Gauge Large", "name": "rpm", "x": 0, "y": 0, "width": 300, "height": 300,
         "attributes": {"text": "<channel value> rpm", "decimals": 0, "font_size": 30, "alignment": 2,
                        "ticks": "0;0;0|90;2000;2|180;4000;4|270;8000;8", "tick_mode": 3, "subsections": 2,
                        "value_min": 0, "value_max": 8000, "angle_start": 45, "angle_span": 270,
                        "lower_gauge": "#00b4ff", "color_gauge": "#00b4ff", "upper_gauge": "#ff2010",
                        "lower_text": "#ffffff", "color_text": "#ffffff", "upper_text": "#ff4030",
                        "value": 1000}},
        {"widget": "Basic Box", "name": "box", "x": 320, "y": 100, "width": 120, "height": 100,
         "attributes": {"color_bg": "#0000ff", "color_box": "#ffffff", "value": 0}},
    ],
}


def decode_png(data):
    """The pixels of an 8-bit RGBA, non-interlaced PNG (what the tool writes) as rows of bytes."""
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "not a PNG"
    pos, idat, width, height = 8, b"", 0, 0
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour, _, _, interlace = struct.unpack(">IIBBBBB", body)
            assert (depth, colour, interlace) == (8, 6, 0), "expected 8-bit RGBA, not interlaced"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride, rows, prev = zlib.decompress(idat), width * 4, [], bytearray(width * 4)
    for y in range(height):
        kind, line = raw[y * (stride + 1)], bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b = prev[i]
            c = prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 0xFF
            elif kind == 2:
                line[i] = (line[i] + b) & 0xFF
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 0xFF
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 0xFF
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def pixel(picture, x, y):
    width, _, rows = picture
    return tuple(rows[y][x * 4:x * 4 + 4])


class WorkbenchInBrowser(unittest.TestCase):
    @classmethod
    def setUpClass(cls, scene=SCENE):
        cls.folder = tempfile.mkdtemp(prefix="workbench-browser-")
        cls.scene = os.path.join(cls.folder, "scene.json")
        with open(cls.scene, "w") as f:
            json.dump(scene, f, indent=2)
        command = [ARGS.tool, "serve", cls.scene, "--port", "0"] + (["--app", ARGS.app] if ARGS.app else [])
        cls.server = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        line = cls.server.stdout.readline()
        found = re.fullmatch(r"pitwall: serving (.*) at (http://127\.0\.0\.1:\d+/)\n", line)
        if not found:
            cls.server.kill()
            raise AssertionError("unexpected first line: %r" % line)
        cls.url = found.group(2)
        options = webdriver.ChromeOptions()
        options.binary_location = ARGS.chromium
        for flag in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--window-size=1400,900"):
            options.add_argument(flag)
        cls.browser = webdriver.Chrome(service=Service(ARGS.chromedriver), options=options)
        cls.wait = WebDriverWait(cls.browser, 20)

    @classmethod
    def tearDownClass(cls):
        cls.browser.quit()
        cls.server.terminate()
        cls.server.wait(timeout=20)
        shutil.rmtree(cls.folder)

    def frame(self):
        with urllib.request.urlopen(self.url + "frame.png", timeout=10) as reply:
            return decode_png(reply.read())

    def shown_frame_number(self):
        src = self.browser.find_element(By.ID, "frame").get_attribute("src") or ""
        found = re.search(r"frame=(\d+)", src)
        return int(found.group(1)) if found else -1

    def image_loaded(self):
        return self.browser.execute_script(
            "const i = document.getElementById('frame'); return i.complete && i.naturalWidth;")

    def select(self, control):
        self.browser.find_element(By.CSS_SELECTOR, '#controls button[data-control="%s"]' % control).click()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), control))

    def field(self, attribute, selector):
        return self.browser.find_element(By.CSS_SELECTOR, '.row[data-attr="%s"] %s' % (attribute, selector))

    def test_workbench(self):
        self.browser.get(self.url)
        # The page shows the scene as drawn, and lists both controls.
        self.wait.until(lambda _: self.image_loaded() == 460)
        names = [b.get_attribute("data-control") for b in self.browser.find_elements(By.CSS_SELECTOR, "#controls button")]
        self.assertEqual(names, ["rpm", "box"])

        # The gauge's value slider pushed to its end (8000): the picture changes, and only inside
        # the gauge's 300 x 300 square; the box beside it stays blue.
        self.select("rpm")
        slider = self.field("value", "input[type=range]")
        self.assertEqual(slider.get_attribute("min"), "0")
        self.assertEqual(slider.get_attribute("max"), "8000")
        before, frame_before = self.frame(), self.shown_frame_number()
        slider.send_keys(Keys.END)
        self.wait.until(lambda _: self.shown_frame_number() > frame_before and self.image_loaded())
        after = self.frame()
        self.assertEqual(self.field("value", "input.number").get_attribute("value"), "8000")
        changed = [(x, y) for y in range(300) for x in range(460) if pixel(before, x, y) != pixel(after, x, y)]
        self.assertTrue(changed, "the picture did not change")
        self.assertTrue(all(x < 300 for x, _ in changed), "something outside the gauge changed")
        self.assertEqual(pixel(after, 380, 150), (0, 0, 255, 255))

        # A value that does not fit: the command line's message in the page, and nothing redrawn.
        box = self.field("upper_limit", "input.number")
        box.clear()
        box.send_keys("300", Keys.ENTER)
        error = self.browser.find_element(By.ID, "error")
        self.wait.until(lambda _: error.is_displayed())
        self.assertEqual(error.text, 'control "rpm": "Modern Gauge Large": attribute "upper_limit" (1u1) '
                                     "takes 0 to 255, not 300")
        self.assertEqual(self.frame()[2], after[2])

        # The file changed on disk while the gauge's edit was unsaved: the page says so and keeps
        # the edit (the box stays blue) until the user reloads.
        SCENE["controls"][1]["attributes"]["color_bg"] = "#ff0000"
        with open(self.scene + ".new", "w") as f:
            json.dump(SCENE, f, indent=2)
        os.replace(self.scene + ".new", self.scene)
        conflict = self.browser.find_element(By.ID, "conflict")
        self.wait.until(lambda _: conflict.is_displayed())
        self.assertIn("changed on disk; your unsaved edits are kept", conflict.text)
        self.assertEqual(pixel(self.frame(), 380, 150), (0, 0, 255, 255))
        self.assertEqual(self.field("value", "input.number").get_attribute("value"), "8000")

        # Saving over it is refused; the file keeps the edit made on disk.
        self.browser.find_element(By.ID, "save").click()
        self.wait.until(lambda _: error.is_displayed() and "changed on disk since it was loaded" in error.text)
        with open(self.scene) as f:
            self.assertEqual(json.load(f)["controls"][1]["attributes"]["color_bg"], "#ff0000")

        # Reloading, after a word of warning, shows the file: the box turns red.
        frame_before = self.shown_frame_number()
        self.browser.find_element(By.ID, "reload").click()
        self.wait.until(expected_conditions.alert_is_present())
        self.browser.switch_to.alert.accept()
        self.wait.until(lambda _: self.shown_frame_number() > frame_before and self.image_loaded())
        self.assertEqual(pixel(self.frame(), 380, 150), (255, 0, 0, 255))
        self.wait.until(lambda _: not conflict.is_displayed())
        self.assertFalse(error.is_displayed())
        self.assertEqual(self.canvas_pixel(380, 150), [255, 0, 0, 255])

        # A lap time typed as a number with a clock format beside it: the box's text is the
        # format's; a text attribute has the format field, a font does not.
        self.select("box")
        self.assertEqual(self.browser.find_elements(By.CSS_SELECTOR, '.row[data-attr="font"] input.format'), [])
        text, text_format = self.field("render_text", "input.text"), self.field("render_text", "input.format")
        frame_before = self.shown_frame_number()
        text_format.send_keys("m:ss.SSS")
        text.clear()
        text.send_keys("83.4567", Keys.ENTER)
        self.wait.until(lambda _: self.shown_frame_number() > frame_before and self.image_loaded())
        self.assertFalse(error.is_displayed(), error.text)
        table = json.load(urllib.request.urlopen(self.url + "api/control?name=box", timeout=10))
        shown = {f["name"]: f["value"] for f in table["attributes"]}
        self.assertEqual(shown["render_text"], "1:23.457")
        # A format the server refuses: its message in the page, and nothing redrawn.
        # (Typed over, not cleared: clearing leaves the field, which sends the change.)
        frame_before = self.shown_frame_number()
        text_format.send_keys(Keys.CONTROL, "a")
        text_format.send_keys("%n", Keys.ENTER)
        self.wait.until(lambda _: error.is_displayed())
        self.assertEqual(error.text, 'control "box": attribute "render_text": format "%n": %n is not allowed')
        self.assertEqual(self.shown_frame_number(), frame_before)

    def test_another_origins_page_changes_nothing(self):
        """A page from another origin sends what a browser lets it: a no-cors fetch, a text/plain
        form, a CORS request with a guessed token. The scene, its folder and the picture stay as
        they were."""
        with open(os.path.join(self.folder, "lap.csv"), "w") as f:
            f.write("t,rpm\n0,1000\n")
        with open(self.scene, "rb") as f:
            scene_before = f.read()
        state_before = json.load(urllib.request.urlopen(self.url + "api/state", timeout=10))
        target = self.url.rstrip("/")
        attack = """<!DOCTYPE html><html><body>
<iframe name="sink"></iframe>
<form id="form" method="POST" action="%(target)s/api/save" enctype="text/plain" target="sink">
<input name='{"name": "lap.csv\\u0000.json", "x": "' value='"}'></form>
<script>
const target = %(target_js)s;
const red = JSON.stringify({control: 'box', attribute: 'color_bg', value: '#00ff00'});
const sent = [
  fetch(target + '/api/set', {method: 'POST', mode: 'no-cors', headers: {'Content-Type': 'text/plain'}, body: red}),
  fetch(target + '/api/save', {method: 'POST', mode: 'no-cors', body: '{"name": "stolen.json"}'}),
  fetch(target + '/api/set', {method: 'POST', headers: {'Content-Type': 'application/json', 'X-Pitwall-Token': '0'.repeat(32)}, body: red}),
  fetch(target + '/api/state').then((r) => r.text()).then((t) => { window.read = t; }),
].map((p) => p.then(() => 'answered', () => 'refused'));
document.getElementById('form').submit();
Promise.all(sent).then((outcomes) => { document.title = 'done ' + outcomes.join(' ') + ' read=' + (window.read !== undefined); });
</script></body></html>""" % {"target": target, "target_js": json.dumps(target)}

        class AttackPage(http.server.BaseHTTPRequestHandler):
            def do_GET(self):
                body = attack.encode()
                self.send_response(200)
                self.send_header("Content-Type", "text/html")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)

            def log_message(self, *args):
                pass

        other = http.server.ThreadingHTTPServer(("127.0.0.1", 0), AttackPage)
        threading.Thread(target=other.serve_forever, daemon=True).start()
        try:
            self.browser.get("http://127.0.0.1:%d/" % other.server_address[1])
            self.wait.until(lambda b: b.title.startswith("done"))
            # The no-cors requests get opaque answers, the CORS ones none, and nothing was read.
            self.assertTrue(self.browser.title.endswith("read=false"), self.browser.title)
            time.sleep(1)  # the form's post, which nothing reports back
        finally:
            other.shutdown()
            other.server_close()
        with open(self.scene, "rb") as f:
            self.assertEqual(f.read(), scene_before)
        with open(os.path.join(self.folder, "lap.csv")) as f:
            self.assertEqual(f.read(), "t,rpm\n0,1000\n")
        self.assertFalse(os.path.exists(os.path.join(self.folder, "stolen.json")))
        state_after = json.load(urllib.request.urlopen(self.url + "api/state", timeout=10))
        self.assertEqual(state_after["frame"], state_before["frame"])
        self.assertFalse(state_after["unsaved"])

    def canvas_pixel(self, x, y):
        """A pixel of the picture as the page shows it."""
        return self.browser.execute_script(
            """const img = document.getElementById('frame');
               const c = document.createElement('canvas');
               c.width = img.naturalWidth; c.height = img.naturalHeight;
               const g = c.getContext('2d');
               g.drawImage(img, 0, 0);
               return Array.from(g.getImageData(arguments[0], arguments[1], 1, 1).data);""", x, y)


# The layout editor's scene: a gauge to drag and resize, a box whose colour a track drives, and a
# spare box to delete, on a 400 x 240 canvas.
LAYOUT_SCENE = {
    "canvas": {"width": 400, "height": 240, "background": "#000000"},
    "fonts": SCENE["fonts"],
    "controls": [
        {"widget": "Modern Gauge Large", "name": "gauge", "x": 20, "y": 20, "width": 160, "height": 160,
         "attributes": dict(SCENE["controls"][0]["attributes"], font_size=16)},
        {"widget": "Basic Box", "name": "box", "x": 250, "y": 40, "width": 100, "height": 100,
         "attributes": {"color_bg": "#0000ff", "color_box": "#ffffff", "value": 0}},
        {"widget": "Basic Box", "name": "spare", "x": 250, "y": 170, "width": 100, "height": 60,
         "attributes": {"color_bg": "#00ff00", "color_box": "#ffffff", "value": 0}},
    ],
    "tracks": [{"control": "box", "attribute": "color_bg", "interpolation": "step",
                "keys": [[0, "#0000ff"], [2, "#ff0000"]]}],
}


class LayoutEditorInBrowser(unittest.TestCase):
    """The page as a layout editor: select, drag, resize, snap, add, delete, undo and redo, scrub,
    and a page reload that keeps unsaved edits, checked in the saved file and the picture."""

    setUpClass = classmethod(lambda cls: WorkbenchInBrowser.setUpClass.__func__(cls, LAYOUT_SCENE))
    tearDownClass = classmethod(lambda cls: WorkbenchInBrowser.tearDownClass.__func__(cls))
    frame = WorkbenchInBrowser.frame
    shown_frame_number = WorkbenchInBrowser.shown_frame_number
    image_loaded = WorkbenchInBrowser.image_loaded

    def state(self):
        return json.load(urllib.request.urlopen(self.url + "api/state", timeout=10))

    def rect(self, name):
        c = next(c for c in self.state()["controls"] if c["name"] == name)
        return (c["x"], c["y"], c["width"], c["height"])

    def names(self):
        return [c["name"] for c in self.state()["controls"]]

    def at(self, x, y):
        """Actions with the pointer at canvas pixel (x, y) (the page at 100 %)."""
        overlay = self.browser.find_element(By.ID, "overlay")
        return ActionChains(self.browser).move_to_element_with_offset(overlay, x - 200, y - 120)

    def drag(self, actions, dx, dy, steps=4):
        actions.click_and_hold()
        for _ in range(steps):
            actions.move_by_offset(dx // steps, dy // steps)
        actions.release().perform()

    def settled(self):
        """Waits until the page's last change is drawn and shown."""
        self.wait.until(lambda _: self.browser.execute_script(
            "return !geometrySending.busy && !geometrySending.next && !layout.drag"))
        frame = self.state()["frame"]
        self.wait.until(lambda _: self.shown_frame_number() == frame and self.image_loaded())

    def saved(self):
        version = self.state()["version"]
        reply = self.browser.execute_script(
            "return call('POST', '/api/save', {name: '', version: arguments[0]}).then(r => r.saved, e => e.message)",
            version)
        self.assertTrue(reply.endswith("scene.json"), reply)
        with open(self.scene) as f:
            return {c["name"]: (c["x"], c["y"], c["width"], c["height"]) for c in json.load(f)["controls"]}

    def keys(self, key, held=None):
        self.browser.execute_script("document.getElementById('stage').focus()")
        chain = ActionChains(self.browser)
        if held:
            chain.key_down(held)
        chain.send_keys(key)
        if held:
            chain.key_up(held)
        chain.perform()

    def undo_key(self, redo=False):
        self.browser.execute_script("document.getElementById('stage').focus()")
        chain = ActionChains(self.browser).key_down(Keys.CONTROL)
        if redo:
            chain.key_down(Keys.SHIFT)
        chain.send_keys("z")
        if redo:
            chain.key_up(Keys.SHIFT)
        chain.key_up(Keys.CONTROL).perform()

    def test_layout_editing(self):
        b = self.browser
        b.get(self.url)
        Select(b.find_element(By.ID, "zoom")).select_by_value("1")
        self.wait.until(lambda _: self.image_loaded() == 400)
        self.wait.until(lambda _: len(b.find_elements(By.CSS_SELECTOR, "#palette button")) > 1)

        # A click on the picture selects the control under it, in the list and on the canvas.
        self.at(300, 90).click().perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "box ("))
        self.at(100, 100).click().perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "gauge ("))
        listed = b.find_element(By.CSS_SELECTOR, "#controls button.selected").get_attribute("data-control")
        self.assertEqual(listed, "gauge")
        outline = b.find_element(By.ID, "selection")
        self.assertEqual((outline.size["width"], outline.size["height"]), (160, 160))
        # Hovering names a control and its widget.
        self.at(300, 200).perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "hover"), "spare (Basic Box)"))
        # Tab goes on to the next control.
        self.keys(Keys.TAB)
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "box ("))
        self.keys(Keys.TAB, Keys.SHIFT)
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "gauge ("))

        # Dragged by 40 pixels: the file has its new place, and the last repaint covered only the
        # gauge's old and new places, never the boxes beside it.
        self.drag(self.at(100, 100), 40, 0)
        self.settled()
        self.assertEqual(self.rect("gauge"), (60, 20, 160, 160))
        for x1, y1, x2, y2 in self.state()["damage"]:
            self.assertGreaterEqual(x1, 19)
            self.assertLess(x2, 250)
            self.assertLessEqual(y2, 181)
        self.assertEqual(b.find_element(By.ID, "geo-x").get_attribute("value"), "60")
        self.assertEqual(self.saved()["gauge"], (60, 20, 160, 160))

        # Its bottom right handle pulled in by 40 pixels each way.
        handle = b.find_element(By.CSS_SELECTOR, '#selection .handle[data-handle="se"]')
        self.drag(ActionChains(b).move_to_element(handle), -40, -40)
        self.settled()
        self.assertEqual(self.rect("gauge"), (60, 20, 120, 120))
        snapshots = [(self.state()["controls"], self.frame())]

        # With a 25-pixel grid, the box dragged by (16, 8) lands on the grid.
        b.find_element(By.ID, "grid").click()
        size = b.find_element(By.ID, "grid-size")
        size.clear()
        size.send_keys("25", Keys.ENTER)
        self.drag(self.at(300, 90), 16, 8)
        self.settled()
        self.assertEqual(self.rect("box"), (275, 50, 100, 100))
        b.find_element(By.ID, "grid").click()
        snapshots.append((self.state()["controls"], self.frame()))

        # A widget from the palette, then the spare box deleted.
        b.find_element(By.CSS_SELECTOR, '#palette button[data-widget="Basic Box"]').click()
        self.wait.until(lambda _: len(self.names()) == 4)
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "Basic Box ("))
        self.settled()
        snapshots.append((self.state()["controls"], self.frame()))
        self.at(300, 200).click().perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "spare ("))
        b.find_element(By.ID, "delete").click()
        self.wait.until(lambda _: "spare" not in self.names())
        self.settled()
        snapshots.append((self.state()["controls"], self.frame()))
        self.assertEqual(self.names(), ["gauge", "box", "Basic Box"])

        # Three undos and a redo: each time the picture and the file are those of that state.
        def check(index):
            controls, picture = snapshots[index]
            self.wait.until(lambda _: self.state()["controls"] == controls)
            self.settled()
            self.assertEqual(self.frame()[2], picture[2], "picture of state %d" % index)
            self.assertEqual(self.saved(), {c["name"]: (c["x"], c["y"], c["width"], c["height"]) for c in controls})
        for index in (2, 1, 0):
            self.undo_key()
            check(index)
        self.undo_key(redo=True)
        check(1)

        # Scrubbed to 2.5 s: the tracked colour reads the track's value there, and shows it.
        self.at(300, 100).click().perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "box ("))
        b.execute_script("const s = document.getElementById('scrubber'); s.value = 2.5;"
                         "s.dispatchEvent(new Event('input'));")
        tracked = '.row[data-attr="color_bg"] output.tracked-value'
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.CSS_SELECTOR, tracked), "#ff0000"))
        self.assertEqual(self.state()["time"], 2)
        self.settled()
        self.assertEqual(pixel(self.frame(), 320, 100), (255, 0, 0, 255))

        # An unsaved nudge (Shift+Right: 10 pixels) survives reloading the page.
        self.keys(Keys.ARROW_RIGHT, Keys.SHIFT)
        self.wait.until(lambda _: self.rect("box")[0] == 285)
        self.assertTrue(self.state()["unsaved"])
        b.refresh()
        Select(b.find_element(By.ID, "zoom")).select_by_value("1")
        self.wait.until(lambda _: self.image_loaded() == 400)
        self.at(330, 100).click().perform()
        self.wait.until(expected_conditions.text_to_be_present_in_element((By.ID, "form-title"), "box ("))
        self.assertEqual(b.find_element(By.ID, "geo-x").get_attribute("value"), "285")
        self.assertTrue(self.state()["unsaved"])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--chromium", default=shutil.which("chromium") or "/usr/bin/chromium")
    parser.add_argument("--chromedriver", default=shutil.which("chromedriver") or "/usr/bin/chromedriver")
    parser.add_argument("--app", help="the application directory, over the build's theme")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
