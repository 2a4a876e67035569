// The battle viewer: draws the snapshots the arena streams (live) or a recording it replays.
// Everything it shows comes from its own server; names and texts go in as text, never markup.
'use strict';

(() => {
  const canvas = document.getElementById('field');
  const context = canvas.getContext('2d');
  const clockLabel = document.getElementById('clock');
  const overLabel = document.getElementById('over');
  const connectionLabel = document.getElementById('connection');
  const scoreBody = document.querySelector('#scoreboard tbody');
  const layerList = document.getElementById('layers');
  const replayBar = document.getElementById('replay');
  const playButton = document.getElementById('play');
  const seekBar = document.getElementById('seek');
  const replayTime = document.getElementById('replay-time');
  const speedSelect = document.getElementById('speed');

  const kRobotRadius = 0.4; // field units
  const kTrailSeconds = 0.15; // how far back a shell's trail reaches
  const kMarginPixels = 14;
  const kRetryMilliseconds = 2000;

  let mode = null; // 'live' or 'replay', once /info has answered
  let drawn = null; // the snapshot on the canvas
  let pending = null; // the snapshot to draw at the next frame
  let frameRequested = false;
  let view = { scale: 1, centreX: 0, centreY: 0 };
  const hiddenLayers = new Set(); // connection ids whose drawing is switched off
  let layerKeys = '';
  let scoreRows = [];

  // ---- Connection state ------------------------------------------------------------------

  function SetConnection(text, kind) {
    connectionLabel.textContent = text;
    connectionLabel.className = 'state-' + kind;
  }

  // ---- Drawing ---------------------------------------------------------------------------

  function Rgb(colour, alpha) {
    const [r, g, b] = colour;
    return alpha === undefined ? `rgb(${r}, ${g}, ${b})` : `rgba(${r}, ${g}, ${b}, ${alpha})`;
  }

  // Field coordinates (origin at the centre, y up) to canvas pixels.
  function ToCanvas(x, y) {
    return [view.centreX + x * view.scale, view.centreY - y * view.scale];
  }

  function Layout(field) {
    const ratio = window.devicePixelRatio || 1;
    const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
    const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
    if (canvas.width !== width || canvas.height !== height) {
      canvas.width = width;
      canvas.height = height;
    }
    const margin = kMarginPixels * ratio;
    const scale = Math.min((width - 2 * margin) / field.width, (height - 2 * margin) / field.height);
    view = { scale: Math.max(scale, 0.01), centreX: width / 2, centreY: height / 2, ratio };
  }

  function DrawCells(snapshot) {
    for (const layer of snapshot.drawings) {
      if (hiddenLayers.has(layer.connection)) {
        continue;
      }
      for (const [x, y, halfWidth, halfHeight, r, g, b] of layer.cells) {
        // Whole pixels, so that neighbouring cells meet without seams.
        const [left, top] = ToCanvas(x - halfWidth, y + halfHeight);
        const [right, bottom] = ToCanvas(x + halfWidth, y - halfHeight);
        const l = Math.round(left);
        const t = Math.round(top);
        context.fillStyle = `rgb(${r}, ${g}, ${b})`;
        context.fillRect(l, t, Math.round(right) - l, Math.round(bottom) - t);
      }
    }
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
    context.fillStyle = Rgb(robot.colour, 0.1);
    context.fill();
    context.strokeStyle = Rgb(robot.colour, 0.35);
    context.lineWidth = view.ratio;
    context.stroke();
  }

  function DrawShell(shell, owners) {
    const [x, y] = ToCanvas(shell.x, shell.y);
    const [tailX, tailY] = ToCanvas(shell.x - shell.vx * kTrailSeconds, shell.y - shell.vy * kTrailSeconds);
    const colour = owners.get(shell.owner) || [255, 255, 255];
    const trail = context.createLinearGradient(tailX, tailY, x, y);
    trail.addColorStop(0, Rgb(colour, 0));
    trail.addColorStop(1, Rgb(colour, 1));
    context.strokeStyle = trail;
    context.lineWidth = Math.max(3 * view.ratio, 0.1 * view.scale);
    context.lineCap = 'round';
    context.beginPath();
    context.moveTo(tailX, tailY);
    context.lineTo(x, y);
    context.stroke();
    context.fillStyle = '#fff6d5';
    context.beginPath();
    context.arc(x, y, Math.max(3 * view.ratio, 0.1 * view.scale), 0, 2 * Math.PI);
    context.fill();
  }

  function DrawRobot(robot) {
    const [x, y] = ToCanvas(robot.x, robot.y);
    const radius = kRobotRadius * view.scale;
    context.fillStyle = Rgb(robot.colour);
    context.strokeStyle = '#0b0d10';
    context.lineWidth = Math.max(1, 0.05 * view.scale);
    context.beginPath();
    context.arc(x, y, radius, 0, 2 * Math.PI);
    context.fill();
    context.stroke();

    // The heading: a bar from halfway out to beyond the rim; the centre keeps the colour.
    const dx = Math.cos(robot.heading);
    const dy = -Math.sin(robot.heading);
    context.strokeStyle = '#f4f6f8';
    context.lineWidth = Math.max(2, 0.09 * view.scale);
    context.lineCap = 'round';
    context.beginPath();
    context.moveTo(x + dx * radius * 0.5, y + dy * radius * 0.5);
    context.lineTo(x + dx * radius * 1.45, y + dy * radius * 1.45);
    context.stroke();

    // The hit-point bar below, the name above.
    const barWidth = 2.4 * radius;
    const barHeight = Math.max(3 * view.ratio, 0.12 * view.scale);
    const barTop = y + radius * 1.6;
    const share = robot.armour > 0 ? Math.min(1, Math.max(0, robot.hitPoints / robot.armour)) : 0;
    context.fillStyle = '#3a1d1d';
    context.fillRect(x - barWidth / 2, barTop, barWidth, barHeight);
    context.fillStyle = share > 0.5 ? '#4fd47a' : share > 0.25 ? '#e8c547' : '#e85b47';
    context.fillRect(x - barWidth / 2, barTop, barWidth * share, barHeight);

    context.font = `${Math.round(12 * view.ratio)}px system-ui, sans-serif`;
    context.textAlign = 'center';
    context.textBaseline = 'bottom';
    context.fillStyle = '#e8ecf0';
    context.fillText(robot.name, x, y - radius * 1.55);
  }

  function Draw() {
    frameRequested = false;
    if (pending) {
      drawn = pending;
      pending = null;
    }
    if (!drawn) {
      return;
    }
    const snapshot = drawn;
    Layout(snapshot.field);
    context.fillStyle = '#101316';
    context.fillRect(0, 0, canvas.width, canvas.height);

    const [left, top] = ToCanvas(-snapshot.field.width / 2, snapshot.field.height / 2);
    const width = snapshot.field.width * view.scale;
    const height = snapshot.field.height * view.scale;
    context.fillStyle = '#232830';
    context.fillRect(left, top, width, height);

    // Under the robots: the drawings, then the scanner cones.
    context.save();
    context.beginPath();
    context.rect(left, top, width, height);
    context.clip();
    DrawCells(snapshot);
    const onField = snapshot.robots.filter((robot) => robot.state === 'alive');
    onField.forEach(DrawCone);
    context.restore();

    context.strokeStyle = '#9aa5b1';
    context.lineWidth = 3 * view.ratio;
    context.strokeRect(left - 1.5 * view.ratio, top - 1.5 * view.ratio, width + 3 * view.ratio,
                       height + 3 * view.ratio);

    // Shells under the robots: a shell leaves from its robot's centre, and its trail starts
    // behind it; a robot stays whole in its colour.
    const owners = new Map(snapshot.robots.map((robot) => [robot.id, robot.colour]));
    snapshot.shells.forEach((shell) => DrawShell(shell, owners));
    onField.forEach(DrawRobot);
  }

  function RequestDraw() {
    if (!frameRequested) {
      frameRequested = true;
      requestAnimationFrame(Draw);
    }
  }

  // ---- Scoreboard, clock and drawing toggles ---------------------------------------------

  function ClockText(seconds) {
    const minutes = Math.floor(seconds / 60);
    const rest = seconds - minutes * 60;
    return `${minutes}:${rest.toFixed(1).padStart(4, '0')}`;
  }

  function ScoreCells(robot) {
    return [
      robot.name, robot.type, robot.state,
      robot.state === 'configuring' ? '' : robot.hitPoints.toFixed(1),
      String(robot.shots), String(robot.hits), robot.damageDealt.toFixed(2),
      robot.damageTaken.toFixed(2), robot.timeAlive.toFixed(1),
      // Only the final snapshot ranks the robots.
      typeof robot.score === 'number' ? robot.score.toFixed(2) : '',
      typeof robot.rank === 'number' ? String(robot.rank) : '',
    ];
  }

  function UpdateScoreboard(snapshot) {
    // Rows are rebuilt only when the robots change; otherwise only changed texts are set.
    if (scoreRows.length !== snapshot.robots.length ||
        scoreRows.some((row, i) => row.id !== snapshot.robots[i].id)) {
      scoreBody.replaceChildren();
      scoreRows = snapshot.robots.map((robot) => {
        const row = document.createElement('tr');
        row.dataset.robot = robot.id;
        const cells = ScoreCells(robot).map(() => row.insertCell());
        const swatch = document.createElement('span');
        swatch.className = 'swatch';
        const name = document.createElement('span');
        cells[0].append(swatch, name);
        scoreBody.append(row);
        return { id: robot.id, row, swatch, name, cells, texts: [] };
      });
    }
    snapshot.robots.forEach((robot, i) => {
      const entry = scoreRows[i];
      const texts = ScoreCells(robot);
      texts.forEach((text, column) => {
        if (entry.texts[column] !== text) {
          (column === 0 ? entry.name : entry.cells[column]).textContent = text;
        }
      });
      entry.texts = texts;
      entry.swatch.style.background = Rgb(robot.colour);
      entry.row.classList.toggle('gone', robot.state === 'destroyed' || robot.state === 'departed');
    });
  }

  function UpdateLayers(snapshot) {
    const keys = snapshot.drawings.map((layer) => `${layer.connection}:${layer.client}`).join('|');
    if (keys === layerKeys) {
      return;
    }
    layerKeys = keys;
    layerList.replaceChildren();
    if (snapshot.drawings.length === 0) {
      const none = document.createElement('li');
      none.className = 'none';
      none.textContent = 'none';
      layerList.append(none);
      return;
    }
    for (const layer of snapshot.drawings) {
      const item = document.createElement('li');
      const label = document.createElement('label');
      const toggle = document.createElement('input');
      toggle.type = 'checkbox';
      toggle.checked = !hiddenLayers.has(layer.connection);
      toggle.dataset.connection = layer.connection;
      toggle.addEventListener('change', () => {
        if (toggle.checked) {
          hiddenLayers.delete(layer.connection);
        } else {
          hiddenLayers.add(layer.connection);
        }
        RequestDraw();
      });
      label.append(toggle, ` connection ${layer.connection} (${layer.client})`);
      item.append(label);
      layerList.append(item);
    }
  }

  /// " · NAME wins" or " · draw" when the snapshot names the winner; older ones do not.
  function OutcomeText(snapshot) {
    if (!('winner' in snapshot)) {
      return '';
    }
    return snapshot.winner ? ` · ${snapshot.winner.name} wins` : ' · draw';
  }

  function Show(snapshot) {
    pending = snapshot;
    clockLabel.textContent = ClockText(snapshot.time);
    overLabel.hidden = !snapshot.over;
    overLabel.textContent =
      snapshot.over ? `Battle over: ${snapshot.over}${OutcomeText(snapshot)}` : '';
    UpdateScoreboard(snapshot);
    UpdateLayers(snapshot);
    RequestDraw();
  }

  function Parse(text) {
    try {
      return JSON.parse(text);
    } catch (error) {
      console.warn('not a snapshot:', error);
      return null;
    }
  }

  // ---- Live ------------------------------------------------------------------------------

  function StartLive() {
    let source = null;
    const open = () => {
      SetConnection('connecting…', 'connecting');
      source = new EventSource('events');
      source.onopen = () => SetConnection('live', 'live');
      source.onmessage = (event) => {
        const snapshot = Parse(event.data);
        if (snapshot) {
          Show(snapshot);
        }
      };
      source.onerror = () => {
        // The browser tries again by itself after a lost stream, but not after a refusal
        // (such as a busy viewer); then it is up to us.
        SetConnection('reconnecting…', 'lost');
        if (source.readyState === EventSource.CLOSED) {
          source.close();
          setTimeout(open, kRetryMilliseconds);
        }
      };
    };
    open();
  }

  // ---- Replay ----------------------------------------------------------------------------

  function StartReplay(info) {
    let source = null;
    let playing = false;
    let seeking = false;
    let frameInFlight = false;
    let wantedTime = null;
    replayBar.hidden = false;
    seekBar.min = info.start;
    seekBar.max = info.end;
    seekBar.value = info.start;

    const showTime = (time) => {
      replayTime.textContent = `${time.toFixed(1)} / ${info.end.toFixed(1)} s`;
      if (!seeking) {
        seekBar.value = time;
      }
    };
    const stop = () => {
      if (source) {
        source.close();
        source = null;
      }
      playing = false;
      playButton.textContent = 'Play';
    };
    const lost = () => {
      stop();
      SetConnection('connection lost', 'lost');
      const retry = () => fetch('info').then((reply) => {
        if (!reply.ok) {
          throw new Error(reply.statusText);
        }
        SetConnection('replay', 'replay');
      }).catch(() => setTimeout(retry, kRetryMilliseconds));
      setTimeout(retry, kRetryMilliseconds);
    };
    const play = (from) => {
      stop();
      const start = from >= info.end ? info.start : from;
      source = new EventSource(`events?time=${start}&speed=${speedSelect.value}`);
      playing = true;
      playButton.textContent = 'Pause';
      source.onopen = () => SetConnection('replay', 'replay');
      source.onmessage = (event) => {
        const snapshot = Parse(event.data);
        if (snapshot) {
          Show(snapshot);
          showTime(snapshot.time);
        }
      };
      source.addEventListener('end', () => {
        stop();
        showTime(info.end);
        replayBar.dataset.ended = 'true';
      });
      source.onerror = () => {
        if (source) {
          lost();
        }
      };
      delete replayBar.dataset.ended;
    };
    // One frame at a time while the bar is dragged; the newest wish wins.
    const fetchFrame = (time) => {
      wantedTime = time;
      if (frameInFlight) {
        return;
      }
      frameInFlight = true;
      const asked = wantedTime;
      fetch(`frame?time=${asked}`)
        .then((reply) => (reply.ok ? reply.text() : Promise.reject(new Error(reply.statusText))))
        .then((text) => {
          const snapshot = Parse(text);
          if (snapshot && !playing) {
            Show(snapshot);
            showTime(snapshot.time);
          }
        })
        .catch(() => lost())
        .finally(() => {
          frameInFlight = false;
          if (wantedTime !== asked) {
            fetchFrame(wantedTime);
          }
        });
    };

    playButton.addEventListener('click', () => {
      if (playing) {
        stop();
      } else {
        play(Number(seekBar.value));
      }
    });
    seekBar.addEventListener('input', () => {
      seeking = true;
      const time = Number(seekBar.value);
      replayTime.textContent = `${time.toFixed(1)} / ${info.end.toFixed(1)} s`;
      if (!playing) {
        fetchFrame(time);
      }
    });
    seekBar.addEventListener('change', () => {
      seeking = false;
      const time = Number(seekBar.value);
      if (playing) {
        play(time);
      } else {
        fetchFrame(time);
      }
    });
    speedSelect.addEventListener('change', () => {
      if (playing) {
        play(Number(seekBar.value));
      }
    });
    SetConnection('replay', 'replay');
    play(info.start);
  }

  // ---- Start -----------------------------------------------------------------------------

  function Begin() {
    fetch('info')
      .then((reply) => (reply.ok ? reply.json() : Promise.reject(new Error(reply.statusText))))
      .then((info) => {
        mode = info.mode;
        if (mode === 'replay') {
          StartReplay(info);
        } else {
          StartLive();
        }
      })
      .catch(() => {
        SetConnection('no arena: retrying…', 'lost');
        setTimeout(Begin, kRetryMilliseconds);
      });
  }

  window.addEventListener('resize', RequestDraw);

  // For a person at the console, and for the browser test: what is on the canvas, and where
  // a point of the field is drawn (in canvas pixels).
  window.botarenaViewer = {
    get mode() { return mode; },
    get snapshot() { return drawn; },
    toCanvas: (x, y) => ToCanvas(x, y),
  };

  Begin();
})();
