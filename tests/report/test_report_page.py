# SPDX-License-Identifier: MIT
"""The reports brisel-search --report writes of the sample data (the direct,
indexed and scan searches), parsed strictly and opened in headless
Chromium: what they count and name, the boxes of each map against the TSV
rows of the same run, tooltips, keyboard, the links between boxes and rows,
and the table's sorting and filtering. Screenshots go to the output
directory."""

from __future__ import annotations

import json
from collections import Counter
from pathlib import Path

import html5lib
import pytest
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.by import By
from selenium.webdriver.common.keys import Keys
from selenium.webdriver.support.ui import Select, WebDriverWait

import browser as chromium
from conftest import DATA, by_sequence, make_report


def parse(path: Path):
    """The page's tree; html5lib's strict parser raises at any parse error."""
    return html5lib.HTMLParser(strict=True, namespaceHTMLElements=False).parse(path.read_bytes())


def island(path: Path) -> dict:
    return json.loads(parse(path).find(".//script[@id='brisel-report-data']").text)


def fasta_lengths(path: Path) -> dict[str, int]:
    lengths: dict[str, int] = {}
    name = None
    for line in path.read_text().splitlines():
        if line.startswith(">"):
            name = line[1:]
            lengths[name] = 0
        elif name is not None:
            lengths[name] += len(line.strip())
    return lengths


def tooltip_lines(hit) -> list[str]:
    return [hit.record, f"segment: {hit.segment}", f"positions: {hit.start}-{hit.end}",
            f"E: {hit.expectation}", f"P: {hit.probability}"]


SAMPLES = ["prosite", "sites", "sites-indexed", "sites-scan"]


@pytest.mark.parametrize("name", SAMPLES)
def test_report_is_well_formed_counts_every_hit_and_names_the_search(samples, name):
    report = samples[name]
    data = island(report.html)
    runs = by_sequence(report.hits)
    assert data["counts"] == {"sequences": 100, "sequencesWithHits": len(runs),
                              "hits": len(report.hits), "sequencesDrawn": len(runs),
                              "hitsDrawn": len(report.hits)}
    assert {m["record"]: m["hits"] for m in data["motifs"]} == Counter(
        hit.record for hit in report.hits)
    binned = sum(count for _, count in data["expectations"]["log2"])
    assert binned + data["expectations"]["zero"] + data["expectations"]["other"] == len(report.hits)
    assert [s["name"] for s in data["sequences"]] == [name for name, _ in runs]
    search = {"prosite": "direct search (--fasta)", "sites": "direct search (--fasta)",
              "sites-indexed": "indexed search", "sites-scan": "scan search (-b -f)"}[name]
    assert data["options"] == [search, "-e 9"]
    assert data["program"] == "brisel-search" and len(data["inputs"]) == 2
    # The same sequences and hits, whichever search found them (the scan search
    # takes a motif's hits by start, the others by homing letter first).
    if name.startswith("sites-"):
        direct = island(samples["sites"].html)["sequences"]
        for sequence in data["sequences"] + direct:
            sequence["h"].sort()
        assert data["sequences"] == direct


def test_hostile_texts_are_shown_as_text(page, driver, tmp_path):
    names = [b"</script><script>alert(1)</script>", b"<!-- not a comment", b"bad \xff\xfe utf-8",
             b"tab\there", b"caf\xc3\xa9 \xe2\x80\xa8 \xc2\x85 end", b"<b>bold</b> & co"]
    fasta = tmp_path / "hostile.fasta"
    fasta.write_bytes(b"".join(b">" + name + b"\nMK" + b"G" * k + b"RGDAW\n"
                               for k, name in enumerate(names)))
    patterns = tmp_path / "hostile.txt"
    patterns.write_bytes(b"R-G-D  PS99999 <i>x</i>\n")
    report = make_report(patterns, fasta, tmp_path / "hostile.html")
    data = island(report.html)
    expected = [name.decode("utf-8", errors="replace") for name in names]
    assert [s["name"] for s in data["sequences"]] == expected

    page(report.html)
    chromium.draw_all_maps(driver)
    shown = driver.execute_script(
        "return [...document.querySelectorAll('.map h3')].map((h) => h.textContent)")
    assert shown == expected
    assert driver.execute_script(
        "return document.querySelectorAll('b, i, script').length") == 2  # the page's own
    assert driver.find_element(By.ID, "hit-0-0").get_attribute("aria-label").startswith(
        "PS99999 <i>x</i>, segment: RGD, positions: 3-5")


MAPS = """return [...document.querySelectorAll('#map-list .map')].map((map) => {
  const svg = map.querySelector('svg');
  return {name: map.querySelector('h3').textContent,
    length: Number(svg.dataset.length), trackX: Number(svg.dataset.trackX),
    trackWidth: Number(svg.dataset.trackWidth),
    label: svg.querySelector('title').textContent,
    boxes: [...svg.querySelectorAll('.hit')].map((box) => {
      const rect = box.querySelector('rect');
      return {hit: Number(box.dataset.hit), start: Number(box.dataset.start),
        end: Number(box.dataset.end), x: Number(rect.getAttribute('x')),
        width: Number(rect.getAttribute('width')), fill: rect.getAttribute('fill'),
        label: box.getAttribute('aria-label'), tabindex: box.getAttribute('tabindex')};
    })};
});"""


@pytest.mark.parametrize("name", SAMPLES)
def test_each_map_draws_the_hits_of_its_sequence_to_scale(samples, name, page, driver):
    report = samples[name]
    lengths = fasta_lengths(DATA / "swissprot-100.fasta")
    page(report.html)
    chromium.draw_all_maps(driver)
    maps = driver.execute_script(MAPS)
    runs = by_sequence(report.hits)
    assert [m["name"] for m in maps] == [name for name, _ in runs]
    colours: dict[str, str] = {}
    for drawn, (sequence, hits) in zip(maps, runs):
        assert drawn["length"] == lengths[sequence]
        assert drawn["label"] == f"Hit map of {sequence}"
        assert len(drawn["boxes"]) == len(hits)
        assert sorted(box["hit"] for box in drawn["boxes"]) == list(range(len(hits)))
        assert [box["tabindex"] for box in drawn["boxes"]].count("0") == 1
        scale = drawn["trackWidth"] / drawn["length"]
        for box in drawn["boxes"]:
            hit = hits[box["hit"]]
            assert (box["start"], box["end"]) == (hit.start, hit.end)
            assert box["x"] == pytest.approx(drawn["trackX"] + (hit.start - 1) * scale, abs=0.011)
            assert box["width"] == pytest.approx(max((hit.end - hit.start + 1) * scale, 2),
                                                 abs=0.011)
            assert box["label"] == ", ".join(tooltip_lines(hit))
            assert colours.setdefault(hit.record, box["fill"]) == box["fill"]

    # Hovering shows the tooltip of the box.
    sequence, hits = runs[0]
    for j in (0, len(hits) - 1):
        box = driver.find_element(By.ID, f"hit-0-{j}")
        driver.execute_script("arguments[0].scrollIntoView({block: 'center'})", box)
        ActionChains(driver).move_to_element(box).perform()
        tooltip = driver.find_element(By.ID, "tooltip")
        assert tooltip.is_displayed()
        assert tooltip.text.split("\n") == tooltip_lines(hits[j])


def test_boxes_and_rows_link_and_keyboard_reaches_the_boxes(samples, page, driver):
    report = samples["sites"]
    page(report.html)
    hits = by_sequence(report.hits)[0][1]
    # Tab from the map section's heading to the first map's box, the first by position.
    driver.execute_script("""
        const h = document.getElementById('maps-title');
        h.tabIndex = -1; h.focus();""")
    active = driver.switch_to.active_element
    for _ in range(40):
        active.send_keys(Keys.TAB)
        active = driver.switch_to.active_element
        if "hit" in (active.get_attribute("class") or ""):
            break
    first = min(range(len(hits)), key=lambda j: (hits[j].start, hits[j].end, j))
    assert active.get_attribute("id") == f"hit-0-{first}"
    tooltip = driver.find_element(By.ID, "tooltip")
    assert tooltip.is_displayed() and tooltip.text.split("\n") == tooltip_lines(hits[first])

    # The arrow keys move along the map; Enter goes to the box's row.
    active.send_keys(Keys.ARROW_RIGHT)
    active = driver.switch_to.active_element
    second = active.get_attribute("id")
    assert second != f"hit-0-{first}" and second.startswith("hit-0-")
    assert active.get_attribute("tabindex") == "0"
    j = int(second.split("-")[2])
    assert tooltip.text.split("\n") == tooltip_lines(hits[j])
    active.send_keys(Keys.ENTER)
    active = driver.switch_to.active_element
    row = driver.find_element(By.ID, f"row-0-{j}")
    assert active.tag_name == "a" and active.find_element(By.XPATH, "./../..") == row
    assert "selected" in row.get_attribute("class")

    # A row's link goes to its box, drawing its map first.
    driver.find_element(By.ID, "page-last").click()
    link = driver.find_elements(By.CSS_SELECTOR, "#hits tbody a.goto")[-1]
    target = link.find_element(By.XPATH, "./../..").get_attribute("id").replace("row", "hit")
    link.click()
    active = driver.switch_to.active_element
    assert active.get_attribute("id") == target
    assert "selected" in active.get_attribute("class")


def table_column(driver, column: int) -> list[str]:
    return driver.execute_script(
        f"return [...document.querySelectorAll('#hits tbody tr')].map("
        f"(tr) => tr.children[{column}].textContent)")


def status(driver) -> str:
    return driver.find_element(By.ID, "table-status").text


def wait_status(driver, count: int) -> None:
    """Waits for the table to show `count` rows (typing filters after a pause)."""
    WebDriverWait(driver, 5).until(lambda d: status(d).startswith(f"{count:,} of "))


def test_table_sorts_and_filters(samples, page, driver):
    report = samples["sites"]
    hits = report.hits
    page(report.html)
    total = f"{len(hits):,}"
    assert status(driver) == f"{total} of {total} hits shown match the filters."
    # By E, lowest first, then sequence order: the first rows are the TSV's lowest.
    lowest = sorted(range(len(hits)), key=lambda k: (float(hits[k].expectation), k))[:50]
    assert table_column(driver, 6) == [hits[k].expectation for k in lowest]
    assert table_column(driver, 0) == [hits[k].name for k in lowest]

    header = lambda key: driver.find_element(By.CSS_SELECTOR, f"#hits th[data-key='{key}'] button")
    header("e").click()
    values = [float(v) for v in table_column(driver, 6)]
    assert values == sorted(values, reverse=True) and values[0] == max(
        float(h.expectation) for h in hits)
    assert driver.find_element(By.CSS_SELECTOR, "th[data-key='e']").get_attribute(
        "aria-sort") == "descending"
    header("start").click()
    assert [int(v) for v in table_column(driver, 1)] == sorted(h.start for h in hits)[:50]
    header("sequence").click()
    assert table_column(driver, 0) == sorted(h.name for h in hits)[:50]

    motif = "PS00016 RGD"
    Select(driver.find_element(By.ID, "filter-motif")).select_by_visible_text(motif)
    wait_status(driver, sum(h.record == motif for h in hits))
    assert set(table_column(driver, 3)) == {motif}

    Select(driver.find_element(By.ID, "filter-motif")).select_by_index(0)
    driver.find_element(By.ID, "filter-sequence").send_keys("actb")
    wait_status(driver, sum("actb" in h.name.lower() for h in hits))
    driver.find_element(By.ID, "filter-e").send_keys("1e-1")
    wait_status(driver, sum("actb" in h.name.lower() and float(h.expectation) <= 0.1
                            for h in hits))
    assert all(float(v) <= 0.1 for v in table_column(driver, 6))

    driver.find_element(By.ID, "filter-clear").click()
    wait_status(driver, len(hits))
    driver.find_element(By.ID, "filter-e").send_keys("abc")
    WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, "filter-e").get_attribute(
        "aria-invalid") == "true")
    driver.find_element(By.ID, "filter-e").clear()
    WebDriverWait(driver, 5).until(lambda d: d.find_element(By.ID, "filter-e").get_attribute(
        "aria-invalid") is None)
    driver.find_element(By.ID, "page-next").click()
    assert driver.find_element(By.ID, "page-status").text.startswith("rows 51\u2013100 of")


def test_screenshots_of_the_sample_reports(samples, page, driver, output):
    """Saves what a reader sees, for review (and the README's picture)."""
    report = samples["sites"]
    driver.set_window_size(1280, 1200)
    page(report.html)
    box = driver.find_element(By.ID, "hit-1-9")
    ActionChains(driver).move_to_element(box).perform()
    driver.save_screenshot(str(output / "report-sample.png"))
    driver.set_window_size(1280, 1000)
    driver.find_element(By.ID, "hit-3-5").click()
    driver.save_screenshot(str(output / "report-sample-table.png"))
    driver.find_element(By.CSS_SELECTOR, "#hits tbody a.goto").click()
    driver.save_screenshot(str(output / "report-sample-map.png"))
    page(samples["prosite"].html)
    driver.save_screenshot(str(output / "report-sample-prosite.png"))
    for name in ("report-sample.png", "report-sample-table.png", "report-sample-map.png",
                 "report-sample-prosite.png"):
        assert (output / name).read_bytes().startswith(b"\x89PNG")
