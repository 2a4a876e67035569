// The view of the field: zoom, pan and follow as numbers, and the transform from field units
// to canvas pixels. No DOM here: the field's module sizes the canvas and fills in `view`.
import { drawn, follow } from './page_state.js';

const kRobotRadius = 0.4; // field units
const kMinRobotPixels = 6; // CSS pixels: the least radius a robot is drawn with, to stay legible
const kMinZoom = 0.5; // against the whole field in view
const kMaxZoom = 60;
export const kFollowZoom = 2.5; // the least zoom following a robot starts with

// The view: `zoom` against the whole field in view, `focus` the field point at the canvas's
// centre; `scale` and the rest follow from them and the canvas at each frame.
export const view = { zoom: 1, focusX: 0, focusY: 0, scale: 1, fitScale: 1, width: 1, height: 1, ratio: 1 };

// Field coordinates (origin at the centre, y up) to canvas pixels, and back.
export function ToCanvas(x, y) {
  return [view.width / 2 + (x - view.focusX) * view.scale, view.height / 2 - (y - view.focusY) * view.scale];
}
function ToField(px, py) {
  return [view.focusX + (px - view.width / 2) / view.scale, view.focusY - (py - view.height / 2) / view.scale];
}

/// Keeps some of the field in view, however far it is panned.
export function ClampFocus() {
  const field = drawn?.field;
  if (field) {
    view.focusX = Math.min(field.width / 2, Math.max(-field.width / 2, view.focusX));
    view.focusY = Math.min(field.height / 2, Math.max(-field.height / 2, view.focusY));
  }
}

/// Zooms by `factor` keeping the field point under canvas pixel (px, py) where it is; a
/// followed robot stays at the centre instead.
export function ZoomView(px, py, factor) {
  const zoom = Math.min(kMaxZoom, Math.max(kMinZoom, view.zoom * factor));
  if (follow === null) {
    const [x, y] = ToField(px, py);
    const scale = view.fitScale * zoom;
    view.focusX = x - (px - view.width / 2) / scale;
    view.focusY = y + (py - view.height / 2) / scale;
  }
  view.zoom = zoom;
  view.scale = view.fitScale * zoom;
}

export function RobotPixels() {
  return Math.max(kRobotRadius * view.scale, kMinRobotPixels * view.ratio);
}

/// Under the robot and no wider than it, so that the bars of touching robots do not merge.
export function HitPointBar(x, y, radius) {
  const width = 1.8 * radius;
  const height = Math.max(3 * view.ratio, 0.28 * radius);
  return { left: x - width / 2, top: y + radius * 1.3, width, height };
}
