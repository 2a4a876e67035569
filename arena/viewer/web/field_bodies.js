// The things on the field: shells, robots with their hit points, wrecks, and the flashes of
// hits and destructions.
import { HitPointBar, RobotPixels, ToCanvas, view } from './camera.js';
import { Readable, Rgb } from './colour_ramp.js';
import { context } from './page_elements.js';
import { follow } from './page_state.js';
import { EventsUpTo, story } from './story.js';

const kTrailSeconds = 0.2; // how far back a shell's trail reaches...
const kTrailUnits = 2.5; // ...in field units at most
const kHitFlashSeconds = 0.5;
const kDestroyedFlashSeconds = 1.5;

export let drawnRobots = [];
export let drawnShells = [];

/// Forgets what the last frame drew, at the start of a frame.
export function StartBodies() {
  drawnRobots = [];
  drawnShells = [];
}

export function DrawShell(shell, owners) {
  const [x, y] = ToCanvas(shell.x, shell.y);
  // The trail: where the shell was kTrailSeconds ago, but no longer than a few robots.
  const speed = Math.hypot(shell.vx, shell.vy);
  const back = speed > 0 ? Math.min(kTrailSeconds, kTrailUnits / speed) : 0;
  const [tailX, tailY] = ToCanvas(shell.x - shell.vx * back, shell.y - shell.vy * back);
  const colour = Readable(owners.get(shell.owner) || [255, 255, 255]);
  const radius = Math.max(3.5 * view.ratio, 0.13 * view.scale);
  const trail = context.createLinearGradient(tailX, tailY, x, y);
  trail.addColorStop(0, Rgb(colour, 0));
  trail.addColorStop(1, Rgb(colour, 0.9));
  context.strokeStyle = trail;
  context.lineWidth = radius * 1.4;
  context.lineCap = 'round';
  context.beginPath();
  context.moveTo(tailX, tailY);
  context.lineTo(x, y);
  context.stroke();
  context.fillStyle = '#fff6d5';
  context.strokeStyle = Rgb(colour);
  context.lineWidth = Math.max(1.5 * view.ratio, radius * 0.35);
  context.beginPath();
  context.arc(x, y, radius, 0, 2 * Math.PI);
  context.fill();
  context.stroke();
  drawnShells.push({ id: shell.id, x, y, radius, trail: Math.hypot(x - tailX, y - tailY) });
}

export function DrawRobot(robot) {
  const [x, y] = ToCanvas(robot.x, robot.y);
  const radius = RobotPixels();
  const [r, g, b] = robot.colour;
  const light = 0.2126 * r + 0.7152 * g + 0.0722 * b < 0.2 * 255;
  context.fillStyle = Rgb(robot.colour);
  // A dark robot gets a light rim, so that it stands out on the dark floor.
  context.strokeStyle = light ? '#c9d1d9' : '#0b0d10';
  context.lineWidth = Math.max(1, 0.12 * radius);
  context.beginPath();
  context.arc(x, y, radius, 0, 2 * Math.PI);
  context.fill();
  context.stroke();
  if (robot.id === follow) {
    context.strokeStyle = '#6fa8ff';
    context.lineWidth = Math.max(2 * view.ratio, 0.1 * radius);
    context.beginPath();
    context.arc(x, y, radius * 1.9, 0, 2 * Math.PI);
    context.stroke();
  }

  // The heading: a bar from halfway out to beyond the rim; the centre keeps the colour.
  const dx = Math.cos(robot.heading);
  const dy = -Math.sin(robot.heading);
  context.strokeStyle = '#f4f6f8';
  context.lineWidth = Math.max(2, 0.22 * radius);
  context.lineCap = 'round';
  context.beginPath();
  context.moveTo(x + dx * radius * 0.5, y + dy * radius * 0.5);
  context.lineTo(x + dx * radius * 1.45, y + dy * radius * 1.45);
  context.stroke();

  drawnRobots.push({ id: robot.id, x, y, radius });
}

/// The hit-point bar below a robot, scaled with it; drawn after every body, so that a robot
/// touching another from above does not hide its bar.
export function DrawHitPoints(robot) {
  const [x, y] = ToCanvas(robot.x, robot.y);
  const bar = HitPointBar(x, y, RobotPixels());
  const share = robot.armour > 0 ? Math.min(1, Math.max(0, robot.hitPoints / robot.armour)) : 0;
  context.fillStyle = '#0b0d10';
  context.fillRect(bar.left - 1, bar.top - 1, bar.width + 2, bar.height + 2);
  context.fillStyle = '#4a2323';
  context.fillRect(bar.left, bar.top, bar.width, bar.height);
  context.fillStyle = share > 0.5 ? '#4fd47a' : share > 0.25 ? '#e8c547' : '#e85b47';
  context.fillRect(bar.left, bar.top, bar.width * share, bar.height);
}
/// A cross where a robot was destroyed, in its colour, for the rest of the battle.
export function DrawWreck(robot) {
  const [x, y] = ToCanvas(robot.x, robot.y);
  const size = RobotPixels() * 0.8;
  context.lineCap = 'round';
  for (const [style, width] of [
    ['#0b0d10', 5],
    [Rgb(Readable(robot.colour), 0.9), 2.5],
  ]) {
    context.strokeStyle = style;
    context.lineWidth = width * view.ratio;
    context.beginPath();
    context.moveTo(x - size, y - size);
    context.lineTo(x + size, y + size);
    context.moveTo(x + size, y - size);
    context.lineTo(x - size, y + size);
    context.stroke();
  }
}

/// Flashes where shells hit and where robots were destroyed, for a moment of battle time
/// after each: drawn from the story, so a replay paused or sought shows them too.
export function DrawFlashes(snapshot) {
  const now = snapshot.time;
  const positions = new Map(snapshot.robots.map((robot) => [robot.id, robot]));
  const radius = RobotPixels();
  for (let i = EventsUpTo(now) - 1; i >= 0; --i) {
    const event = story.events[i];
    const age = now - event.time;
    if (age > kDestroyedFlashSeconds) {
      break;
    }
    const robot = positions.get(event.robot);
    if (!robot || (event.kind !== 'hit' && event.kind !== 'destroyed')) {
      continue;
    }
    const [x, y] = ToCanvas(robot.x, robot.y);
    if (event.kind === 'hit' && age <= kHitFlashSeconds) {
      const share = age / kHitFlashSeconds;
      context.strokeStyle = `rgba(255, 214, 110, ${1 - share})`;
      context.lineWidth = Math.max(2.5 * view.ratio, 0.25 * radius) * (1 - share * 0.5);
      context.beginPath();
      context.arc(x, y, radius * (1.3 + 1.4 * share), 0, 2 * Math.PI);
      context.stroke();
    } else if (event.kind === 'destroyed') {
      const share = age / kDestroyedFlashSeconds;
      context.fillStyle = `rgba(255, 120, 60, ${0.35 * (1 - share)})`;
      context.strokeStyle = `rgba(255, 150, 80, ${1 - share})`;
      context.lineWidth = 3 * view.ratio;
      context.beginPath();
      context.arc(x, y, radius * (1.5 + 3 * share), 0, 2 * Math.PI);
      context.fill();
      context.stroke();
    }
  }
}
