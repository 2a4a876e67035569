// Every robot's hit points over the battle, under the field, and the hits and destructions
// marked along the replay's seek bar.
import { Readable, Rgb } from './colour_ramp.js';
import { ClockText } from './clock_text.js';
import { chartCanvas, chartContext, marksCanvas, marksContext, SizeCanvas } from './page_elements.js';
import { dirty, drawn, follow, info, kFrameSeconds, mode } from './page_state.js';
import { story } from './story.js';

const kThumbPixels = 14; // the seek bar's thumb, as viewer.css sizes it

export let chartSummary = { robots: 0, from: 0, to: 0 };
export let marksSummary = { hits: 0, destroyed: 0 };

/// The battle time the chart and the seek bar span.
function TimeRange() {
  if (mode === 'replay' && info) {
    return [info.start, Math.max(info.end, info.start + kFrameSeconds)];
  }
  const now = drawn ? drawn.time : 0;
  const start = Math.min(story.start ?? now, now);
  return [start, Math.max(now, start + 10)];
}

function NiceStep(span, pixels, least) {
  const rough = span / Math.max(1, pixels / least);
  const power = 10 ** Math.floor(Math.log10(rough));
  return [1, 2, 5, 10].map((m) => m * power).find((step) => step >= rough) ?? 10 * power;
}

let chartGeometry = null; // the plot's place in the chart canvas, for clicks

export function DrawChart() {
  dirty.chart = false;
  const { width, height, ratio } = SizeCanvas(chartCanvas);
  const c = chartContext;
  c.fillStyle = '#171a1f';
  c.fillRect(0, 0, width, height);
  const [from, to] = TimeRange();
  const robots = [...story.robots.values()].filter((robot) => robot.points.length > 0);
  const top = 8 * ratio;
  const bottom = height - 16 * ratio;
  const left = 34 * ratio;
  const right = width - 10 * ratio;
  chartGeometry = { left, right, from, to, ratio };
  const most = Math.max(1, ...robots.map((robot) => Math.max(robot.armour, ...robot.points.map((point) => point[1]))));
  const X = (time) => left + ((time - from) / (to - from)) * (right - left);
  const Y = (value) => bottom - (value / most) * (bottom - top);

  c.font = `${Math.round(10 * ratio)}px system-ui, sans-serif`;
  c.lineWidth = 1;
  c.strokeStyle = '#2c323a';
  c.fillStyle = '#8a949e';
  c.textAlign = 'right';
  c.textBaseline = 'middle';
  for (const value of [0, most / 2, most]) {
    c.beginPath();
    c.moveTo(left, Math.round(Y(value)) + 0.5);
    c.lineTo(right, Math.round(Y(value)) + 0.5);
    c.stroke();
    c.fillText(String(Math.round(value)), left - 4 * ratio, Y(value));
  }
  c.textAlign = 'center';
  c.textBaseline = 'top';
  const step = NiceStep(to - from, right - left, 70 * ratio);
  for (let tick = Math.ceil(from / step) * step; tick <= to + 1e-9; tick += step) {
    const text = ClockText(tick).replace(/\.0$/, '');
    const half = c.measureText(text).width / 2;
    c.fillText(text, Math.min(width - half - ratio, X(tick)), bottom + 3 * ratio);
  }
  c.save();
  c.translate(10 * ratio, (top + bottom) / 2);
  c.rotate(-Math.PI / 2);
  c.textBaseline = 'middle';
  c.fillText('hit points', 0, 0);
  c.restore();

  c.save();
  c.beginPath();
  c.rect(left, top - 2 * ratio, right - left, bottom - top + 4 * ratio);
  c.clip();
  const end = mode === 'replay' ? to : drawn ? drawn.time : to;
  for (const robot of robots) {
    // Before it joins a robot has no hit points to speak of: its line starts there.
    const joined = robot.joinedAt ?? -Infinity;
    let first = 0;
    while (first + 1 < robot.points.length && robot.points[first + 1][0] <= joined) {
      ++first;
    }
    const points = robot.points.slice(first);
    points[0] = [Math.max(joined, points[0][0]), points[0][1]];
    c.strokeStyle = Rgb(Readable(robot.colour));
    c.lineWidth = (robot.id === follow ? 3 : 1.5) * ratio;
    c.lineJoin = 'round';
    c.beginPath();
    c.moveTo(X(points[0][0]), Y(points[0][1]));
    for (let i = 1; i < points.length; ++i) {
      c.lineTo(X(points[i][0]), Y(points[i - 1][1]));
      c.lineTo(X(points[i][0]), Y(points[i][1]));
    }
    // A robot still in the battle keeps its last value up to now.
    if (!robot.ended) {
      c.lineTo(X(end), Y(points[points.length - 1][1]));
    }
    c.stroke();
  }
  // Destructions: a cross on the line where it ends.
  for (const event of story.events) {
    if (event.kind === 'destroyed' && event.time >= from && event.time <= to) {
      const robot = story.robots.get(event.robot);
      const x = X(event.time);
      const y = Y(0) - 4 * ratio;
      c.strokeStyle = robot ? Rgb(Readable(robot.colour)) : '#ff7a6b';
      c.lineWidth = 2 * ratio;
      const size = 4 * ratio;
      c.beginPath();
      c.moveTo(x - size, y - size);
      c.lineTo(x + size, y + size);
      c.moveTo(x + size, y - size);
      c.lineTo(x - size, y + size);
      c.stroke();
    }
  }
  c.restore();

  if (drawn) {
    const x = Math.round(X(Math.min(to, Math.max(from, drawn.time)))) + 0.5;
    c.strokeStyle = '#e3e8ed';
    c.lineWidth = ratio;
    c.beginPath();
    c.moveTo(x, top - 4 * ratio);
    c.lineTo(x, bottom);
    c.stroke();
  }
  chartSummary = { robots: robots.length, from, to };
}

export function ChartTime(event) {
  if (!chartGeometry) {
    return null;
  }
  const { left, right, from, to, ratio } = chartGeometry;
  const x = (event.clientX - chartCanvas.getBoundingClientRect().left) * ratio;
  return from + Math.min(1, Math.max(0, (x - left) / (right - left))) * (to - from);
}

// ---- The seek bar's marks ----------------------------------------------------------------

export function DrawMarks() {
  dirty.marks = false;
  if (mode !== 'replay') {
    return;
  }
  const { width, height, ratio } = SizeCanvas(marksCanvas);
  const c = marksContext;
  c.clearRect(0, 0, width, height);
  const [from, to] = TimeRange();
  const inset = (kThumbPixels / 2) * ratio;
  const X = (time) => inset + ((time - from) / (to - from)) * (width - 2 * inset);
  const middle = height / 2;
  c.fillStyle = '#2c323a';
  c.fillRect(inset, middle - 3 * ratio, width - 2 * inset, 6 * ratio);
  if (drawn) {
    c.fillStyle = '#3f6ea8';
    c.fillRect(inset, middle - 3 * ratio, X(drawn.time) - inset, 6 * ratio);
  }
  let hits = 0;
  let destroyed = 0;
  for (const event of story.events) {
    if (event.kind === 'hit') {
      c.fillStyle = '#ffc46bcc';
      c.fillRect(Math.round(X(event.time)) - ratio, middle - 6 * ratio, 2 * ratio, 12 * ratio);
      ++hits;
    }
  }
  // Destructions over the hits, taller, with a head.
  for (const event of story.events) {
    if (event.kind === 'destroyed') {
      const x = Math.round(X(event.time));
      c.fillStyle = '#ff5a4a';
      c.fillRect(x - 1.5 * ratio, 2 * ratio, 3 * ratio, height - 4 * ratio);
      c.beginPath();
      c.arc(x, 4 * ratio, 3.5 * ratio, 0, 2 * Math.PI);
      c.fill();
      ++destroyed;
    }
  }
  marksSummary = { hits, destroyed };
}
