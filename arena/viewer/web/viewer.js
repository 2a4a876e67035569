// The battle viewer: draws the snapshots the arena streams (live) or a recording it replays,
// with the battle's story beside and under the field: an event feed and every robot's hit
// points over time. Everything it shows comes from its own server; names and texts go in as
// text, never markup. This module wires the others together: the drawing loop, the test
// hook and the start.
import { ToCanvas, view } from './camera.js';
import { chartSummary, DrawChart, DrawMarks, marksSummary } from './chart.js';
import { kFloor, kRamp, RampIndex } from './colour_ramp.js';
import './controls.js';
import { DrawField, drawnLabels, drawnLayers } from './field.js';
import { drawnRobots, drawnShells } from './field_bodies.js';
import { UpdateFeed } from './feed.js';
import { Begin } from './network.js';
import { feedList } from './page_elements.js';
import { dirty, drawn, follow, mode, pending, SetDrawn, SetPending } from './page_state.js';

// ---- The one drawing loop ----------------------------------------------------------------

function Loop() {
  requestAnimationFrame(Loop);
  if (pending) {
    SetDrawn(pending);
    SetPending(null);
    dirty.field = dirty.chart = dirty.marks = dirty.feed = true;
  }
  if (!drawn) {
    return;
  }
  if (dirty.field) {
    DrawField();
  }
  if (dirty.chart) {
    DrawChart();
  }
  if (dirty.marks) {
    DrawMarks();
  }
  if (dirty.feed) {
    UpdateFeed();
  }
}

// For a person at the console, and for the browser test: what the last frame drew.
// Positions and sizes are canvas pixels (the canvas's own grid, which getImageData reads;
// CSS pixels times devicePixelRatio).
//   scale      canvas pixels per field unit; zoom: against the whole field in view
//   labels     [{id, name, left, top, right, bottom, leader}]: the robots' name boxes
//   robots     [{id, x, y, radius}] as drawn; shells [{id, x, y, radius, trail}] (trail: length)
//   layers     [{connection, name, opacity}]: opacity as drawn, 0 when hidden or faded out
//   feed       entries in the event feed; chart {robots, from, to}; marks {hits, destroyed}
//   cellColour(r, g, b): the colour a cell sent as r, g, b is drawn in, at full opacity
window.viewerState = {
  get mode() {
    return mode;
  },
  get snapshot() {
    return drawn;
  },
  get scale() {
    return view.scale;
  },
  get zoom() {
    return view.zoom;
  },
  get follow() {
    return follow;
  },
  get labels() {
    return drawnLabels.map((label) => ({ ...label }));
  },
  get robots() {
    return drawnRobots.map((robot) => ({ ...robot }));
  },
  get shells() {
    return drawnShells.map((shell) => ({ ...shell }));
  },
  get layers() {
    return drawnLayers.map((layer) => ({ ...layer }));
  },
  get feed() {
    return feedList.childElementCount;
  },
  get chart() {
    return { ...chartSummary };
  },
  get marks() {
    return { ...marksSummary };
  },
  floor: kFloor,
  toCanvas: (x, y) => ToCanvas(x, y),
  cellColour: (r, g, b) => [...kRamp[RampIndex(r, g, b)]],
};

requestAnimationFrame(Loop);
Begin();
