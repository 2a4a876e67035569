// What the person at the page does: zoom, pan and follow on the field; clicks on the
// scoreboard, the feed and the chart; the keys.
import { ChartTime } from './chart.js';
import { ClampFocus, kFollowZoom, view, ZoomView } from './camera.js';
import { drawnRobots } from './field_bodies.js';
import {
  $,
  canvas,
  chartCanvas,
  feedList,
  followingBox,
  followingName,
  scoreBody,
  seekBar,
  zoomLabel,
} from './page_elements.js';
import { dirty, drawn, follow, replay, SetFollowed } from './page_state.js';
import { MarkFollowed } from './scoreboard.js';

/// Zooms by `factor` keeping the field point under canvas pixel (px, py) where it is; a
/// followed robot stays at the centre instead.
function ZoomAt(px, py, factor) {
  ZoomView(px, py, factor);
  ShowZoom();
}

function ZoomBy(factor) {
  ZoomAt(view.width / 2, view.height / 2, factor);
}

function Fit() {
  SetFollow(null);
  view.zoom = 1;
  view.focusX = 0;
  view.focusY = 0;
  ShowZoom();
}

function ShowZoom() {
  zoomLabel.textContent = `${Math.round(view.zoom * 100)}%`;
  dirty.field = true;
}

function SetFollow(id) {
  SetFollowed(id);
  const robot = id === null ? null : drawn?.robots.find((r) => r.id === id);
  followingBox.hidden = id === null;
  followingName.textContent = robot ? robot.name : '';
  if (id !== null && view.zoom < kFollowZoom) {
    view.zoom = kFollowZoom;
    ShowZoom();
  }
  MarkFollowed(id);
  dirty.field = dirty.chart = true;
}

// ---- Pointer, wheel and keys -------------------------------------------------------------

function CanvasPoint(event) {
  const box = canvas.getBoundingClientRect();
  return [(event.clientX - box.left) * view.ratio, (event.clientY - box.top) * view.ratio];
}

canvas.addEventListener(
  'wheel',
  (event) => {
    event.preventDefault();
    const lines = event.deltaMode === 1 ? 40 : event.deltaMode === 2 ? 400 : 1;
    const [px, py] = CanvasPoint(event);
    ZoomAt(px, py, Math.exp(-event.deltaY * lines * 0.0015));
  },
  { passive: false },
);

// Drag pans, two fingers pinch; a press that does not move clicks (and follows a robot).
const pointers = new Map();
let gesture = null;
canvas.addEventListener('pointerdown', (event) => {
  if (event.button !== 0) {
    return;
  }
  canvas.setPointerCapture(event.pointerId);
  pointers.set(event.pointerId, CanvasPoint(event));
  gesture = { moved: false, start: CanvasPoint(event), distance: null };
});
canvas.addEventListener('pointermove', (event) => {
  if (!pointers.has(event.pointerId) || !gesture) {
    return;
  }
  const before = pointers.get(event.pointerId);
  const now = CanvasPoint(event);
  pointers.set(event.pointerId, now);
  if (pointers.size >= 2) {
    const [a, b] = [...pointers.values()];
    const distance = Math.hypot(a[0] - b[0], a[1] - b[1]);
    if (gesture.distance) {
      ZoomAt((a[0] + b[0]) / 2, (a[1] + b[1]) / 2, distance / gesture.distance);
    }
    gesture.distance = distance;
    gesture.moved = true;
    return;
  }
  if (!gesture.moved && Math.hypot(now[0] - gesture.start[0], now[1] - gesture.start[1]) < 4 * view.ratio) {
    return;
  }
  if (!gesture.moved) {
    gesture.moved = true;
    SetFollow(null);
    canvas.classList.add('dragging');
  }
  view.focusX -= (now[0] - before[0]) / view.scale;
  view.focusY += (now[1] - before[1]) / view.scale;
  ClampFocus();
  dirty.field = true;
});
const release = (event) => {
  if (!pointers.delete(event.pointerId)) {
    return;
  }
  if (gesture && !gesture.moved && pointers.size === 0 && drawn) {
    // A click on a robot follows it.
    const [px, py] = CanvasPoint(event);
    const hit = drawnRobots.find((robot) => Math.hypot(robot.x - px, robot.y - py) <= robot.radius * 1.5);
    if (hit) {
      SetFollow(hit.id === follow ? null : hit.id);
    }
  }
  if (pointers.size === 0) {
    gesture = null;
    canvas.classList.remove('dragging');
  } else if (gesture) {
    gesture.distance = null;
  }
};
canvas.addEventListener('pointerup', release);
canvas.addEventListener('pointercancel', release);

$('fit').addEventListener('click', Fit);
$('zoom-in').addEventListener('click', () => ZoomBy(1.25));
$('zoom-out').addEventListener('click', () => ZoomBy(0.8));
$('unfollow').addEventListener('click', () => SetFollow(null));
scoreBody.addEventListener('click', (event) => {
  const row = event.target.closest('tr');
  if (row) {
    const id = Number(row.dataset.robot);
    SetFollow(id === follow ? null : id);
  }
});
feedList.addEventListener('click', (event) => {
  const item = event.target.closest('li');
  if (item && replay) {
    replay.seek(Number(item.dataset.time));
  }
});
chartCanvas.addEventListener('click', (event) => {
  const time = ChartTime(event);
  if (replay && time !== null) {
    replay.seek(time);
  }
});

document.addEventListener('keydown', (event) => {
  if (event.ctrlKey || event.metaKey || event.altKey) {
    return;
  }
  const target = event.target;
  // Keys typed into a menu or a slider other than the seek bar are theirs.
  if (
    target instanceof HTMLSelectElement ||
    target instanceof HTMLTextAreaElement ||
    (target instanceof HTMLInputElement && target !== seekBar)
  ) {
    return;
  }
  const actions = {
    f: Fit,
    F: Fit,
    '+': () => ZoomBy(1.25),
    '=': () => ZoomBy(1.25),
    '-': () => ZoomBy(0.8),
    Escape: () => SetFollow(null),
  };
  if (replay) {
    Object.assign(actions, {
      ' ': replay.toggle,
      ArrowLeft: () => replay.step(-1),
      ArrowRight: () => replay.step(1),
      '[': () => replay.faster(-1),
      ']': () => replay.faster(1),
    });
  }
  const action = actions[event.key];
  if (action) {
    event.preventDefault();
    action();
  }
});

const resized = () => {
  dirty.field = dirty.chart = dirty.marks = true;
};
window.addEventListener('resize', resized);
if (window.ResizeObserver) {
  new ResizeObserver(resized).observe(canvas);
}
