// The page's side of the arena's HTTP: /info says live or replay; live, the events stream,
// reconnected when lost; in a replay, its controls (play, step, seek, speed) over /events and
// /frame. Every snapshot that comes goes through Show.
import { FiniteOr, Parse } from './snapshot_input.js';
import { LoadStory, LoadServerStory, TakeIntoStory } from './story.js';
import { ClockText } from './clock_text.js';
import { UpdateLayers } from './drawing_layers.js';
import { OutcomeText, UpdateBanner, UpdateScoreboard } from './scoreboard.js';
import {
  $,
  chartCanvas,
  clockLabel,
  connectionLabel,
  feedList,
  followingName,
  marksCanvas,
  overLabel,
  playButton,
  replayBar,
  replayTime,
  seekBar,
  speedSelect,
} from './page_elements.js';
import {
  dirty,
  drawn,
  follow,
  info,
  kFrameSeconds,
  pending,
  SetInfo,
  SetMode,
  SetPending,
  SetReplay,
} from './page_state.js';

const kRetryMilliseconds = 2000;

function Show(snapshot) {
  SetPending(snapshot);
  clockLabel.textContent = ClockText(snapshot.time);
  overLabel.hidden = !snapshot.over;
  overLabel.textContent = snapshot.over ? `Battle over: ${snapshot.over}${OutcomeText(snapshot)}` : '';
  TakeIntoStory(snapshot);
  UpdateScoreboard(snapshot);
  UpdateLayers(snapshot);
  UpdateBanner(snapshot);
  if (follow !== null && !followingName.textContent) {
    followingName.textContent = snapshot.robots.find((robot) => robot.id === follow)?.name ?? '';
  }
}

// ---- Connection state ------------------------------------------------------------------

function SetConnection(text, kind) {
  connectionLabel.textContent = text;
  connectionLabel.className = 'state-' + kind;
}

// ---- Live ------------------------------------------------------------------------------

function StartLive() {
  let source = null;
  const open = () => {
    SetConnection('connecting…', 'connecting');
    source = new EventSource('events');
    source.onopen = () => {
      SetConnection('live', 'live');
      // Whatever happened while the stream was away, /story has it.
      LoadServerStory();
    };
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

function StartReplay() {
  let source = null;
  let playing = false;
  let seeking = false;
  let frameInFlight = false;
  let stepping = false;
  let wantedTime = null;
  replayBar.hidden = false;
  feedList.classList.add('seekable');
  chartCanvas.classList.add('seekable');
  feedList.title = 'click an event to see it';
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
    const retry = () =>
      fetch('info')
        .then((reply) => {
          if (!reply.ok) {
            throw new Error(reply.statusText);
          }
          SetConnection('replay', 'replay');
        })
        .catch(() => setTimeout(retry, kRetryMilliseconds));
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
  const getFrame = (time) =>
    fetch(`frame?time=${time}`)
      .then((reply) => (reply.ok ? reply.text() : Promise.reject(new Error(reply.statusText))))
      .then(Parse);
  // One frame at a time while the bar is dragged; the newest wish wins.
  const fetchFrame = (time) => {
    wantedTime = time;
    if (frameInFlight) {
      return;
    }
    frameInFlight = true;
    const asked = wantedTime;
    getFrame(asked)
      .then((snapshot) => {
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
  const seek = (time) => {
    const at = Math.min(info.end, Math.max(info.start, time));
    seekBar.value = at;
    if (playing) {
      play(at);
    } else {
      fetchFrame(at);
    }
  };
  // One snapshot on or back, paused. The recording's frames are kFrameSeconds apart, but
  // not exactly (the last one, rounding): a step that lands on the same frame goes further.
  const step = async (direction) => {
    if (stepping) {
      return;
    }
    stepping = true;
    stop();
    try {
      const from = (pending ?? drawn)?.time ?? Number(seekBar.value);
      for (let reach = 1; reach <= 4; ++reach) {
        const target = Math.min(
          info.end,
          Math.max(info.start, from + direction * reach * kFrameSeconds + kFrameSeconds / 50),
        );
        const snapshot = await getFrame(target);
        if (!snapshot) {
          break;
        }
        if (snapshot.time !== from || target <= info.start || target >= info.end) {
          Show(snapshot);
          showTime(snapshot.time);
          break;
        }
      }
    } catch {
      lost();
    } finally {
      stepping = false;
    }
  };
  const toggle = () => {
    if (playing) {
      stop();
    } else {
      play(Number(seekBar.value));
    }
  };
  const faster = (direction) => {
    const index = Math.min(speedSelect.options.length - 1, Math.max(0, speedSelect.selectedIndex + direction));
    if (index !== speedSelect.selectedIndex) {
      speedSelect.selectedIndex = index;
      speedSelect.dispatchEvent(new Event('change'));
    }
  };

  playButton.addEventListener('click', toggle);
  $('step-back').addEventListener('click', () => step(-1));
  $('step-forward').addEventListener('click', () => step(1));
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
    seek(Number(seekBar.value));
  });
  speedSelect.addEventListener('change', () => {
    if (playing) {
      play(Number(seekBar.value));
    }
  });
  new ResizeObserver(() => {
    dirty.marks = true;
  }).observe(marksCanvas);
  SetReplay({ toggle, step, faster, seek });
  SetConnection('replay', 'replay');
  // The whole recording's story first, so that the seek bar shows its marks from the start;
  // without one the replay tells it as it plays.
  fetch('story', { cache: 'no-store' })
    .then((reply) => (reply.ok ? reply.json() : null))
    .catch(() => null)
    .then((json) => {
      if (json) {
        LoadStory(json);
      }
      play(info.start);
    });
}

// ---- Start -----------------------------------------------------------------------------

export function Begin() {
  fetch('info')
    .then((reply) => (reply.ok ? reply.json() : Promise.reject(new Error(reply.statusText))))
    .then((answer) => {
      SetInfo(answer);
      SetMode(answer.mode);
      if (answer.mode === 'replay') {
        info.start = FiniteOr(info.start, 0);
        info.end = FiniteOr(info.end, info.start);
        StartReplay();
      } else {
        StartLive();
      }
    })
    .catch(() => {
      SetConnection('no arena: retrying…', 'lost');
      setTimeout(Begin, kRetryMilliseconds);
    });
}
