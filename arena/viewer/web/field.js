// Drawing the field: the canvas sized to the page, the floor, the robots' drawings and
// scanner cones under the robots, and the names over them.
import { ToCanvas, view } from './camera.js';
import { kFloor, kRampStyles, RampIndex, Readable, Rgb } from './colour_ramp.js';
import { hiddenLayers, LayerFade, LayerName, layerOpacity } from './drawing_layers.js';
import { DrawFlashes, DrawHitPoints, DrawRobot, DrawShell, DrawWreck, StartBodies } from './field_bodies.js';
import { LabelFont, PlaceLabels } from './labels.js';
import { canvas, context, SizeCanvas } from './page_elements.js';
import { dirty, drawn, follow } from './page_state.js';

const kMarginPixels = 14;

export let drawnLabels = [];
export let drawnLayers = [];

function Layout(field) {
  const { width, height, ratio } = SizeCanvas(canvas);
  const margin = kMarginPixels * ratio;
  const fitScale = Math.max(0.01, Math.min((width - 2 * margin) / field.width, (height - 2 * margin) / field.height));
  Object.assign(view, { width, height, ratio, fitScale, scale: fitScale * view.zoom });
}

function DrawCells(snapshot) {
  drawnLayers = [];
  for (const layer of snapshot.drawings) {
    const opacity = hiddenLayers.has(layer.connection) ? 0 : layerOpacity * LayerFade(layer, snapshot.time);
    drawnLayers.push({ connection: layer.connection, name: LayerName(layer), opacity });
    if (opacity <= 0) {
      continue;
    }
    context.globalAlpha = opacity;
    let style = null;
    for (const [x, y, halfWidth, halfHeight, r, g, b] of layer.cells) {
      // Whole pixels, so that neighbouring cells meet without seams.
      const [left, top] = ToCanvas(x - halfWidth, y + halfHeight);
      const [right, bottom] = ToCanvas(x + halfWidth, y - halfHeight);
      if (right < 0 || bottom < 0 || left > view.width || top > view.height) {
        continue;
      }
      const l = Math.round(left);
      const t = Math.round(top);
      const wanted = kRampStyles[RampIndex(r, g, b)];
      if (wanted !== style) {
        context.fillStyle = style = wanted;
      }
      context.fillRect(l, t, Math.round(right) - l, Math.round(bottom) - t);
    }
  }
  context.globalAlpha = 1;
}

function DrawCone(robot) {
  const [x, y] = ToCanvas(robot.x, robot.y);
  const reach = robot.scannerRange * view.scale;
  const half = (robot.scannerFieldOfView * Math.PI) / 360;
  context.beginPath();
  if (half >= Math.PI) {
    context.arc(x, y, reach, 0, 2 * Math.PI);
  } else {
    // The canvas's y runs down: angles turn the other way.
    context.moveTo(x, y);
    context.arc(x, y, reach, -robot.scannerHeading - half, -robot.scannerHeading + half);
    context.closePath();
  }
  context.fillStyle = Rgb(robot.colour, 0.08);
  context.fill();
  context.strokeStyle = Rgb(Readable(robot.colour), 0.3);
  context.lineWidth = view.ratio;
  context.stroke();
}

const textWidths = new Map();
function TextWidth(text) {
  let width = textWidths.get(text);
  if (width === undefined) {
    if (textWidths.size > 1000) {
      textWidths.clear();
    }
    width = context.measureText(text).width;
    textWidths.set(text, width);
  }
  return width;
}

function DrawLabels(robots) {
  context.font = LabelFont();
  const { labels, padX } = PlaceLabels(robots, TextWidth);
  drawnLabels = [];
  context.textAlign = 'left';
  context.textBaseline = 'middle';
  for (const { robot, body, box } of labels) {
    if (box.leader) {
      // From the robot's rim toward the name's nearest point.
      const nearX = Math.min(box.right, Math.max(box.left, body.x));
      const nearY = Math.min(box.bottom, Math.max(box.top, body.y));
      const angle = Math.atan2(nearY - body.y, nearX - body.x);
      context.strokeStyle = '#c9d1d9aa';
      context.lineWidth = view.ratio;
      context.beginPath();
      context.moveTo(body.x + Math.cos(angle) * body.radius * 1.1, body.y + Math.sin(angle) * body.radius * 1.1);
      context.lineTo(nearX, nearY);
      context.stroke();
    }
    context.fillStyle = '#101316c8';
    context.fillRect(box.left, box.top, box.right - box.left, box.bottom - box.top);
    context.fillStyle = Rgb(Readable(robot.colour));
    context.fillRect(box.left, box.top, 2 * view.ratio, box.bottom - box.top);
    context.fillStyle = '#eef1f4';
    context.fillText(robot.name, box.left + padX, (box.top + box.bottom) / 2);
    drawnLabels.push({
      id: robot.id,
      name: robot.name,
      left: box.left,
      top: box.top,
      right: box.right,
      bottom: box.bottom,
      leader: box.leader,
    });
  }
}

export function DrawField() {
  dirty.field = false;
  const snapshot = drawn;
  StartBodies();
  Layout(snapshot.field);
  // A battle's survivors stay where they stood when it ended: the winner among them.
  const onField = snapshot.robots.filter((robot) => robot.state === 'alive' || robot.state === 'survived');
  if (follow !== null) {
    const robot = onField.find((r) => r.id === follow);
    if (robot) {
      view.focusX = robot.x;
      view.focusY = robot.y;
    }
  }
  context.fillStyle = '#101316';
  context.fillRect(0, 0, canvas.width, canvas.height);

  const [left, top] = ToCanvas(-snapshot.field.width / 2, snapshot.field.height / 2);
  const width = snapshot.field.width * view.scale;
  const height = snapshot.field.height * view.scale;
  context.fillStyle = Rgb(kFloor);
  context.fillRect(left, top, width, height);

  // Under the robots: the drawings, then the scanner cones.
  context.save();
  context.beginPath();
  context.rect(left, top, width, height);
  context.clip();
  DrawCells(snapshot);
  onField.forEach(DrawCone);
  context.restore();

  context.strokeStyle = '#9aa5b1';
  context.lineWidth = 3 * view.ratio;
  context.strokeRect(left - 1.5 * view.ratio, top - 1.5 * view.ratio, width + 3 * view.ratio, height + 3 * view.ratio);

  snapshot.robots.filter((robot) => robot.state === 'destroyed').forEach(DrawWreck);
  // Shells under the robots: a shell leaves from its robot's centre, and its trail starts
  // behind it; a robot stays whole in its colour.
  const owners = new Map(snapshot.robots.map((robot) => [robot.id, robot.colour]));
  snapshot.shells.forEach((shell) => DrawShell(shell, owners));
  onField.forEach(DrawRobot);
  onField.forEach(DrawHitPoints);
  DrawFlashes(snapshot);
  // Names only for the robots in view: placing them costs the square of their number.
  const reach = 100 * view.ratio;
  DrawLabels(
    onField.filter((robot) => {
      const [x, y] = ToCanvas(robot.x, robot.y);
      return x > -reach && y > -reach && x < view.width + reach && y < view.height + reach;
    }),
  );
}
