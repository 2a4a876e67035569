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
