#!/usr/bin/python3
"""Many tabs of the live page in headless Chromium: 10 tabs each show data, and each is left
for another page and brought back (the back/forward cache) 10 times, showing live data again
every time; a page polls one request at a time and stops when left, so no tab starves.
Usage: live_page_tabs_test.py SOURCE_DIR DLN_SIM"""
import os, subprocess, sys, tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import live_page_sim  # noqa: E402

source_dir, dln_sim = sys.argv[1], sys.argv[2]
subprocess.run([source_dir + "/scripts/install-packages.sh", "chromium", "chromium-driver",
                "python3-selenium"], check=True)
from selenium import webdriver  # noqa: E402 (installed just above)
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

TABS, ROUNDS = 10, 10

sim, port = live_page_sim.start(dln_sim)
url = "http://127.0.0.1:%d/" % port

profile = tempfile.TemporaryDirectory()
options = webdriver.ChromeOptions()
options.binary_location = "/usr/bin/chromium"
for flag in ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
             "--disable-background-networking", "--disable-component-update", "--disable-sync",
             "--user-data-dir=" + profile.name]:
    options.add_argument(flag)
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
failures = []


def shows_live_data(tab, timeout=15):
    """The tab's clock moves and the bus panel and device panels are filled."""
    driver.switch_to.window(tab)
    wait = WebDriverWait(driver, timeout, poll_frequency=0.1)
    try:
        first = wait.until(lambda d: d.execute_script(
            "const t = document.getElementById('time').textContent;"
            "return t !== '-' && document.querySelectorAll('#devices .panel').length > 0 &&"
            " document.getElementById('bus-calls').textContent !== '-' ? t : false"))
        wait.until(lambda d: d.execute_script(
            "return document.getElementById('time').textContent") != first)
        return True
    except Exception:
        return False


try:
    tabs = []
    for i in range(TABS):
        if i > 0:
            driver.switch_to.new_window("tab")
        driver.get(url)
        tabs.append(driver.current_window_handle)
    shown = sum(shows_live_data(tab) for tab in tabs)
    print("measured: %d of %d tabs show live data" % (shown, TABS))
    if shown != TABS:
        failures.append("tabs without data")
    for round in range(ROUNDS):
        for tab in tabs:
            driver.switch_to.window(tab)
            driver.get("data:text/html,<p>elsewhere</p>")
        for tab in tabs:
            driver.switch_to.window(tab)
            driver.back()
        shown = sum(shows_live_data(tab) for tab in tabs)
        print("round %d: %d of %d tabs show live data after coming back" % (round + 1, shown, TABS))
        if shown != TABS:
            failures.append("round %d: %d tabs without data" % (round + 1, TABS - shown))
    # The charts join once chart.js has loaded.
    driver.switch_to.window(tabs[0])
    charts = driver.execute_script("return document.querySelectorAll('canvas').length")
    print("measured: %d chart(s) drawn" % charts)
    if charts < 1:
        failures.append("no chart")
finally:
    driver.quit()
    sim.terminate()
    sim.wait()
for failure in failures:
    print("FAIL: " + failure)
sys.exit(1 if failures else 0)
