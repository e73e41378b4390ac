#!/usr/bin/env python3
"""The live page in headless Chromium, driven through chromedriver: waits until each panel
shows what the Java calls set, since the page fills itself from an event stream whose first
data may take seconds on a loaded machine. A check fails only when the bound has passed; the
page's values are then printed as they stood.
Usage: live_page_check.py PAGE_URL WORK_DIR (a fresh browser profile and the logs go there)"""
import os
import sys
import time

from selenium import webdriver
from selenium.common.exceptions import TimeoutException, WebDriverException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.support.ui import WebDriverWait

# All checks together wait at most this long: generous for a fully loaded machine, and short
# enough that a broken page fails well within the test's own time-out.
BOUND_S = 60

# Every element with an id and its text, as the page shows it right now.
SHOWN = """return Array.from(document.querySelectorAll('[id]'))
    .filter(e => e.children.length === 0)
    .map(e => e.id + ' = ' + JSON.stringify(e.textContent.slice(0, 80)));"""

# The number of points in the laser panel's range chart; -1 while the panel has no chart.
CHART_POINTS = """const canvas = document.querySelector('#i2c-0x29 canvas');
    const chart = canvas && window.Chart && Chart.getChart(canvas);
    return chart ? chart.data.datasets[0].data.length : -1;"""


def browser(work):
    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    # As root Chromium needs --no-sandbox; the rest keeps it off the (closed) network.
    for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                 "--no-first-run", "--disable-background-networking",
                 "--disable-component-update", "--disable-sync",
                 "--user-data-dir=" + os.path.join(work, "profile")):
        options.add_argument(flag)
    # The event stream never ends: the document alone is enough to start waiting.
    options.page_load_strategy = "eager"
    service = Service("/usr/bin/chromedriver", log_path=os.path.join(work, "chromedriver.log"))
    return webdriver.Chrome(service=service, options=options)


def text(driver, element_id):
    return driver.execute_script(
        "const e = document.getElementById(arguments[0]); return e ? e.textContent : null;",
        element_id)


def as_int(value):
    try:
        return int(value)
    except (TypeError, ValueError):
        return None


class Checks:
    def __init__(self, driver):
        self.driver = driver
        self.deadline = time.monotonic() + BOUND_S
        self.failures = 0

    def wait(self, description, read, holds):
        """Waits until holds(read(driver)); prints the outcome with the last value read."""
        last = [None]

        def ready(driver):
            last[0] = read(driver)
            return holds(last[0])

        left = max(0.0, self.deadline - time.monotonic())
        try:
            WebDriverWait(self.driver, left, poll_frequency=0.1).until(ready)
            print(f"ok    {description}: {last[0]}")
        except TimeoutException:
            print(f"FAILED {description}: still {last[0]!r} after {BOUND_S} s")
            self.failures += 1

    def expect(self, element_id, expected):
        self.wait(f"{element_id} shows {expected}", lambda d: text(d, element_id),
                  lambda value: value == expected)


def main():
    page, work = sys.argv[1], sys.argv[2]
    try:
        driver = browser(work)
    except WebDriverException as error:
        print(f"FAILED chromedriver could not start Chromium: {error.msg}")
        with open(os.path.join(work, "chromedriver.log"), errors="replace") as log:
            print("chromedriver's log ends:\n" + "".join(log.readlines()[-20:]))
        return 1
    try:
        driver.get(page)
        checks = Checks(driver)
        checks.expect("i2c-0x51-pulseWidthUs", "1500")
        checks.expect("i2c-0x48-output", "128")
        checks.expect("i2c-0x29-distanceMm", "250")
        checks.wait("the laser's last range is near the wall at 250 mm",
                    lambda d: as_int(text(d, "i2c-0x29-lastRangeMm")),
                    lambda mm: mm is not None and 220 <= mm <= 280)
        checks.wait("calls counted", lambda d: as_int(text(d, "bus-calls")),
                    lambda calls: calls is not None and calls > 0)
        checks.wait("points in the range chart", lambda d: d.execute_script(CHART_POINTS),
                    lambda points: points > 0)
        if checks.failures:
            print("The page showed:")
            for line in driver.execute_script(SHOWN):
                print("    " + line)
        return 1 if checks.failures else 0
    finally:
        driver.quit()


if __name__ == "__main__":
    sys.exit(main())
