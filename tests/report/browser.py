# SPDX-License-Identifier: MIT
"""Headless Chromium (Debian's chromium and chromium-driver) through Selenium,
for the report's tests and the benchmark of large reports.

As a program it measures how long reports take to open:

    python3 tests/report/browser.py REPORT.html...

prints, for each, its size and the seconds from the request to the page
drawn (data-ready on <html>), as the browser's clock and this one see it.
"""

from __future__ import annotations

import shutil
import sys
import time
from pathlib import Path

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


def missing() -> str | None:
    """Why a browser cannot be started here, or None."""
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "no selenium in this Python (make venv installs it)"
    for program in (CHROMIUM, CHROMEDRIVER):
        if not Path(program).exists() and not shutil.which(Path(program).name):
            return f"no {program} (apt-get install chromium chromium-driver)"
    return None


def start(width: int = 1280, height: int = 1000):
    """A headless Chromium whose console messages get_log('browser') returns."""
    from selenium import webdriver
    from selenium.webdriver.chrome.service import Service

    options = webdriver.ChromeOptions()
    options.binary_location = CHROMIUM if Path(CHROMIUM).exists() else shutil.which("chromium")
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                     "--disable-extensions", "--no-first-run", "--hide-scrollbars",
                     f"--window-size={width},{height}", "--force-device-scale-factor=1"):
        options.add_argument(argument)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver_path = CHROMEDRIVER if Path(CHROMEDRIVER).exists() else shutil.which("chromedriver")
    return webdriver.Chrome(service=Service(executable_path=driver_path), options=options)


def open_report(driver, path: Path, timeout: float = 60) -> float:
    """Opens the report and waits until it is drawn; the seconds that took."""
    from selenium.webdriver.support.ui import WebDriverWait

    began = time.monotonic()
    driver.get(Path(path).resolve().as_uri())
    WebDriverWait(driver, timeout, poll_frequency=0.02).until(
        lambda d: d.execute_script(
            "return document.documentElement.getAttribute('data-ready') === 'true'"))
    return time.monotonic() - began


def drawn_at(driver) -> float:
    """Seconds from the page's request to its mark brisel-report-drawn."""
    return driver.execute_script(
        "return performance.getEntriesByName('brisel-report-drawn')[0].startTime") / 1000


def draw_all_maps(driver) -> None:
    """Scrolls every map into view, a frame at a time, so that all are drawn."""
    driver.set_script_timeout(120)
    driver.execute_async_script("""
        const done = arguments[arguments.length - 1];
        const maps = [...document.querySelectorAll('#map-list .map')];
        const frame = () => new Promise((r) => requestAnimationFrame(() => requestAnimationFrame(r)));
        (async () => {
          for (const map of maps) {
            if (!map.querySelector('svg')) { map.scrollIntoView(); await frame(); }
          }
          window.scrollTo(0, 0);
          await frame();
          done();
        })();""")


def console_errors(driver) -> list[str]:
    """The console's messages of level SEVERE since the last call."""
    return [entry["message"] for entry in driver.get_log("browser") if entry["level"] == "SEVERE"]


def main(paths: list[str]) -> None:
    driver = start()
    try:
        for path in paths:
            seconds = open_report(driver, Path(path))
            drawn = drawn_at(driver)
            size = Path(path).stat().st_size
            print(f"{path}: {size / 1e6:.2f} MB, drawn {drawn:.2f} s after the request by the "
                  f"page's clock, {seconds:.2f} s by this one; "
                  f"console errors: {len(console_errors(driver))}")
    finally:
        driver.quit()


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
