// The page's elements the viewer reads or writes, found once: index.html names them.

export const $ = (id) => document.getElementById(id);
export const canvas = $('field');
export const context = canvas.getContext('2d');
export const chartCanvas = $('chart');
export const chartContext = chartCanvas.getContext('2d');
export const marksCanvas = $('seek-marks');
export const marksContext = marksCanvas.getContext('2d');
export const clockLabel = $('clock');
export const overLabel = $('over');
export const banner = $('banner');
export const connectionLabel = $('connection');
export const scoreBody = document.querySelector('#scoreboard tbody');
export const feedList = $('feed');
export const feedNone = $('feed-none');
export const feedOmitted = $('feed-omitted');
export const layerList = $('layers');
export const opacitySlider = $('layer-opacity');
export const zoomLabel = $('zoom-level');
export const followingBox = $('following');
export const followingName = $('following-name');
export const replayBar = $('replay');
export const playButton = $('play');
export const seekBar = $('seek');
export const replayTime = $('replay-time');
export const speedSelect = $('speed');

/// Gives a canvas as many pixels as it shows on the screen (more on a dense display), and says
/// how many that is. Setting a canvas's size clears it, so it is set only when it changes.
export function SizeCanvas(target) {
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(target.clientWidth * ratio));
  const height = Math.max(1, Math.round(target.clientHeight * ratio));
  if (target.width !== width || target.height !== height) {
    target.width = width;
    target.height = height;
  }
  return { width, height, ratio };
}
