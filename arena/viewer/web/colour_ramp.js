// Colours: a robot's colour checked and made readable on the dark page, and the scale the
// robots' drawings are shown in. No DOM here.

export const kFloor = [35, 40, 48]; // the field's floor, #232830
// The drawings' colour scale, from "drawn to" through "no danger" to "high danger": no red in
// it, so that red robots stay visible on a danger map. viewer.css's #ramp repeats the stops.
const kRampStops = [
  [0, [40, 176, 156]],
  [0.5, [24, 34, 70]],
  [0.75, [128, 64, 184]],
  [1, [255, 192, 64]],
];

export function Rgb(colour, alpha) {
  const [r, g, b] = colour;
  return alpha === undefined ? `rgb(${r}, ${g}, ${b})` : `rgba(${r}, ${g}, ${b}, ${alpha})`;
}

export function ColourOf(value) {
  return Array.isArray(value) && value.length === 3 && value.every(Number.isFinite)
    ? value.map((c) => Math.min(255, Math.max(0, Math.round(c))))
    : [200, 200, 200];
}

/// A robot's colour lightened where it would vanish on the dark page: for lines and names.
export function Readable(colour) {
  const [r, g, b] = colour;
  const light = (0.2126 * r + 0.7152 * g + 0.0722 * b) / 255;
  if (light >= 0.35) {
    return colour;
  }
  const towardWhite = (0.75 * (0.35 - light)) / 0.35 + 0.15;
  return colour.map((c) => Math.round(c + (255 - c) * towardWhite));
}

function Ramp(t) {
  for (let i = 1; i < kRampStops.length; ++i) {
    const [to, high] = kRampStops[i];
    const [from, low] = kRampStops[i - 1];
    if (t <= to) {
      const share = (t - from) / (to - from);
      return low.map((c, k) => Math.round(c + (high[k] - c) * share));
    }
  }
  return kRampStops[kRampStops.length - 1][1];
}
export const kRamp = Array.from({ length: 256 }, (_, i) => Ramp(i / 255));
export const kRampStyles = kRamp.map((colour) => Rgb(colour));

/// Where a cell's colour lies on the scale. The client draws danger in red and what it is
/// drawn to in green, brighter for more: the brightness goes up from the middle for danger
/// and down from it for attraction.
export function RampIndex(r, g, b) {
  const brightness = Math.max(r, g, b) / 255;
  const drawnTo = g > r && g >= b;
  return Math.round(127.5 + (drawnTo ? -127.5 : 127.5) * brightness);
}
