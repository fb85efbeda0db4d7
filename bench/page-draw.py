#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The live page's first draw of its longest span in Debian's headless
# Chromium: from the click on "7 days" (or "7日間") to the frame after the
# chart holds every minute of it, its minutes fetched from the server
# included. Prints one line per run, in milliseconds, after one run that
# warms the browser's caches up.
#
# Usage: page-draw.py URL MINUTES RUNS
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

url, minutes, runs = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
options = webdriver.ChromeOptions()
for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                 "--window-size=1280,900"):
    options.add_argument(argument)
options.binary_location = "/usr/bin/chromium"
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
driver.set_script_timeout(120)
try:
    driver.get(url)
    WebDriverWait(driver, 60).until(
        lambda d: int(d.find_element("id", "cpm").get_attribute("data-points") or 0) > 0)
    draw = """
const done = arguments[arguments.length - 1], minutes = arguments[0];
const chart = document.getElementById("cpm");
const button = span => document.querySelector('#spans button[data-span="' + span + '"]');
const when = (test, then) => { const look = () => test() ? then() : requestAnimationFrame(look); look(); };
button(3600).click();
when(() => +chart.dataset.points <= 60, () => {
  const start = performance.now();
  button(604800).click();
  when(() => +chart.dataset.points === minutes,
       () => requestAnimationFrame(() => done(performance.now() - start)));
});
"""
    for run in range(runs + 1):
        took = driver.execute_async_script(draw, minutes)
        if run > 0:
            print("%.3f" % took, flush=True)
finally:
    driver.quit()
