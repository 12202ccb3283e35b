// SPDX-License-Identifier: MIT
// report.js: draws brisel's HTML report from the JSON in #brisel-report-data
// (its schema: report_writer.h). Plain DOM, no library; every text of the
// data goes into the page as text (textContent, attributes), never as markup.
//
// The summary and the charts are drawn at once; each hit map is drawn when it
// comes near the viewport (an IntersectionObserver), into a box whose height
// is known beforehand, so a report of a thousand maps opens quickly. The hit
// table shows a page of rows at a time. Boxes and rows link to each other.
// Once drawn (after the first frame), <html> gets data-ready="true" and the
// timeline the mark "brisel-report-drawn".
(function () {
  "use strict";

  const SVG = "http://www.w3.org/2000/svg";
  const PAGE_ROWS = 50;  // rows of the hit table per page
  const LANE = 20;  // height of a lane of boxes
  const BOX = 16;  // height of a box
  const RULER = 24;  // height of the backbone and its ruler under the lanes
  const MARGIN = 10;  // left and right of a map's track
  const MIN_BOX = 2;  // the narrowest box drawn, in pixels
  const BARS = 20;  // motifs in the bar chart until "show all"
  const LEGEND = 24;  // motifs in the legend at most
  const LOG10_2 = Math.log10(2);

  const number = new Intl.NumberFormat("en-US");
  const compact = new Intl.NumberFormat("en-US", {notation: "compact"});
  const byId = (id) => document.getElementById(id);

  function element(tag, attributes, text) {
    const node = document.createElement(tag);
    for (const [key, value] of Object.entries(attributes || {})) node.setAttribute(key, value);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  function svgElement(tag, attributes, text) {
    const node = document.createElementNS(SVG, tag);
    for (const [key, value] of Object.entries(attributes || {})) node.setAttribute(key, value);
    if (text !== undefined) node.textContent = text;
    return node;
  }

  const round = (x) => Math.round(x * 100) / 100;

  // ---- Data --------------------------------------------------------------

  const data = JSON.parse(byId("brisel-report-data").textContent);
  const unit = data.unit === "nt" ? "nt" : "aa";
  const motifs = new Map();  // index -> motif
  for (const motif of data.motifs) motifs.set(motif.index, motif);
  const sequences = data.sequences;

  function motifOf(index) {
    let motif = motifs.get(index);
    if (!motif) {
      motif = {index: index, record: "", specificity: null, hits: 0, color: 0};
      motifs.set(index, motif);
    }
    return motif;
  }

  const motifName = (motif) => motif.record || "motif " + motif.index;

  // The ink that reads best on a palette colour: black or white.
  function inkOn(hex) {
    const channel = (i) => {
      const c = parseInt(hex.slice(i, i + 2), 16) / 255;
      return c <= 0.03928 ? c / 12.92 : Math.pow((c + 0.055) / 1.055, 2.4);
    };
    const luminance = 0.2126 * channel(1) + 0.7152 * channel(3) + 0.0722 * channel(5);
    return (luminance + 0.05) / 0.05 >= 1.05 / (luminance + 0.05) ? "#000" : "#fff";
  }
  const fill = (motif) => data.palette[motif.color % data.palette.length];

  // The lines of a hit's tooltip, also its box's accessible name.
  function hitLines(s, j) {
    const hit = sequences[s].h[j];
    const lines = [motifName(motifOf(hit[0])), "segment: " + hit[5],
      "positions: " + hit[1] + "-" + hit[2], "E: " + hit[3], "P: " + hit[4]];
    if (hit[6]) lines.push("frame: " + (hit[6] > 0 ? "+" : "") + hit[6]);
    return lines;
  }

  // Text widths, for names that fit on their boxes.
  const measure = (() => {
    const context = document.createElement("canvas").getContext("2d");
    const cache = new Map();
    return (text) => {
      if (!context) return text.length * 7;
      if (!context.font.includes("11px")) {
        context.font = "11px " + getComputedStyle(document.body).fontFamily;
      }
      let width = cache.get(text);
      if (width === undefined) {
        width = context.measureText(text).width;
        cache.set(text, width);
      }
      return width;
    };
  })();

  // ---- Summary -----------------------------------------------------------

  function drawSummary() {
    const counts = data.counts;
    byId("subtitle").textContent = data.program + " " + data.version +
        (data.inputs.length ? " \u00b7 " + data.inputs.join(" \u00b7 ") : "");
    const dl = byId("counts");
    const entries = [["Sequences searched", counts.sequences],
      ["Sequences with hits", counts.sequencesWithHits], ["Hits", counts.hits],
      ["Motifs with hits", data.motifs.length], ["Sequences drawn", counts.sequencesDrawn],
      ["Hits drawn", counts.hitsDrawn]];
    for (const [label, value] of entries) {
      const group = element("div");
      group.append(element("dt", {}, label), element("dd", {}, number.format(value)));
      dl.append(group);
    }
    const leftSequences = counts.sequencesWithHits - counts.sequencesDrawn;
    const leftHits = counts.hits - counts.hitsDrawn;
    byId("left-out").textContent = leftSequences > 0 || leftHits > 0 ?
      "Left out of the maps and the table: " + number.format(leftSequences) + " sequences and " +
        number.format(leftHits) + " hits. They show at most the " +
        number.format(data.limits.sequences) + " sequences of lowest E, at most " +
        number.format(data.limits.hitsPerSequence) + " hits of each (those of lowest E) and " +
        "at most " + number.format(data.limits.hits) + " hits in all; the counts and the " +
        "charts above count every hit." :
      "The maps and the table show every hit.";
    for (const [list, lines] of [["inputs", data.inputs], ["options", data.options]]) {
      for (const line of lines) byId(list).append(element("li", {}, line));
      if (!lines.length) byId(list).append(element("li", {}, "(none)"));
    }
  }

  // Motifs ranked by hit count (then index): the order of the palette.
  const ranked = data.motifs.slice().sort((a, b) => b.hits - a.hits || a.index - b.index);

  function drawMotifBars(all) {
    const holder = byId("motif-bars");
    holder.textContent = "";
    if (!ranked.length) {
      holder.append(element("p", {class: "note"}, "No hits."));
      return;
    }
    const shown = all ? ranked : ranked.slice(0, BARS);
    const width = Math.max(360, holder.clientWidth || 560);
    const labelWidth = Math.round(width * 0.42);
    const countWidth = 8 + measure(number.format(ranked[0].hits));
    const barWidth = width - labelWidth - countWidth - 12;
    const row = 18;
    const svg = svgElement("svg", {class: "chart", width: width, height: shown.length * row + 4,
      role: "group", "aria-labelledby": "motif-chart-caption"});
    const most = ranked[0].hits;
    shown.forEach((motif, k) => {
      const y = k * row + 2;
      const name = motifName(motif);
      const label = number.format(motif.hits) + (motif.hits === 1 ? " hit" : " hits");
      const group = svgElement("g", {role: "img", "aria-label": name + ": " + label});
      group.append(svgElement("title", {}, name + ": " + label));
      let shownName = name;
      while (shownName.length > 3 && measure(shownName) > labelWidth - 8) {
        shownName = shownName.slice(0, -2);
      }
      if (shownName !== name) shownName = shownName.slice(0, -1) + "\u2026";
      group.append(svgElement("text", {x: labelWidth - 6, y: y + 12, "text-anchor": "end"},
          shownName));
      const w = Math.max(1, motif.hits / most * barWidth);
      group.append(svgElement("rect", {x: labelWidth, y: y + 2, width: round(w), height: row - 5,
        fill: fill(motif), stroke: "#24292f", "stroke-width": 0.5}));
      group.append(svgElement("text", {x: round(labelWidth + w + 4), y: y + 12},
          number.format(motif.hits)));
      svg.append(group);
    });
    holder.append(svg);
    const more = byId("motif-more");
    more.hidden = ranked.length <= BARS;
    more.textContent = all ? "Show the first " + BARS + " motifs" :
      "Show all " + number.format(ranked.length) + " motifs";
  }

  function niceStep(range, ticks) {
    const raw = range / ticks;
    const power = Math.pow(10, Math.floor(Math.log10(raw)));
    for (const factor of [1, 2, 5, 10]) {
      if (raw <= factor * power) return factor * power;
    }
    return 10 * power;
  }

  function drawHistogram() {
    const holder = byId("e-histogram");
    const bins = data.expectations.log2;
    const notes = [];
    if (data.expectations.zero) {
      notes.push(number.format(data.expectations.zero) + " hits with E = 0 are not drawn.");
    }
    if (data.expectations.other) {
      notes.push(number.format(data.expectations.other) + " hits with no finite E are not drawn.");
    }
    byId("e-note").textContent = notes.join(" ");
    if (!bins.length) {
      holder.append(element("p", {class: "note"}, "No hits."));
      return;
    }
    const width = Math.max(360, holder.clientWidth || 560);
    const height = 220;
    const left = 56, right = 12, top = 8, bottom = 36;
    let low = Math.floor(bins[0][0] * LOG10_2);
    let high = Math.ceil((bins[bins.length - 1][0] + 1) * LOG10_2);
    if (high <= low) high = low + 1;
    const most = Math.max(...bins.map((bin) => bin[1]));
    const x = (decade) => left + (decade - low) / (high - low) * (width - left - right);
    const y = (count) => top + (1 - count / most) * (height - top - bottom);
    const total = bins.reduce((sum, bin) => sum + bin[1], 0);
    const peak = bins.find((bin) => bin[1] === most);
    const svg = svgElement("svg", {class: "chart", width: width, height: height, role: "img",
      "aria-label": "Histogram of log10 E over " + number.format(total) + " hits, from 1e" +
        low + " to 1e" + high + "; the most hits (" + number.format(most) + ") have E from " +
        Math.pow(2, peak[0]).toExponential(2) + " to " + Math.pow(2, peak[0] + 1).toExponential(2) +
        "."});
    const axis = svgElement("g", {class: "axis"});
    axis.append(svgElement("line", {x1: left, y1: y(0), x2: width - right, y2: y(0)}));
    axis.append(svgElement("line", {x1: left, y1: top, x2: left, y2: y(0)}));
    const decades = Math.max(1, Math.ceil((high - low) / 10));
    for (let d = low; d <= high; d += decades) {
      axis.append(svgElement("line", {x1: round(x(d)), y1: y(0), x2: round(x(d)), y2: y(0) + 4}));
      axis.append(svgElement("text", {x: round(x(d)), y: y(0) + 16, "text-anchor": "middle"},
          d === 0 ? "1" : "1e" + d));
    }
    const step = niceStep(most, 4);
    for (let c = 0; c <= most; c += Math.max(1, step)) {
      axis.append(svgElement("line", {x1: left - 4, y1: round(y(c)), x2: left, y2: round(y(c))}));
      axis.append(svgElement("text", {x: left - 6, y: round(y(c)) + 4, "text-anchor": "end"},
          compact.format(c)));
    }
    axis.append(svgElement("text", {x: (left + width - right) / 2, y: height - 4,
      "text-anchor": "middle"}, "E"));
    svg.append(axis);
    for (const [k, count] of bins) {
      const x0 = x(k * LOG10_2), x1 = x((k + 1) * LOG10_2);
      const bar = svgElement("rect", {x: round(x0), y: round(y(count)),
        width: round(Math.max(1, x1 - x0 - 0.5)), height: round(y(0) - y(count)), fill: "#0072B2"});
      bar.append(svgElement("title", {}, "E from " + Math.pow(2, k).toExponential(2) + " to " +
          Math.pow(2, k + 1).toExponential(2) + ": " + number.format(count) + " hits"));
      svg.append(bar);
    }
    holder.append(svg);
  }

  // ---- Hit maps ----------------------------------------------------------

  const list = byId("map-list");
  const holders = [];  // per sequence: its section, its track holder, its layout
  let trackWidth = 0;

  // Where each box of a sequence goes: x and width to scale, and the first
  // lane in which it overlaps no box (by pixels, so that narrow boxes drawn at
  // the least width do not overlap either).
  function layOut(s, width) {
    const sequence = sequences[s];
    let length = sequence.length;
    for (const hit of sequence.h) length = Math.max(length, hit[1], hit[2]);
    const track = width - 2 * MARGIN;
    const boxes = sequence.h.map((hit, j) => {
      const start = Math.min(hit[1], hit[2]), end = Math.max(hit[1], hit[2]);
      return {j: j, start: start, end: end, x: MARGIN + (start - 1) / length * track,
        width: Math.max((end - start + 1) / length * track, MIN_BOX), lane: 0};
    });
    boxes.sort((a, b) => a.start - b.start || a.end - b.end || a.j - b.j);
    const ends = [];
    for (const box of boxes) {
      let lane = ends.findIndex((end) => end + 1 <= box.x);
      if (lane < 0) lane = ends.push(0) - 1;
      box.lane = lane;
      ends[lane] = box.x + box.width;
    }
    return {length: length, track: track, boxes: boxes, lanes: Math.max(1, ends.length),
      height: Math.max(1, ends.length) * LANE + RULER};
  }

  function drawMap(s) {
    const holder = holders[s];
    const sequence = sequences[s];
    const layout = holder.layout;
    const width = layout.track + 2 * MARGIN;
    const name = sequence.name || "(no name)";
    const titleId = "map-" + s + "-title", descId = "map-" + s + "-desc";
    const svg = svgElement("svg", {width: width, height: layout.height, role: "group",
      "aria-labelledby": titleId + " " + descId, "data-length": layout.length,
      "data-track-x": MARGIN, "data-track-width": round(layout.track)});
    const motifCount = new Set(sequence.h.map((hit) => hit[0])).size;
    svg.append(svgElement("title", {id: titleId}, "Hit map of " + name));
    svg.append(svgElement("desc", {id: descId}, sequence.h.length + " hits of " + motifCount +
        (motifCount === 1 ? " motif" : " motifs") + " along " + number.format(layout.length) +
        " " + unit + "; each hit a box at its positions, overlapping hits in lanes."));

    const base = layout.lanes * LANE + 4;
    const ruler = svgElement("g", {class: "ticks", "aria-hidden": "true"});
    ruler.append(svgElement("rect", {class: "backbone", x: MARGIN, y: base, width:
      round(layout.track), height: 5}));
    const step = niceStep(layout.length, Math.max(2, Math.floor(layout.track / 90)));
    const at = (position) => round(MARGIN + (position - 1) / layout.length * layout.track);
    // Marks at 1 and every step, none too near the length written at the end.
    const lengthLabel = number.format(layout.length) + " " + unit;
    const free = MARGIN + layout.track - measure(lengthLabel) - 8;
    const marks = [1];
    for (let p = step; p < layout.length; p += step) {
      const x = at(p), half = measure(number.format(p)) / 2;
      if (x - half > at(1) + 12 && x + half < free) marks.push(p);
    }
    for (const p of marks) {
      ruler.append(svgElement("line", {class: "tick", x1: at(p), y1: base + 5, x2: at(p),
        y2: base + 9}));
      ruler.append(svgElement("text", {x: at(p), y: base + 19, "text-anchor": "middle"},
          number.format(p)));
    }
    ruler.append(svgElement("text", {x: round(MARGIN + layout.track), y: base + 19,
      "text-anchor": "end"}, lengthLabel));
    svg.append(ruler);

    const hits = svgElement("g", {class: "hits"});
    layout.boxes.forEach((box, k) => {
      const hit = sequence.h[box.j];
      const motif = motifOf(hit[0]);
      const group = svgElement("g", {class: "hit", id: "hit-" + s + "-" + box.j,
        tabindex: k === 0 ? "0" : "-1", role: "button",
        "aria-label": hitLines(s, box.j).join(", "), "data-sequence": s, "data-hit": box.j,
        "data-start": box.start, "data-end": box.end, "data-motif": motif.index});
      const y = box.lane * LANE + 2;
      group.append(svgElement("rect", {x: round(box.x), y: y, width: round(box.width),
        height: BOX, rx: 2, fill: fill(motif)}));
      const words = motif.record.split(" ");
      for (const label of [motifName(motif), words[1], words[0]]) {
        if (label && measure(label) + 6 <= box.width) {
          group.append(svgElement("text", {x: round(box.x + box.width / 2), y: y + 12,
            "text-anchor": "middle", fill: inkOn(fill(motif))}, label));
          break;
        }
      }
      hits.append(group);
    });
    svg.append(hits);
    holder.track.textContent = "";
    holder.track.append(svg);
    holder.drawn = true;
  }

  const observer = "IntersectionObserver" in window ? new IntersectionObserver((entries) => {
    for (const entry of entries) {
      if (!entry.isIntersecting) continue;
      const s = Number(entry.target.dataset.sequence);
      observer.unobserve(entry.target);
      if (!holders[s].drawn) drawMap(s);
    }
  }, {rootMargin: "1000px 0px"}) : null;

  function drawLegend() {
    const legend = byId("legend");
    const drawn = new Set();
    for (const sequence of sequences) for (const hit of sequence.h) drawn.add(hit[0]);
    const shown = ranked.filter((motif) => drawn.has(motif.index));
    for (const motif of shown.slice(0, LEGEND)) {
      const item = element("span");
      item.append(element("span", {class: "swatch", style: "background:" + fill(motif)}),
          motifName(motif));
      legend.append(item);
    }
    if (shown.length > LEGEND) {
      legend.append(element("span", {}, "and " + number.format(shown.length - LEGEND) +
          " more motifs, which share these colours: their names are on the boxes and in the tooltips"));
    }
  }

  function setUpMaps() {
    trackWidth = Math.max(320, list.clientWidth || 900);
    byId("maps-note").textContent = sequences.length ?
      "One map per sequence with hits drawn, in the order of the search: the sequence to scale, " +
        "each hit a box coloured by motif, overlapping hits in lanes." :
      "No sequence has a hit.";
    sequences.forEach((sequence, s) => {
      const section = element("div", {class: "map", id: "map-" + s, role: "group",
        "aria-labelledby": "map-" + s + "-name", "data-sequence": s});
      const name = sequence.name || "(no name)";
      section.append(element("h3", {id: "map-" + s + "-name", title: name}, name));
      const drawnHits = sequence.h.length;
      section.append(element("p", {class: "about"}, "sequence " + number.format(sequence.number + 1) +
          " of the search \u00b7 " + (sequence.length ? number.format(sequence.length) + " " + unit :
            "length unknown") + " \u00b7 " + number.format(sequence.hits) +
          (sequence.hits === 1 ? " hit" : " hits") + " \u00b7 best E " + sequence.best +
          (drawnHits < sequence.hits ? " \u00b7 drawn: the " + number.format(drawnHits) +
            " of lowest E" : "")));
      const track = element("div", {class: "track"});
      const layout = layOut(s, trackWidth);
      track.style.height = layout.height + "px";
      section.append(track);
      list.append(section);
      holders.push({section: section, track: track, layout: layout, drawn: false});
      if (observer) observer.observe(section);
    });
    if (!observer) sequences.forEach((sequence, s) => drawMap(s));
  }

  function relayOut() {
    const width = Math.max(320, list.clientWidth || 900);
    if (width === trackWidth) return;
    trackWidth = width;
    holders.forEach((holder, s) => {
      holder.layout = layOut(s, width);
      holder.track.style.height = holder.layout.height + "px";
      if (holder.drawn) drawMap(s);
    });
  }

  // ---- Tooltip -----------------------------------------------------------

  const tooltip = byId("tooltip");
  let hovered = null;  // the box under the pointer

  function showTooltip(box) {
    const s = Number(box.dataset.sequence), j = Number(box.dataset.hit);
    tooltip.textContent = "";
    hitLines(s, j).forEach((line, k) => {
      tooltip.append(element("div", k === 1 ? {class: "segment"} : {}, line));
    });
    tooltip.hidden = false;
    box.setAttribute("aria-describedby", "tooltip");
    const place = box.getBoundingClientRect();
    const size = tooltip.getBoundingClientRect();
    let left = Math.min(place.left, window.innerWidth - size.width - 8);
    let top = place.bottom + 6;
    if (top + size.height > window.innerHeight) top = place.top - size.height - 6;
    tooltip.style.left = Math.max(4, left) + "px";
    tooltip.style.top = Math.max(4, top) + "px";
  }

  // Hides the tooltip; without a box, also forgets the box under the pointer.
  function hideTooltip(box) {
    tooltip.hidden = true;
    if (box) {
      box.removeAttribute("aria-describedby");
    } else {
      hovered = null;
    }
  }

  // ---- Hit table ---------------------------------------------------------

  const rowSequence = [], rowHit = [], firstRow = [];
  sequences.forEach((sequence, s) => {
    firstRow.push(rowSequence.length);
    sequence.h.forEach((hit, j) => {
      rowSequence.push(s);
      rowHit.push(j);
    });
  });
  const rows = rowSequence.length;
  const hitOf = (r) => sequences[rowSequence[r]].h[rowHit[r]];
  const sortNumber = (text) => {
    const value = parseFloat(text);
    return Number.isNaN(value) ? Infinity : value;
  };
  const rowE = Float64Array.from({length: rows}, (_, r) => sortNumber(hitOf(r)[3]));
  const rowP = Float64Array.from({length: rows}, (_, r) => sortNumber(hitOf(r)[4]));
  const lowerNames = sequences.map((sequence) => sequence.name.toLowerCase());
  const rankBy = (items, compare) => {
    const order = items.map((_, k) => k).sort((a, b) => compare(items[a], items[b]) || a - b);
    const rank = new Map();
    order.forEach((k, position) => rank.set(k, position));
    return rank;
  };
  const textOrder = (a, b) => (a < b ? -1 : a > b ? 1 : 0);
  const nameRank = rankBy(sequences, (a, b) => textOrder(a.name, b.name));
  const motifList = [...motifs.values()];
  const motifRank = new Map();
  motifList.slice().sort((a, b) => textOrder(motifName(a), motifName(b)) || a.index - b.index)
      .forEach((motif, position) => motifRank.set(motif.index, position));

  const keys = {
    sequence: (a, b) => nameRank.get(rowSequence[a]) - nameRank.get(rowSequence[b]),
    start: (a, b) => hitOf(a)[1] - hitOf(b)[1],
    end: (a, b) => hitOf(a)[2] - hitOf(b)[2],
    motif: (a, b) => motifRank.get(hitOf(a)[0]) - motifRank.get(hitOf(b)[0]),
    segment: (a, b) => textOrder(hitOf(a)[5], hitOf(b)[5]),
    specificity: (a, b) => sortNumber(motifOf(hitOf(a)[0]).specificity) -
      sortNumber(motifOf(hitOf(b)[0]).specificity),
    e: (a, b) => rowE[a] - rowE[b] || 0,
    p: (a, b) => rowP[a] - rowP[b] || 0,
  };
  const table = {key: "e", direction: 1, view: Int32Array.from({length: 0}), page: 0};

  function filters() {
    const motif = byId("filter-motif").value;
    const text = byId("filter-sequence").value.trim().toLowerCase();
    const eInput = byId("filter-e");
    const eText = eInput.value.trim();
    let eMax = null;
    if (eText) {
      const value = Number(eText);
      if (Number.isNaN(value)) {
        eInput.setAttribute("aria-invalid", "true");
      } else {
        eInput.removeAttribute("aria-invalid");
        eMax = value;
      }
    } else {
      eInput.removeAttribute("aria-invalid");
    }
    return {motif: motif === "" ? null : Number(motif), text: text, eMax: eMax};
  }

  function applyTable(keepPage) {
    const filter = filters();
    const kept = [];
    for (let r = 0; r < rows; ++r) {
      if (filter.motif !== null && hitOf(r)[0] !== filter.motif) continue;
      if (filter.text && !lowerNames[rowSequence[r]].includes(filter.text)) continue;
      if (filter.eMax !== null && !(rowE[r] <= filter.eMax)) continue;
      kept.push(r);
    }
    const compare = keys[table.key];
    const direction = table.direction;
    kept.sort((a, b) => direction * compare(a, b) || a - b);
    table.view = Int32Array.from(kept);
    if (!keepPage) table.page = 0;
    for (const th of document.querySelectorAll("#hits th")) {
      if (th.dataset.key === table.key) {
        th.setAttribute("aria-sort", direction > 0 ? "ascending" : "descending");
      } else {
        th.removeAttribute("aria-sort");
      }
    }
    byId("table-status").textContent = number.format(kept.length) + " of " +
      number.format(rows) + " hits shown match" + (kept.length === 1 ? "es" : "") + " the filters.";
    drawPage();
  }

  function pages() {
    return Math.max(1, Math.ceil(table.view.length / PAGE_ROWS));
  }

  function drawPage() {
    const body = document.querySelector("#hits tbody");
    const fragment = document.createDocumentFragment();
    table.page = Math.min(Math.max(0, table.page), pages() - 1);
    const from = table.page * PAGE_ROWS;
    const to = Math.min(table.view.length, from + PAGE_ROWS);
    for (let k = from; k < to; ++k) {
      const r = table.view[k];
      const s = rowSequence[r], j = rowHit[r];
      const hit = hitOf(r);
      const motif = motifOf(hit[0]);
      const name = sequences[s].name || "(no name)";
      const tr = element("tr", {id: "row-" + s + "-" + j, "data-sequence": s, "data-hit": j});
      const nameCell = element("td", {class: "name"});
      nameCell.append(element("a", {href: "#hit-" + s + "-" + j, class: "goto", title: name}, name));
      const motifCell = element("td");
      motifCell.append(element("span", {class: "swatch", style: "background:" + fill(motif)}),
          motifName(motif));
      tr.append(nameCell, element("td", {class: "num"}, String(hit[1])),
          element("td", {class: "num"}, String(hit[2])), motifCell,
          element("td", {class: "segment"}, hit[5]),
          element("td", {class: "num"}, motif.specificity === null ? "" : motif.specificity),
          element("td", {class: "num"}, hit[3]), element("td", {class: "num"}, hit[4]));
      fragment.append(tr);
    }
    body.textContent = "";
    body.append(fragment);
    byId("page-status").textContent = table.view.length ?
      "rows " + number.format(from + 1) + "\u2013" + number.format(to) + " of " +
        number.format(table.view.length) + " (page " + (table.page + 1) + " of " + pages() + ")" :
      "no rows";
    byId("page-first").disabled = byId("page-previous").disabled = table.page === 0;
    byId("page-next").disabled = byId("page-last").disabled = table.page >= pages() - 1;
  }

  function setUpTable() {
    const select = byId("filter-motif");
    for (const motif of motifList.slice().sort((a, b) => motifRank.get(a.index) -
        motifRank.get(b.index))) {
      if (!rows) break;
      select.append(element("option", {value: motif.index}, motifName(motif)));
    }
    for (const th of document.querySelectorAll("#hits th")) {
      th.querySelector("button").addEventListener("click", () => {
        if (table.key === th.dataset.key) {
          table.direction = -table.direction;
        } else {
          table.key = th.dataset.key;
          table.direction = 1;
        }
        applyTable(false);
      });
    }
    // Typing filters once it pauses; a choice made (change) filters at once.
    const form = byId("filters");
    let typing = 0;
    form.addEventListener("input", () => {
      clearTimeout(typing);
      typing = setTimeout(() => applyTable(false), 150);
    });
    form.addEventListener("change", () => {
      clearTimeout(typing);
      applyTable(false);
    });
    form.addEventListener("submit", (event) => event.preventDefault());
    form.addEventListener("reset", () => setTimeout(() => applyTable(false), 0));
    const turn = (id, page) => byId(id).addEventListener("click", () => {
      table.page = page();
      drawPage();
    });
    turn("page-first", () => 0);
    turn("page-previous", () => table.page - 1);
    turn("page-next", () => table.page + 1);
    turn("page-last", () => pages() - 1);
    document.querySelector("#hits tbody").addEventListener("click", (event) => {
      const link = event.target.closest("a.goto");
      if (!link) return;
      event.preventDefault();
      const tr = link.closest("tr");
      showHit(Number(tr.dataset.sequence), Number(tr.dataset.hit));
    });
    applyTable(false);
  }

  // ---- Links between boxes and rows -------------------------------------

  function select(node) {
    for (const old of document.querySelectorAll(".selected")) old.classList.remove("selected");
    if (node) node.classList.add("selected");
  }

  // Draws the hit's map if need be, scrolls to its box, and focuses it.
  function showHit(s, j) {
    if (!holders[s].drawn) drawMap(s);
    const box = byId("hit-" + s + "-" + j);
    select(box);
    const row = byId("row-" + s + "-" + j);
    if (row) row.classList.add("selected");
    moveFocus(box);
    box.scrollIntoView({block: "center"});
    showTooltip(box);
  }

  // Shows the hit's row in the table (clearing the filters if they hide it).
  function showRow(s, j) {
    const r = firstRow[s] + j;
    let at = table.view.indexOf(r);
    if (at < 0) {
      byId("filters").reset();
      applyTable(false);
      at = table.view.indexOf(r);
    }
    table.page = Math.floor(at / PAGE_ROWS);
    drawPage();
    const row = byId("row-" + s + "-" + j);
    select(row);
    byId("hit-" + s + "-" + j).classList.add("selected");
    hideTooltip();
    row.scrollIntoView({block: "center"});
    row.querySelector("a").focus({preventScroll: true});
  }

  // One tab stop per map: the box last focused.
  function moveFocus(box) {
    for (const other of box.parentNode.querySelectorAll(".hit[tabindex='0']")) {
      other.setAttribute("tabindex", "-1");
    }
    box.setAttribute("tabindex", "0");
    box.focus({preventScroll: true});
  }

  function setUpBoxes() {
    const focused = () => {
      const active = document.activeElement;
      return active && active.classList && active.classList.contains("hit") ? active : null;
    };
    list.addEventListener("mouseover", (event) => {
      const box = event.target.closest(".hit");
      if (!box) return;
      hovered = box;
      showTooltip(box);
    });
    list.addEventListener("mouseout", (event) => {
      const box = event.target.closest(".hit");
      if (!box || box.contains(event.relatedTarget)) return;
      hovered = null;
      if (focused()) {
        showTooltip(focused());
      } else {
        hideTooltip(box);
      }
    });
    list.addEventListener("focusin", (event) => {
      const box = event.target.closest(".hit");
      if (!box) return;
      moveFocus(box);
      showTooltip(box);
    });
    list.addEventListener("focusout", (event) => {
      const box = event.target.closest(".hit");
      if (!box) return;
      if (hovered) {
        showTooltip(hovered);
      } else {
        hideTooltip(box);
      }
    });
    list.addEventListener("click", (event) => {
      const box = event.target.closest(".hit");
      if (box) showRow(Number(box.dataset.sequence), Number(box.dataset.hit));
    });
    list.addEventListener("keydown", (event) => {
      const box = event.target.closest(".hit");
      if (!box) return;
      const boxes = [...box.parentNode.querySelectorAll(".hit")];
      const at = boxes.indexOf(box);
      const to = {ArrowRight: at + 1, ArrowDown: at + 1, ArrowLeft: at - 1, ArrowUp: at - 1,
        Home: 0, End: boxes.length - 1}[event.key];
      if (to !== undefined) {
        event.preventDefault();
        moveFocus(boxes[Math.min(Math.max(0, to), boxes.length - 1)]);
      } else if (event.key === "Enter" || event.key === " ") {
        event.preventDefault();
        showRow(Number(box.dataset.sequence), Number(box.dataset.hit));
      } else if (event.key === "Escape") {
        hideTooltip(box);
      }
    });
    window.addEventListener("scroll", () => {
      const box = hovered || focused();
      if (box && !tooltip.hidden) showTooltip(box);
    }, {passive: true});
  }

  // ---- Start -------------------------------------------------------------

  function start() {
    drawSummary();
    drawMotifBars(false);
    let all = false;
    byId("motif-more").addEventListener("click", () => {
      all = !all;
      drawMotifBars(all);
    });
    drawHistogram();
    drawLegend();
    setUpMaps();
    setUpBoxes();
    setUpTable();
    let resizing = 0;
    window.addEventListener("resize", () => {
      clearTimeout(resizing);
      resizing = setTimeout(relayOut, 200);
    });
    requestAnimationFrame(() => setTimeout(() => {
      performance.mark("brisel-report-drawn");
      document.documentElement.setAttribute("data-ready", "true");
    }, 0));
  }

  try {
    start();
  } catch (error) {
    const message = byId("error");
    message.hidden = false;
    message.textContent = "This report could not be drawn: " + error;
    throw error;
  }
})();
