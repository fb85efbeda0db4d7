#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The live page in a real browser (Debian's headless Chromium, driven by
# chromedriver through Selenium), served by the logger without a window
# that counts the simulated counter on a fast clock: the chart holds one
# point per minute of its span, a new minute comes without a reload, the
# browser's language chooses the texts, nothing comes from elsewhere, and a
# page takes up the stream again after the logger restarts. Leaves
# http-page.png (a phone's width) in the build folder.
#
# Usage: browser-test.py BUILD_FOLDER
import calendar
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

try:
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service
    from selenium.webdriver.support.ui import WebDriverWait
except ImportError:
    print("no python3-selenium (scripts/install-deps.sh installs it)")
    sys.exit(77)

BUILD = os.path.abspath(sys.argv.pop(1)) if len(sys.argv) > 1 else os.getcwd()
LIMIT = 60  # seconds: only a run gone wrong waits this long


def free_port():
    with socket.socket() as sock:
        sock.bind(("127.0.0.1", 0))
        return sock.getsockname()[1]


class Logger:
    """ostrel --headless in a folder of its own, with the simulator."""

    def __init__(self, folder, port):
        self.folder = folder
        os.makedirs(folder, exist_ok=True)
        for name in ("ostrel", "ostrel-headless", "libPexlar.so"):
            shutil.copy(os.path.join(BUILD, "bin", name), folder)
        with open(os.path.join(folder, "ostrel.ini"), "w") as ini:
            ini.write("[HTTP]\nListen=127.0.0.1:%d\n" % port)
        self.port = port
        self.process = None

    def start(self):
        environment = dict(os.environ, OSTREL_SIM_SPEED="20", TZ="UTC", LANGUAGE="ja",
                           XDG_STATE_HOME=os.path.join(self.folder, "state"))
        for name in ("DISPLAY", "WAYLAND_DISPLAY", "OSTREL_SIM_SCRIPT"):
            environment.pop(name, None)
        self.process = subprocess.Popen([os.path.join(self.folder, "ostrel"), "--headless"],
                                        cwd=self.folder, env=environment,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(LIMIT)

    def get(self, path):
        with urllib.request.urlopen("http://127.0.0.1:%d%s" % (self.port, path), timeout=10) as r:
            return r.read().decode()

    def wait_for_minutes(self, count):
        deadline = time.time() + LIMIT
        while time.time() < deadline:
            try:
                state = json.loads(self.get("/api/state"))
                if state["minute"]:
                    newest = state["minute"]["utc"]
                    minutes = json.loads(self.get("/api/minutes?from=0&to=9999999999"))
                    if len(minutes["minutes"]) >= count:
                        return newest
            except OSError:
                pass
            time.sleep(0.2)
        raise AssertionError("the logger has not logged %d minutes" % count)


def browser(language):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu",
                     "--disable-dev-shm-usage", "--window-size=412,900",
                     # Cut off from everything but this machine.
                     "--host-resolver-rules=MAP * ~NOTFOUND , EXCLUDE 127.0.0.1",
                     "--proxy-server=http://127.0.0.1:9"):
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    driver.execute_cdp_cmd("Network.enable", {})
    driver.execute_cdp_cmd("Network.setExtraHTTPHeaders", {"headers": {"Accept-Language": language}})
    return driver


class LivePageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.folder = tempfile.mkdtemp(prefix="ostrel-browser-")
        cls.logger = Logger(cls.folder, free_port())
        cls.logger.start()
        cls.logger.wait_for_minutes(4)
        cls.url = "http://127.0.0.1:%d/" % cls.logger.port

    @classmethod
    def tearDownClass(cls):
        cls.logger.stop()
        shutil.rmtree(cls.folder, ignore_errors=True)

    def open(self, language):
        driver = browser(language)
        self.addCleanup(driver.quit)
        driver.get(self.url)
        WebDriverWait(driver, LIMIT).until(
            lambda d: int(d.find_element("id", "cpm").get_attribute("data-points") or 0) > 0)
        return driver

    def chart(self, driver):
        """The newest minute's label and the chart's points, read at once."""
        return driver.execute_script(
            "const c=document.getElementById('cpm');"
            "return [document.getElementById('label').textContent,"
            " +c.dataset.points, (c.getAttribute('d').match(/L/g)||[]).length];")

    def test_chart_holds_one_point_per_minute_and_grows_without_reload(self):
        driver = self.open("en-GB,en;q=0.9")
        label, points, segments = self.chart(driver)
        self.assertEqual(segments, points + 1)  # up, one per minute, down
        newest = [m for m in json.loads(self.logger.get(
            "/api/minutes?from=0&to=9999999999"))["minutes"] if m["label"] == label][0]
        start = calendar.timegm(time.strptime(newest["utc"], "%Y-%m-%dT%H:%M:%SZ"))
        span = json.loads(self.logger.get(
            "/api/minutes?from=%d&to=%d" % (start - 3600 + 60, start + 60)))["minutes"]
        self.assertEqual(points, len(span))
        driver.execute_script("window.notReloaded = true;")
        WebDriverWait(driver, LIMIT).until(lambda d: self.chart(d)[0] != label)
        self.assertTrue(driver.execute_script("return window.notReloaded === true;"))
        self.assertGreater(self.chart(driver)[1], points)

    def test_browser_language_chooses_the_texts(self):
        for language, newest, counter in (("en", "Newest minute", "Connected"),
                                          ("ja,en;q=0.5", "最新の1分", "接続中")):
            driver = self.open(language)
            self.assertIn(newest, driver.find_element("id", "now").text)
            self.assertEqual(driver.find_element("id", "counter").text, counter)
            self.assertEqual(driver.execute_script("return document.documentElement.lang;"),
                             language[:2])

    def test_everything_comes_from_the_page_itself(self):
        driver = self.open("en")
        origin = self.url.rstrip("/")
        resources = driver.execute_script(
            "return performance.getEntriesByType('resource').map(e => e.name);")
        self.assertEqual([r for r in resources if not r.startswith(origin)], [])
        # Readable on a phone: nothing wider than its screen.
        self.assertLessEqual(driver.execute_script(
            "return document.documentElement.scrollWidth;"),
            driver.execute_script("return window.innerWidth;"))
        driver.save_screenshot(os.path.join(BUILD, "http-page.png"))

    def test_z_page_takes_up_the_stream_after_the_logger_restarts(self):
        driver = self.open("en")
        self.logger.stop()
        WebDriverWait(driver, LIMIT).until(
            lambda d: d.find_element("id", "link").text == "Reconnecting…")
        label = self.chart(driver)[0]
        self.logger.start()
        WebDriverWait(driver, LIMIT).until(
            lambda d: d.find_element("id", "link").text == "Live" and self.chart(d)[0] != label)


if __name__ == "__main__":
    unittest.main(verbosity=2)
