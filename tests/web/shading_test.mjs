// The WebAssembly module's shading against this machine's native build of
// the same library: random records over random pictures, and the test card.
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const wasm = await require(process.env.TIDALHALO_WEB_SCRIPT)();
const native = process.env.TIDALHALO_SHADE_RECORD;
const RECORD_NUMBERS = 25;

// A small generator of its own, so that a failing case can be replayed.
function generator(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (Math.imul(state, 1664525) + 1013904223) >>> 0;
    return state / 2 ** 32;
  };
  return {
    unit: next,
    between: (low, high) => low + next() * (high - low),
    whole: (low, high) => low + Math.floor(next() * (high - low + 1)),
    pick: (...choices) => choices[Math.floor(next() * choices.length)],
  };
}

// The 25 numbers of a record: every field over and beyond what the tool
// sends, zeros and ends of ranges included.
function randomRecord(random, width, height) {
  const color = () => [0, 1, 2, 3].map(() => random.pick(0, 1, random.unit(), random.between(-0.5, 1.5)));
  const slider = (max) => random.pick(0, max, random.between(0, max), random.between(0, max / 10));
  return [
    Math.round(random.between(-width, 2 * width) * 65536), Math.round(random.between(-height, 2 * height) * 65536),
    slider(random.pick(width, 10000)), slider(random.pick(width / 2, 10000)), slider(100), slider(100),
    random.pick(0, 0, random.between(0, 512), 512, random.between(0, 5)),
    ...color(), ...color(),
    random.whole(0, 1), random.whole(0, 6),
    random.pick(1, random.whole(1, 4)), random.pick(1, random.whole(1, 3)),
    1, random.pick(1, random.whole(1, 4)), 1, random.pick(1, random.whole(1, 4)),
    random.pick(0, random.whole(-40, 40)), random.pick(0, random.whole(-40, 40)),
  ];
}

function shadeInWasm(numbers, width, height, pixels) {
  const values = wasm._malloc(RECORD_NUMBERS * 8);
  const picture = wasm._malloc(pixels.length);
  wasm.HEAPF64.set(numbers, values / 8);
  wasm.HEAPU8.set(pixels, picture);
  wasm._web_shade_record(values, width, height, picture, picture);
  const shaded = Buffer.from(wasm.HEAPU8.subarray(picture, picture + pixels.length));
  wasm._free(values);
  wasm._free(picture);
  return shaded;
}

function caseBytes({ numbers, width, height, pixels }) {
  const head = Buffer.alloc(RECORD_NUMBERS * 8 + 8);
  numbers.forEach((n, i) => head.writeDoubleLE(n, i * 8));
  head.writeUInt32LE(width, RECORD_NUMBERS * 8);
  head.writeUInt32LE(height, RECORD_NUMBERS * 8 + 4);
  return Buffer.concat([head, pixels]);
}

test('random records shade the same bytes in WebAssembly as natively', () => {
  const random = generator(20261207);
  const cases = [];
  for (let i = 0; i < 300; ++i) {
    const width = random.whole(1, 90);
    const height = random.whole(1, 40);
    const pixels = Buffer.alloc(width * height * 4);
    for (let k = 0; k < pixels.length; ++k) pixels[k] = random.pick(0, 255, random.whole(0, 255));
    cases.push({ numbers: randomRecord(random, width, height), width, height, pixels });
  }
  const run = spawnSync(native, [], { input: Buffer.concat(cases.map(caseBytes)), maxBuffer: 1 << 28 });
  assert.equal(run.status, 0, run.stderr.toString());
  let offset = 0;
  for (const [index, item] of cases.entries()) {
    const expected = run.stdout.subarray(offset, offset + item.pixels.length);
    offset += item.pixels.length;
    const got = shadeInWasm(item.numbers, item.width, item.height, item.pixels);
    assert.ok(got.equals(expected), `case ${index}: ${JSON.stringify(item.numbers)} ${item.width}x${item.height}`);
  }
  assert.equal(offset, run.stdout.length);
});

test('the test card and a default ring over it are the native bytes', () => {
  const width = wasm._web_test_card_width();
  const height = wasm._web_test_card_height();
  const card = wasm._malloc(width * height * 4);
  wasm._web_test_card(card);
  const made = Buffer.from(wasm.HEAPU8.subarray(card, card + width * height * 4));
  wasm._free(card);
  const run = spawnSync(native, ['card'], { maxBuffer: 1 << 28 });
  assert.equal(run.status, 0);
  assert.ok(made.equals(run.stdout), 'the test card differs');

  // The tool's values for a golden ring: the centre in 16.16, colours over 255.
  const numbers = [700 * 65536, 420 * 65536, 360, 60, 30, 100, 7, 1, 1, 208 / 255, 64 / 255,
                   1, 1, 48 / 255, 0, 1, 2, 1, 1, 1, 1, 1, 1, 0, 0].map((n, i) =>
    i >= 7 && i < 15 ? Math.fround(n) : n);
  const expected = spawnSync(native, [], { input: caseBytes({ numbers, width, height, pixels: made }),
                                           maxBuffer: 1 << 28 });
  assert.ok(shadeInWasm(numbers, width, height, made).equals(expected.stdout), 'the ring over the card differs');
});

test('stripes of rows shaded apart are the rows of the whole frame', () => {
  const random = generator(7);
  const width = 160;
  const height = 90;
  const bytes = width * height * 4;
  const picture = wasm._malloc(bytes);
  const whole = wasm._malloc(bytes);
  const striped = wasm._malloc(bytes);
  const values = wasm._malloc(11 * 8);
  for (let k = 0; k < bytes; ++k) wasm.HEAPU8[picture + k] = random.whole(0, 255);
  for (let round = 0; round < 40; ++round) {
    // center x, y, radius, feather, expand, opacity, scatter, colours, smooth, blend
    wasm.HEAPF64.set([random.between(-20, 180), random.between(-20, 110), random.between(0, 80),
                      random.pick(0, random.between(0, 30)), random.between(0, 100), random.between(0, 100),
                      random.pick(0, random.between(0, 512)), random.whole(0, 0xffffff), random.whole(0, 0xffffff),
                      random.whole(0, 1), random.whole(1, 5)], values / 8);
    wasm._web_shade(values, 1, width, height, picture, whole);
    for (let first = 0; first < height;) {
      const count = Math.min(height - first, random.whole(1, 12));
      const offset = first * width * 4;
      wasm._web_shade_rows(values, width, first, count, picture + offset, striped + offset);
      first += count;
    }
    const a = wasm.HEAPU8.subarray(whole, whole + bytes);
    const b = wasm.HEAPU8.subarray(striped, striped + bytes);
    assert.ok(Buffer.from(a).equals(Buffer.from(b)), `round ${round}`);
  }
  [picture, whole, striped, values].forEach((address) => wasm._free(address));
});
