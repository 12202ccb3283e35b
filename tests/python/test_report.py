# SPDX-License-Identifier: MIT
"""The HTML report from Python: Hits.to_html writes brisel-search --report's
page for the same search (the lengths of a scan aside, which Python does not
keep), _repr_html_ the same page within the notebook's limits in a sandboxed
frame, and Hits.plot draws one sequence's map as the report does: a box per
hit, the report's colours, lanes whose boxes do not overlap. (The page itself
is the browser tests' business: tests/report/.)"""

from __future__ import annotations

import html
import json
import re
import sys
from pathlib import Path
from typing import Any

import html5lib  # type: ignore[import-untyped]
import pytest

import brisel
from conftest import DATA, read_fasta, run


def island(page: str) -> dict[str, Any]:
    html5lib.HTMLParser(strict=True).parse(page)
    found = re.search(r'id="brisel-report-data">(.*?)</script>', page, re.S)
    assert found is not None
    data: dict[str, Any] = json.loads(found.group(1))
    return data


def framed_page(frame: str) -> str:
    """The page in the srcdoc of _repr_html_'s frame."""
    found = re.fullmatch(r'<iframe [^>]*srcdoc="([^"]*)"></iframe>', frame)
    assert found is not None
    return html.unescape(found.group(1))


def without_context(data: dict[str, Any]) -> dict[str, Any]:
    return {key: value for key, value in data.items()
            if key not in ("program", "inputs", "options")}


def test_to_html_writes_the_report_of_brisel_search(sample: Path, tmp_path: Path) -> None:
    fasta = DATA / "swissprot-100.fasta"
    single = tmp_path / "single.fa"
    single.write_text("".join(f">{name}\n{residues}\n" for name, residues in read_fasta(fasta)))
    motifs = brisel.MotifDatabase.open(sample / "sites")
    with brisel.SequenceDatabase.open(sample / "sprot") as sequences:
        indexed = brisel.search(motifs, sequences, cutoff=9, threads=2)
    scanned = brisel.search(motifs, read_fasta(fasta), cutoff=9, threads=2)
    for hits, search in ((indexed, ["-s", str(sample / "sprot")]),
                         (scanned, ["-b", "-f", "-s", str(single)])):
        hits.to_html(tmp_path / "python.html")
        run("brisel-search", "-l", "-m", str(sample / "sites"), *search, "-e", "9",
            "--report", str(tmp_path / "program.html"))
        ours = island((tmp_path / "python.html").read_text())
        theirs = island((tmp_path / "program.html").read_text())
        assert ours["program"] == "brisel (Python)" and theirs["program"] == "brisel-search"
        assert ours["options"][1] == "cutoff=9" and len(ours["sequences"]) == 100
        if hits is scanned:  # a scan keeps no lengths
            assert {s["length"] for s in ours["sequences"]} == {0}
            for sequence in theirs["sequences"]:
                sequence["length"] = 0
        assert without_context(ours) == without_context(theirs)

    # One chunk of a streamed search counts only its own sequences.
    chunk = next(brisel.search_chunks(motifs, read_fasta(fasta), cutoff=9, chunk_size=100))
    data = island(framed_page(chunk._repr_html_()))
    assert data["counts"]["sequences"] == data["counts"]["sequencesWithHits"] < 100

    # A report that cannot be written: OSError, and nothing at the path.
    missing = tmp_path / "missing" / "report.html"
    with pytest.raises(OSError, match=r"cannot write the report '.*missing/report\.html': No such"):
        indexed.to_html(missing)
    assert not missing.parent.exists()


def test_repr_html_is_the_report_in_a_sandboxed_frame_within_smaller_limits(
        sample: Path, tmp_path: Path) -> None:
    motifs = brisel.MotifDatabase.open(sample / "sites")
    with brisel.SequenceDatabase.open(sample / "sprot") as sequences:
        hits = brisel.search(motifs, sequences, cutoff=9)
    frame = hits._repr_html_()
    html5lib.HTMLParser(strict=True).parseFragment(frame)
    assert frame.startswith('<iframe title="brisel report" sandbox="allow-scripts" ')
    page = framed_page(frame)
    data = island(page)
    assert data["limits"]["sequences"] == 50 and data["counts"]["sequencesDrawn"] == 50
    assert data["counts"]["hitsDrawn"] <= 2000
    hits.to_html(tmp_path / "whole.html")
    whole = island((tmp_path / "whole.html").read_text())
    assert data["counts"]["hits"] == whole["counts"]["hits"] == len(hits)
    assert page.split('id="brisel-report-data">')[0] == (tmp_path / "whole.html").read_text().split(
        'id="brisel-report-data">')[0]


def test_plot_draws_the_map_of_one_sequence(sample: Path, tmp_path: Path,
                                            monkeypatch: pytest.MonkeyPatch) -> None:
    matplotlib = pytest.importorskip("matplotlib")
    matplotlib.use("Agg")
    from matplotlib.colors import to_hex

    motifs = brisel.MotifDatabase.open(sample / "sites")
    with brisel.SequenceDatabase.open(sample / "sprot") as sequences:
        hits = brisel.search(motifs, sequences, cutoff=9)
        length = len(sequences.sequence(3))
    hits.to_html(tmp_path / "report.html")
    data = island((tmp_path / "report.html").read_text())
    colours = {m["record"]: data["palette"][m["color"]] for m in data["motifs"]}

    rows = [hit for hit in hits if hit.sequence == 3]
    ax = hits.plot(3)
    boxes = ax.patches[1:]  # after the backbone
    assert len(boxes) == len(rows) > 10
    assert ax.get_xlim() == (0, length) and ax.patches[0].get_width() == length
    lanes: dict[float, list[tuple[float, float]]] = {}
    for box, hit in zip(boxes, rows):
        assert (box.get_x(), box.get_width()) == (hit.start - 1, hit.end - hit.start + 1)
        assert to_hex(box.get_facecolor()).upper() == colours[hit.record]
        lanes.setdefault(box.get_y(), []).append((box.get_x(), box.get_x() + box.get_width()))
    assert len(lanes) > 1
    for spans in lanes.values():
        spans.sort()
        assert all(a[1] <= b[0] for a, b in zip(spans, spans[1:])), "boxes of a lane overlap"
    assert len(hits.plot(rows[0].name).patches) == len(ax.patches)
    with pytest.raises(ValueError, match="has no hits"):
        hits.plot(10**6)

    for module in ("matplotlib", "matplotlib.pyplot", "matplotlib.patches"):
        monkeypatch.setitem(sys.modules, module, None)
    with pytest.raises(ImportError, match=r"pip install 'brisel\[plot\]'"):
        hits.plot(3)
