// What every browser test here shares: Debian's Chromium driven by playwright-core, started
// headless with nothing of its own on the network, and the rule that a missing browser skips
// the test (exit 77) unless BOTARENA_REQUIRE_BROWSER=1 (scripts/test sets it) makes it a failure.
import { existsSync, mkdtempSync } from 'node:fs';
import { join } from 'node:path';

export const kChromium = '/usr/bin/chromium';
const kSkipped = 77;

export function Missing(what) {
  if (process.env.BOTARENA_REQUIRE_BROWSER === '1') {
    console.error(`${what} is missing; scripts/install-deps and npm ci in tests/browser install it`);
    process.exit(1);
  }
  console.log(`skipped: ${what} is missing`);
  process.exit(kSkipped);
}

/// playwright-core's chromium, or the test ends as skipped (or failed) when either is missing.
export async function LoadChromium() {
  if (!existsSync(kChromium)) {
    Missing(kChromium);
  }
  try {
    return (await import('playwright-core')).chromium;
  } catch {
    Missing('playwright-core');
  }
}

/// A fresh headless browser with its profile in `scratch`. Without the background-networking
/// flags Chromium reaches for the network at every start.
export function LaunchHeadless(chromium, scratch, viewport) {
  return chromium.launchPersistentContext(mkdtempSync(join(scratch, 'profile-')), {
    executablePath: kChromium,
    headless: true,
    viewport,
    args: [
      '--headless',
      '--no-sandbox',
      '--disable-gpu',
      '--disable-quic',
      '--no-first-run',
      '--disable-background-networking',
      '--disable-component-update',
      '--disable-sync',
    ],
  });
}
