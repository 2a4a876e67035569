// Where the robots' names go on the field: boxes, the places a name may take, and the choice
// among them that overlaps least. Canvas pixels throughout; no DOM here: the field's module
// sets the font and measures the names.
import { HitPointBar, RobotPixels, ToCanvas, view } from './camera.js';

const labelChoices = new Map(); // robot id → the label position it had, to keep labels still

function FontPixels() {
  return Math.round(12 * view.ratio);
}

/// The font the names are drawn and measured in.
export function LabelFont() {
  return `600 ${FontPixels()}px system-ui, sans-serif`;
}

function Overlap(a, b) {
  const w = Math.min(a.right, b.right) - Math.max(a.left, b.left);
  const h = Math.min(a.bottom, b.bottom) - Math.max(a.top, b.top);
  return w > 0 && h > 0 ? w * h : 0;
}

function Box(left, top, width, height) {
  return { left, top, right: left + width, bottom: top + height };
}

/// Where a robot's name may go, nearest first: above, below its bar, beside it, at the
/// corners, then further up or down in steps, joined to it by a leader line.
function LabelCandidates(x, y, radius, width, height) {
  const gap = 3 * view.ratio;
  const bar = HitPointBar(x, y, radius);
  const above = y - radius * 1.5 - height;
  const below = bar.top + bar.height + gap;
  const list = [
    [x - width / 2, above],
    [x - width / 2, below],
    [x + radius * 1.6, y - height / 2],
    [x - radius * 1.6 - width, y - height / 2],
    [x + radius, above - gap],
    [x - radius - width, above - gap],
    [x + radius, below],
    [x - radius - width, below],
  ];
  for (let step = 1; step <= 6; ++step) {
    const shift = step * (height + gap);
    list.push(
      [x - width / 2, above - shift],
      [x - width / 2, below + shift],
      [x + radius * 1.6 + step * width * 0.5, y - height / 2 - shift],
      [x - radius * 1.6 - width - step * width * 0.5, y - height / 2 + shift],
    );
  }
  return list.map(([left, top], rank) => ({ ...Box(left, top, width, height), rank, leader: rank >= 8 }));
}

/// Places the names of the robots on the field, each where it overlaps no other name if it
/// can, nor another robot, nor leaves the canvas; a name keeps last frame's place while
/// that stays free, so that names do not hop about as robots move. `textWidth` measures a
/// name in LabelFont().
export function PlaceLabels(robots, textWidth) {
  const fontPixels = FontPixels();
  const padX = 3 * view.ratio;
  const padY = 2 * view.ratio;
  const height = fontPixels + 2 * padY;
  const bodies = robots.map((robot) => {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const radius = RobotPixels();
    const bar = HitPointBar(x, y, radius);
    return {
      id: robot.id,
      x,
      y,
      radius,
      rect: Box(x - radius * 1.45, y - radius * 1.45, radius * 2.9, bar.top + bar.height - y + radius * 1.45),
    };
  });
  const screen = Box(0, 0, view.width, view.height);
  const placed = [];
  const labels = [];
  bodies.forEach((body, index) => {
    const robot = robots[index];
    const width = textWidth(robot.name) + 2 * padX;
    const candidates = LabelCandidates(body.x, body.y, body.radius, width, height);
    const previous = labelChoices.get(robot.id);
    let best = null;
    let bestCost = Infinity;
    for (const candidate of candidates) {
      let cost = candidate.rank;
      for (const other of placed) {
        cost += Overlap(candidate, other) > 0 ? 1e6 : 0;
      }
      for (const other of bodies) {
        if (other !== body && Overlap(candidate, other.rect) > 0) {
          cost += 1e3;
        }
      }
      const inside = Overlap(candidate, screen);
      cost += inside < (candidate.right - candidate.left) * height ? 1e4 : 0;
      if (candidate.rank === previous && cost < 1e3) {
        cost = -1; // still free: it stays
      }
      if (cost < bestCost) {
        bestCost = cost;
        best = candidate;
      }
    }
    labelChoices.set(robot.id, best.rank);
    placed.push(best);
    labels.push({ robot, body, box: best });
  });
  for (const id of labelChoices.keys()) {
    if (!robots.some((robot) => robot.id === id)) {
      labelChoices.delete(id);
    }
  }
  return { labels, fontPixels, padX, padY };
}
