'use strict';
// The page: a picture, the ring shaded over it by the WebAssembly module,
// the options in the address under the tool's names and syntax, and the
// same ring written as each face's command or panel.
(() => {
  // The sliders' ranges and defaults as the effect declares them.
  const SLIDERS = {
    radius: { min: 0, max: 10000, def: 100, percent: false },
    feather: { min: 0, max: 10000, def: 3, percent: false },
    expand: { min: 0, max: 100, def: 50, percent: true },
    opacity: { min: 0, max: 100, def: 100, percent: true },
    scatter: { min: 0, max: 512, def: 0, percent: false },
  };
  const SLIDER_NAMES = Object.keys(SLIDERS);
  const BLENDS = ['none', 'normal', 'add', 'stencil-multiply', 'stencil-multiply-alpha'];
  const HOST_BLENDS = ['无', '正常', '添加', '(模版)相乘', '(模版)相乘+Alpha'];
  const DEFAULT_COLOR1 = '#FFFFFF';
  const DEFAULT_COLOR2 = '#007FFF';
  // A point reaches the effect as 16.16 fixed point.
  const POINT_LIMIT = 32767;
  // The largest picture the tool reads.
  const SIDE_LIMIT = 32767;
  const PIXEL_LIMIT = 2 ** 28;
  // Above this many pixels a drag redraws a reduced copy, the whole picture on release.
  const PREVIEW_PIXELS = 1920 * 1080;
  const QUERY_INTERVAL_MS = 150;
  const OPTION_ORDER = ['center', ...SLIDER_NAMES, 'color1', 'color2', 'smooth', 'blend'];

  const $ = (id) => document.getElementById(id);
  const canvas = $('picture');
  const context = canvas.getContext('2d');
  const overlay = $('overlay');

  let wasm = null;
  const picture = { width: 0, height: 0, name: null, input: 0, output: 0, reduced: null };
  let state = null;
  let centerGiven = false;
  let zoom = 'fit';
  let dragging = null;
  let drawnFull = false;
  let lastQueryWrite = 0;
  let queryTimer = 0;
  const messages = new Map();
  const timings = [];

  // ---- values in the tool's syntax ----

  const NUMBER = /^-?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?$/;

  function parseNumber(text, percent) {
    const digits = percent && text.endsWith('%') ? text.slice(0, -1) : text;
    if (!NUMBER.test(digits)) return null;
    const value = Number(digits);
    return Number.isFinite(value) ? value : null;
  }

  function parseColor(text) {
    const hex = text.startsWith('#') ? text.slice(1) : text;
    return /^[0-9A-Fa-f]{6}$/.test(hex) ? '#' + hex.toUpperCase() : null;
  }

  function parseBlend(text) {
    const at = BLENDS.indexOf(text);
    if (at >= 0) return BLENDS[at];
    if (/^[1-5]$/.test(text)) return BLENDS[Number(text) - 1];
    return null;
  }

  // Shortest text that reads back as the same double, as the tool reads it.
  const formatNumber = (value) => String(value);

  const roundTenth = (value) => Math.round(value * 10) / 10;
  const clamp = (value, min, max) => Math.min(max, Math.max(min, value));

  function defaults() {
    const values = { center: [picture.width / 2, picture.height / 2] };
    for (const name of SLIDER_NAMES) values[name] = SLIDERS[name].def;
    values.color1 = DEFAULT_COLOR1;
    values.color2 = DEFAULT_COLOR2;
    values.smooth = true;
    values.blend = 'none';
    return values;
  }

  function showMessage(topic, text) {
    if (text) messages.set(topic, text);
    else messages.delete(topic);
    const list = $('messages');
    list.replaceChildren(...[...messages.values()].map((line) => {
      const item = document.createElement('li');
      item.textContent = line;
      return item;
    }));
  }

  // Reads the options from the address; a value that is malformed keeps the
  // last good one and one out of range is held at the range's end, each with
  // a message.
  function readQuery(search, values) {
    const params = new URLSearchParams(search);
    for (const [name, text] of params) {
      const topic = 'query:' + name;
      const keep = '; keeping the last good value';
      if (name === 'center') {
        if (text.includes('@')) {
          showMessage(topic, `center: '${text}' has keyframes; the page shows one frame` + keep);
          continue;
        }
        const parts = text.split(',');
        const x = parts.length === 2 ? parseNumber(parts[0], false) : null;
        const y = parts.length === 2 ? parseNumber(parts[1], false) : null;
        if (x === null || y === null) {
          showMessage(topic, `center: '${text}' is not a point X,Y` + keep);
          continue;
        }
        const held = [clamp(x, -POINT_LIMIT, POINT_LIMIT), clamp(y, -POINT_LIMIT, POINT_LIMIT)];
        if (held[0] !== x || held[1] !== y) {
          showMessage(topic, `center: ${text} is outside the valid range -${POINT_LIMIT} to ${POINT_LIMIT}; ` +
                             `using ${held.map(formatNumber).join(',')}`);
        }
        values.center = held;
        centerGiven = true;
      } else if (SLIDERS[name]) {
        const slider = SLIDERS[name];
        if (text.includes('@')) {
          showMessage(topic, `${name}: '${text}' has keyframes; the page shows one frame` + keep);
          continue;
        }
        const value = parseNumber(text, slider.percent);
        if (value === null) {
          showMessage(topic, `${name}: '${text}' is not a number` + keep);
          continue;
        }
        const held = clamp(value, slider.min, slider.max);
        if (held !== value) {
          const unit = slider.percent ? '%' : '';
          showMessage(topic, `${name}: ${text} is outside the valid range ${slider.min}${unit} to ` +
                             `${slider.max}${unit}; using ${formatNumber(held)}`);
        }
        values[name] = held;
      } else if (name === 'color1' || name === 'color2') {
        const color = parseColor(text);
        if (color === null) {
          showMessage(topic, `${name}: '${text}' is not a colour written #RRGGBB` + keep);
          continue;
        }
        values[name] = color;
      } else if (name === 'smooth') {
        if (text !== '0' && text !== '1') {
          showMessage(topic, `smooth: '${text}' is not 1 or 0` + keep);
          continue;
        }
        values.smooth = text === '1';
      } else if (name === 'blend') {
        const blend = parseBlend(text);
        if (blend === null) {
          showMessage(topic, `blend: '${text}' is not a blend mode (${BLENDS.join(', ')})` + keep);
          continue;
        }
        values.blend = blend;
      } else {
        showMessage(topic, `'${name}' is not an option (${OPTION_ORDER.join(', ')})`);
      }
    }
    return values;
  }

  function queryOf(values) {
    const params = new URLSearchParams();
    params.set('center', values.center.map(formatNumber).join(','));
    for (const name of SLIDER_NAMES) params.set(name, formatNumber(values[name]));
    params.set('color1', values.color1);
    params.set('color2', values.color2);
    params.set('smooth', values.smooth ? '1' : '0');
    params.set('blend', values.blend);
    return '?' + params.toString().replace(/%2C/g, ',');
  }

  // The address follows the state, at most every QUERY_INTERVAL_MS while dragging.
  function writeQuery(now) {
    clearTimeout(queryTimer);
    const since = performance.now() - lastQueryWrite;
    if (!now && since < QUERY_INTERVAL_MS) {
      queryTimer = setTimeout(() => writeQuery(true), QUERY_INTERVAL_MS - since);
      return;
    }
    lastQueryWrite = performance.now();
    const query = queryOf(state);
    if (location.search !== query) history.replaceState(null, '', query + location.hash);
  }

  // ---- the commands of each face ----

  function shellQuote(text) {
    return /^[A-Za-z0-9_./:=@%+,-]+$/.test(text) ? text : "'" + text.replace(/'/g, "'\\''") + "'";
  }

  // frei0r takes fractions of the frame; of the doubles near value / scale,
  // the one whose product with scale is value exactly, so that the filter
  // computes the same number the tool is given. Some values have none.
  function fraction(value, scale) {
    const first = value / scale;
    const buffer = new DataView(new ArrayBuffer(8));
    buffer.setFloat64(0, first);
    const bits = buffer.getBigUint64(0);
    for (const step of [0n, 1n, -1n, 2n, -2n, 3n, -3n]) {
      if (bits + step < 0n) continue;
      buffer.setBigUint64(0, bits + step);
      const candidate = buffer.getFloat64(0);
      if (candidate * scale === value) return { value: candidate, exact: true };
    }
    return { value: first, exact: false };
  }

  function frei0rValues(values) {
    const width = picture.width;
    const height = picture.height;
    const held = new Set();
    const inexact = new Set();
    const within = (name, part, exactness) => {
      if (exactness && !part.exact) inexact.add(name);
      const kept = clamp(part.value, 0, 1);
      if (kept !== part.value) held.add(name);
      return formatNumber(kept);
    };
    // The centre is rounded to 1/65536 pixel on the way, by both the host
    // and the filter, so only the rounded values need to agree.
    const lround = (v) => Math.sign(v) * Math.round(Math.abs(v));
    const point = (pixels, side) => {
      const part = fraction(pixels, side);
      return { value: part.value, exact: lround(part.value * side * 65536) === lround(pixels * 65536) };
    };
    const percent = (name) => {
      const part = fraction(values[name], 100);
      if (!part.exact) inexact.add(name);
      return formatNumber(part.value);
    };
    const result = {
      center_x: within('center', point(values.center[0], width), true),
      center_y: within('center', point(values.center[1], height), true),
      radius: within('radius', fraction(values.radius, width), true),
      feather: within('feather', fraction(values.feather, width), true),
      expand: percent('expand'),
      opacity: percent('opacity'),
      scatter: formatNumber(values.scatter / 512),
    };
    return { ...result, held: [...held], inexact: [...inexact] };
  }

  const isJpeg = (name) => /\.jpe?g$/i.test(name);

  // The file the commands read: the test card and a JPEG's decoded pixels
  // as the page saves them, any other picture as it was opened.
  function sourceName() {
    if (picture.name === null) return 'test_card.png';
    return isJpeg(picture.name) ? picture.name.replace(/\.jpe?g$/i, '.png') : picture.name;
  }

  function channels(color) {
    const rgb = parseInt(color.slice(1), 16);
    return [(rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255];
  }

  const unitChannel = (byte) => formatNumber(Math.round((byte / 255) * 1e6) / 1e6);

  function updateCommands() {
    const v = state;
    const input = picture.name === null ? '' : ' ' + shellQuote(sourceName());
    const source = shellQuote(sourceName());
    const center = v.center.map(formatNumber).join(',');
    $('command-tool').textContent =
      `tidalhalo render${input} --depth 8 --center ${center} --radius ${formatNumber(v.radius)}` +
      ` --feather ${formatNumber(v.feather)} --expand ${formatNumber(v.expand)}` +
      ` --opacity ${formatNumber(v.opacity)} --scatter ${formatNumber(v.scatter)}` +
      ` --color1 '${v.color1}' --color2 '${v.color2}' ${v.smooth ? '--smooth' : '--no-smooth'}` +
      ` --blend ${v.blend} -o ring.png`;

    const f = frei0rValues(v);
    const hex = (color) => '0x' + color.slice(1);
    const params = [f.center_x, f.center_y, f.radius, f.feather, f.expand, f.opacity, f.scatter,
                    hex(v.color1), hex(v.color2), v.smooth ? 'y' : 'n', v.blend].join('|');
    $('command-ffmpeg').textContent =
      `ffmpeg -i ${source} -vf "frei0r=filter_name=tidalhalo:filter_params=${params}"` +
      ' -update 1 -pix_fmt rgba ring.png';
    const named = `center_x=${f.center_x} center_y=${f.center_y} radius=${f.radius} feather=${f.feather}` +
                  ` expand=${f.expand} opacity=${f.opacity} scatter=${f.scatter}`;
    $('command-melt').textContent =
      `melt ${source} -filter frei0r.tidalhalo ${named} color1=${v.color1.toLowerCase()}` +
      ` color2=${v.color2.toLowerCase()} smooth=${v.smooth ? 1 : 0} blend=${v.blend}` +
      ' -consumer avformat:ring_%d.png vcodec=png pix_fmt=rgba';
    const gstColor = (name, color) =>
      channels(color).map((c, i) => `${name}-${'rgb'[i]}=${unitChannel(c)}`).join(' ');
    $('command-gst').textContent =
      `gst-launch-1.0 filesrc location=${source} ! pngdec ! videoconvert ! video/x-raw,format=RGBA` +
      ` ! frei0r-filter-tidalhalo ${named.replace(/_/g, '-')} ${gstColor('color1', v.color1)}` +
      ` ${gstColor('color2', v.color2)} smooth=${v.smooth} blend=${v.blend}` +
      ' ! videoconvert ! video/x-raw,format=RGBA ! pngenc ! filesink location=ring.png';
    const notes = [];
    if (f.held.length !== 0) {
      notes.push(`frei0r takes values within the frame: the ${f.held.join(' and ')} in these three commands ` +
                 'is held at its edge, so they draw a different ring from the page.');
    }
    if (f.inexact.length !== 0) {
      notes.push(`No fraction of the frame gives the ${f.inexact.join(' and ')} exactly, so these three ` +
                 'commands may differ from the page in a few pixels.');
    }
    $('frei0r-note').textContent = notes.join(' ');
    const saved = picture.name === null || isJpeg(picture.name);
    $('card-note').hidden = !saved;
    $('card-note-text').textContent = picture.name === null
      ? 'These commands read the test card from the file below.'
      : 'The tool reads PNG, not JPEG: these commands read the picture as the page decoded it, from the file below.';
    $('download-card').textContent = `Save ${sourceName()}`;

    const rgbUnit = (color) => channels(color).map(unitChannel).join(', ');
    $('panel-ofx').textContent = [
      `center     ${formatNumber(v.center[0])}, ${formatNumber(picture.height - v.center[1])}` +
        '   (canonical, y upwards)',
      `radius     ${formatNumber(v.radius)}`,
      `feather    ${formatNumber(v.feather)}`,
      `expand     ${formatNumber(v.expand)} %`,
      `opacity    ${formatNumber(v.opacity)} %`,
      `scatter    ${formatNumber(v.scatter)}`,
      `color1     ${rgbUnit(v.color1)}   (${v.color1})`,
      `color2     ${rgbUnit(v.color2)}   (${v.color2})`,
      `smooth     ${v.smooth ? 'on' : 'off'}`,
      `blend      ${v.blend}`,
    ].join('\n');
    $('panel-host').textContent = [
      `中心        ${formatNumber(v.center[0])}, ${formatNumber(v.center[1])}`,
      `半径        ${formatNumber(v.radius)}`,
      `羽化        ${formatNumber(v.feather)}`,
      `扩张        ${formatNumber(v.expand)} %`,
      `透明度      ${formatNumber(v.opacity)} %`,
      `离散        ${formatNumber(v.scatter)}`,
      `颜色 1      ${v.color1}`,
      `颜色 2      ${v.color2}`,
      `平滑        ${v.smooth ? '✓' : '✗'}`,
      `混合模式    ${HOST_BLENDS[BLENDS.indexOf(v.blend)]}   (${v.blend})`,
    ].join('\n');
  }

  // ---- the controls ----

  function showState() {
    $('center-x').value = formatNumber(state.center[0]);
    $('center-y').value = formatNumber(state.center[1]);
    for (const name of SLIDER_NAMES) {
      $(name).value = formatNumber(state[name]);
      $(name + '-range').value = String(state[name]);
    }
    $('color1').value = state.color1.toLowerCase();
    $('color2').value = state.color2.toLowerCase();
    $('smooth').checked = state.smooth;
    $('blend').value = state.blend;
    updateOverlay();
    updateCommands();
  }

  function changed(full) {
    showState();
    scheduleDraw(full);
    writeQuery(full);
  }

  function bindControls() {
    for (const name of SLIDER_NAMES) {
      const slider = SLIDERS[name];
      const take = (text, topic) => {
        const value = parseNumber(text, false);
        if (value === null) {
          showMessage(topic, `${name}: '${text}' is not a number; keeping ${formatNumber(state[name])}`);
          return;
        }
        const held = clamp(value, slider.min, slider.max);
        showMessage(topic, held === value ? null :
          `${name}: ${text} is outside the valid range ${slider.min} to ${slider.max}; using ${formatNumber(held)}`);
        showMessage('query:' + name, null);
        state[name] = held;
        changed(true);
      };
      $(name).addEventListener('change', (event) => take(event.target.value.trim(), 'input:' + name));
      $(name + '-range').addEventListener('input', (event) => {
        showMessage('input:' + name, null);
        state[name] = clamp(Number(event.target.value), slider.min, slider.max);
        changed(false);
      });
      $(name + '-range').addEventListener('change', () => changed(true));
    }
    for (const [index, id] of ['center-x', 'center-y'].entries()) {
      $(id).addEventListener('change', (event) => {
        const text = event.target.value.trim();
        const value = parseNumber(text, false);
        if (value === null) {
          showMessage('input:center', `center: '${text}' is not a number; keeping the last good value`);
          showState();
          return;
        }
        const held = clamp(value, -POINT_LIMIT, POINT_LIMIT);
        showMessage('input:center', held === value ? null :
          `center: ${text} is outside the valid range -${POINT_LIMIT} to ${POINT_LIMIT}; using ${held}`);
        showMessage('query:center', null);
        state.center = index === 0 ? [held, state.center[1]] : [state.center[0], held];
        centerGiven = true;
        changed(true);
      });
    }
    for (const name of ['color1', 'color2']) {
      $(name).addEventListener('input', (event) => {
        state[name] = event.target.value.toUpperCase();
        showMessage('query:' + name, null);
        changed(false);
      });
      $(name).addEventListener('change', () => changed(true));
    }
    $('smooth').addEventListener('change', (event) => {
      state.smooth = event.target.checked;
      showMessage('query:smooth', null);
      changed(true);
    });
    $('blend').addEventListener('change', (event) => {
      state.blend = event.target.value;
      showMessage('query:blend', null);
      changed(true);
    });
    $('controls').addEventListener('submit', (event) => event.preventDefault());
    for (const button of document.querySelectorAll('button.copy')) {
      button.addEventListener('click', () => copyText($(button.dataset.for).textContent, button));
    }
    $('fit').addEventListener('click', () => setZoom('fit'));
    $('actual').addEventListener('click', () => setZoom('actual'));
    $('card').addEventListener('click', () => useTestCard());
    $('download').addEventListener('click', () => download());
    $('download-card').addEventListener('click', () => downloadSource());
    $('file').addEventListener('change', (event) => {
      const file = event.target.files[0];
      event.target.value = '';
      if (file) openPicture(file);
    });
    const stage = $('stage');
    stage.addEventListener('dragover', (event) => {
      event.preventDefault();
      stage.classList.add('dropping');
    });
    stage.addEventListener('dragleave', () => stage.classList.remove('dropping'));
    stage.addEventListener('drop', (event) => {
      event.preventDefault();
      stage.classList.remove('dropping');
      const file = event.dataTransfer.files[0];
      if (file) openPicture(file);
    });
    window.addEventListener('resize', () => setZoom(zoom));
  }

  async function copyText(text, button) {
    try {
      await navigator.clipboard.writeText(text);
    } catch {
      // Pages opened from disk may not reach the clipboard API; a selection can.
      const area = document.createElement('textarea');
      area.value = text;
      document.body.append(area);
      area.select();
      document.execCommand('copy');
      area.remove();
    }
    button.textContent = 'Copied';
    setTimeout(() => { button.textContent = 'Copy'; }, 1200);
  }

  // ---- the picture and the ring over it ----

  function setZoom(mode) {
    zoom = mode;
    $('fit').setAttribute('aria-pressed', String(mode === 'fit'));
    $('actual').setAttribute('aria-pressed', String(mode === 'actual'));
    const stage = $('stage');
    let scale = 1;
    if (mode === 'fit') {
      scale = Math.min((stage.clientWidth - 2) / picture.width, (stage.clientHeight - 2) / picture.height);
    }
    const frame = $('frame');
    frame.style.width = `${picture.width * scale}px`;
    frame.style.height = `${picture.height * scale}px`;
    updateOverlay();
  }

  function setCircle(id, cx, cy, r) {
    const circle = $(id);
    circle.setAttribute('cx', cx);
    circle.setAttribute('cy', cy);
    circle.setAttribute('r', Math.max(0, r));
  }

  function updateOverlay() {
    if (!state || picture.width === 0) return;
    overlay.setAttribute('viewBox', `0 0 ${picture.width} ${picture.height}`);
    const [cx, cy] = state.center;
    const r = state.radius;
    setCircle('ring-radius', cx, cy, r);
    setCircle('ring-outer', cx, cy, r + state.feather);
    setCircle('ring-inner', cx, cy, r * (1 - state.expand / 100));
    // Handles keep their size on screen whatever the zoom.
    const rect = overlay.getBoundingClientRect();
    const unit = rect.width > 0 ? picture.width / rect.width : 1;
    setCircle('handle-center', cx, cy, 8 * unit);
    setCircle('handle-radius', cx + r, cy, 7 * unit);
    setCircle('handle-feather', cx + r + state.feather, cy, 6 * unit);
  }

  function pointOf(event) {
    const rect = overlay.getBoundingClientRect();
    return [(event.clientX - rect.left) * (picture.width / rect.width),
            (event.clientY - rect.top) * (picture.height / rect.height)];
  }

  function dragTo(event) {
    const [x, y] = pointOf(event);
    if (dragging === 'center') {
      state.center = [roundTenth(clamp(x, -POINT_LIMIT, POINT_LIMIT)), roundTenth(clamp(y, -POINT_LIMIT, POINT_LIMIT))];
      centerGiven = true;
      showMessage('query:center', null);
    } else {
      const distance = Math.hypot(x - state.center[0], y - state.center[1]);
      if (dragging === 'radius') {
        state.radius = roundTenth(clamp(distance, SLIDERS.radius.min, SLIDERS.radius.max));
        showMessage('query:radius', null);
      } else {
        state.feather = roundTenth(clamp(distance - state.radius, SLIDERS.feather.min, SLIDERS.feather.max));
        showMessage('query:feather', null);
      }
    }
    changed(false);
  }

  function bindDrag() {
    overlay.addEventListener('pointerdown', (event) => {
      if (event.button !== 0) return;
      event.preventDefault();
      dragging = event.target.dataset ? event.target.dataset.handle || 'center' : 'center';
      overlay.setPointerCapture(event.pointerId);
      dragTo(event);
    });
    overlay.addEventListener('pointermove', (event) => {
      if (dragging) dragTo(event);
    });
    const release = () => {
      if (!dragging) return;
      dragging = null;
      changed(true);
    };
    overlay.addEventListener('pointerup', release);
    overlay.addEventListener('pointercancel', release);
  }

  function valuesArray() {
    const rgb = (color) => parseInt(color.slice(1), 16);
    return [state.center[0], state.center[1], state.radius, state.feather, state.expand, state.opacity,
            state.scatter, rgb(state.color1), rgb(state.color2), state.smooth ? 1 : 0,
            BLENDS.indexOf(state.blend) + 1];
  }

  // A nearest-pixel copy at 1/factor of the picture, for redraws while dragging.
  function reducedPicture(factor) {
    if (picture.reduced && picture.reduced.factor === factor) return picture.reduced;
    freeReduced();
    const width = Math.ceil(picture.width / factor);
    const height = Math.ceil(picture.height / factor);
    const input = wasm._malloc(width * height * 4);
    const output = wasm._malloc(width * height * 4);
    const source = new Uint32Array(wasm.HEAPU8.buffer, picture.input, picture.width * picture.height);
    const target = new Uint32Array(wasm.HEAPU8.buffer, input, width * height);
    for (let y = 0; y < height; ++y) {
      for (let x = 0; x < width; ++x) target[y * width + x] = source[y * factor * picture.width + x * factor];
    }
    picture.reduced = { factor, width, height, input, output };
    return picture.reduced;
  }

  function freeReduced() {
    if (!picture.reduced) return;
    wasm._free(picture.reduced.input);
    wasm._free(picture.reduced.output);
    picture.reduced = null;
  }

  function shade(width, height, input, output, factor) {
    const values = wasm._malloc(11 * 8);
    wasm.HEAPF64.set(valuesArray(), values / 8);
    wasm._web_shade(values, factor, width, height, input, output);
    wasm._free(values);
  }

  // ---- shading on several threads ----

  // Workers, each with its own module and a copy of the picture, shade
  // stripes of rows while this thread shades its own; the stripes are
  // spread over the picture so that each thread gets a share of the ring. A
  // stripe gets the same bytes as those rows of the whole frame.
  const STRIPE_ROWS = 8;
  const WORKER_PIXEL_LIMIT = 4096 * 4096;
  let workers = [];

  // Runs inside each worker, after the module's script.
  function workerMain() {
    let module = null;
    let input = 0;
    let output = 0;
    let width = 0;
    const ready = TidalhaloWasm().then((loaded) => { module = loaded; });
    self.onmessage = async ({ data }) => {
      await ready;
      if (data.kind === 'picture') {
        if (input) {
          module._free(input);
          module._free(output);
        }
        input = module._malloc(data.pixels.byteLength);
        output = module._malloc(data.pixels.byteLength);
        module.HEAPU8.set(new Uint8Array(data.pixels), input);
        width = data.width;
        return;
      }
      const row = width * 4;
      const values = module._malloc(11 * 8);
      module.HEAPF64.set(data.values, values / 8);
      let rows = 0;
      for (const [first, count] of data.stripes) {
        module._web_shade_rows(values, width, first, count, input + first * row, output + first * row);
        rows += count;
      }
      module._free(values);
      const stripes = new Uint8Array(rows * row);
      let at = 0;
      for (const [first, count] of data.stripes) {
        stripes.set(module.HEAPU8.subarray(output + first * row, output + (first + count) * row), at);
        at += count * row;
      }
      self.postMessage(stripes.buffer, [stripes.buffer]);
    };
  }

  function startWorkers() {
    const count = Math.min(3, (navigator.hardwareConcurrency || 1) - 1);
    if (count < 1) return;
    const script = $('wasm-script').textContent + '\n(' + workerMain.toString() + ')();\n';
    const url = URL.createObjectURL(new Blob([script], { type: 'text/javascript' }));
    try {
      for (let i = 0; i < count; ++i) {
        const worker = new Worker(url);
        // Each worker answers its requests in order.
        worker.waiting = [];
        worker.onmessage = ({ data }) => worker.waiting.shift().resolve(data);
        worker.onerror = (event) => {
          event.preventDefault();
          for (const request of worker.waiting.splice(0)) request.reject(new Error('a worker failed'));
          stopWorkers();
        };
        workers.push(worker);
      }
    } catch {
      stopWorkers();
    }
  }

  function stopWorkers() {
    for (const worker of workers) worker.terminate();
    workers = [];
  }

  function ask(worker, message) {
    return new Promise((resolve, reject) => {
      worker.waiting.push({ resolve, reject });
      worker.postMessage(message);
    });
  }

  function giveWorkersPicture() {
    if (picture.width * picture.height > WORKER_PIXEL_LIMIT) return;
    const bytes = wasm.HEAPU8.subarray(picture.input, picture.input + picture.width * picture.height * 4);
    for (const worker of workers) {
      const copy = bytes.slice();
      worker.postMessage({ kind: 'picture', width: picture.width, pixels: copy.buffer }, [copy.buffer]);
    }
  }

  // Each thread's rows a millisecond on the frames so far; the stripes are
  // dealt out in proportion, so that a worker kept from its core by other
  // work gets fewer and this thread does not wait on it. Every worker keeps
  // a small share, which keeps its rate measured.
  let rowRates = [];
  const LEAST_SHARE = 0.05;

  function dealStripes(height) {
    const count = workers.length + 1;
    if (rowRates.length !== count) rowRates = new Array(count).fill(1);
    const total = rowRates.reduce((sum, rate) => sum + rate, 0);
    const weights = rowRates.map((rate, i) => (i === 0 ? rate : Math.max(rate, total * LEAST_SHARE)));
    const shares = Array.from({ length: count }, () => []);
    const dealt = new Array(count).fill(0);
    for (let first = 0; first < height; first += STRIPE_ROWS) {
      let next = 0;
      for (let i = 1; i < count; ++i) {
        if ((dealt[i] + 1) / weights[i] < (dealt[next] + 1) / weights[next]) next = i;
      }
      shares[next].push([first, Math.min(STRIPE_ROWS, height - first)]);
      ++dealt[next];
    }
    return shares;
  }

  function noteRate(thread, rows, ms) {
    if (rows > 0 && ms > 0) rowRates[thread] = (rowRates[thread] + rows / ms) / 2;
  }

  async function shadeFull() {
    const { width, height } = picture;
    if (workers.length === 0 || width * height > WORKER_PIXEL_LIMIT) {
      shade(width, height, picture.input, picture.output, 1);
      return;
    }
    const shares = dealStripes(height);
    const rowsOf = (share) => share.reduce((sum, [, count]) => sum + count, 0);
    const values = valuesArray();
    const start = performance.now();
    const replies = workers.map((worker, i) =>
      ask(worker, { kind: 'shade', values, stripes: shares[i + 1] }).then((answer) => {
        noteRate(i + 1, rowsOf(shares[i + 1]), performance.now() - start);
        return answer;
      }));
    const row = width * 4;
    const address = wasm._malloc(11 * 8);
    wasm.HEAPF64.set(values, address / 8);
    for (const [first, count] of shares[0]) {
      wasm._web_shade_rows(address, width, first, count, picture.input + first * row, picture.output + first * row);
    }
    wasm._free(address);
    noteRate(0, rowsOf(shares[0]), performance.now() - start);
    let answers;
    try {
      answers = await Promise.all(replies);
    } catch {
      shade(width, height, picture.input, picture.output, 1);
      return;
    }
    answers.forEach((answer, i) => {
      const stripes = new Uint8Array(answer);
      let at = 0;
      for (const [first, count] of shares[i + 1]) {
        wasm.HEAPU8.set(stripes.subarray(at, at + count * row), picture.output + first * row);
        at += count * row;
      }
    });
  }

  // Shades the whole picture, or a reduced copy while a large one is dragged,
  // and shows it; returns the milliseconds it took.
  async function drawNow(full) {
    const start = performance.now();
    const pixels = picture.width * picture.height;
    if (full || pixels <= PREVIEW_PIXELS) {
      await shadeFull();
      const bytes = new Uint8ClampedArray(wasm.HEAPU8.buffer, picture.output, pixels * 4);
      context.putImageData(new ImageData(bytes, picture.width, picture.height), 0, 0);
      drawnFull = true;
    } else {
      const factor = Math.ceil(Math.sqrt(pixels / PREVIEW_PIXELS));
      const reduced = reducedPicture(factor);
      shade(reduced.width, reduced.height, reduced.input, reduced.output, factor);
      const bytes = new Uint8ClampedArray(wasm.HEAPU8.buffer, reduced.output, reduced.width * reduced.height * 4);
      const small = new OffscreenCanvas(reduced.width, reduced.height);
      small.getContext('2d').putImageData(new ImageData(bytes, reduced.width, reduced.height), 0, 0);
      context.clearRect(0, 0, picture.width, picture.height);
      context.drawImage(small, 0, 0, picture.width, picture.height);
      drawnFull = false;
    }
    const elapsed = performance.now() - start;
    timings.push({ width: picture.width, height: picture.height, full: drawnFull, ms: elapsed });
    if (timings.length > 200) timings.shift();
    $('timing').textContent = `redraw ${elapsed.toFixed(1)} ms${drawnFull ? '' : ' (reduced)'}`;
    return elapsed;
  }

  // One draw at a time, each with the state as it is when it starts.
  let drawQueue = Promise.resolve();
  function draw(full) {
    const run = drawQueue.then(() => drawNow(full));
    drawQueue = run.catch(() => {});
    return run;
  }

  // Redraws at the pointer's pace: while one draw runs, later changes make
  // one more, not one each.
  let wanted = null;
  let drawing = false;
  async function scheduleDraw(full) {
    wanted = wanted === true || full;
    if (drawing) return;
    drawing = true;
    try {
      while (wanted !== null) {
        const whole = wanted || dragging === null;
        wanted = null;
        await draw(whole);
      }
    } finally {
      drawing = false;
    }
  }

  // Takes width x height RGBA pixels as the picture: fill writes them at the
  // address it is given. It waits for the draw under way, which still writes
  // into the last picture's memory; the last picture also stays when the new
  // one cannot get memory.
  function setPicture(fill, width, height, name) {
    const swap = drawQueue.then(() => swapPicture(fill, width, height, name));
    drawQueue = swap.catch(() => {});
    return swap;
  }

  function swapPicture(fill, width, height, name) {
    const input = wasm._malloc(width * height * 4);
    const output = input ? wasm._malloc(width * height * 4) : 0;
    if (!output) {
      if (input) wasm._free(input);
      throw new Error('not enough memory for the picture');
    }
    freeReduced();
    if (picture.input) wasm._free(picture.input);
    if (picture.output) wasm._free(picture.output);
    picture.input = input;
    picture.output = output;
    fill(picture.input);
    picture.width = width;
    picture.height = height;
    giveWorkersPicture();
    picture.name = name;
    canvas.width = width;
    canvas.height = height;
    if (!centerGiven) state.center = [width / 2, height / 2];
    $('size').textContent = `${name === null ? 'test card' : name}, ${width} × ${height}`;
    setZoom(zoom);
    changed(true);
  }

  function useTestCard() {
    const width = wasm._web_test_card_width();
    const height = wasm._web_test_card_height();
    showMessage('file', null);
    return setPicture((address) => wasm._web_test_card(address), width, height, null);
  }

  // The size a PNG or JPEG says it has, from its header, or null when the
  // bytes are neither.
  function headerSize(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    const png = [0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a];
    if (bytes.length >= 24 && png.every((b, i) => bytes[i] === b)) {
      return { type: 'PNG', width: view.getUint32(16), height: view.getUint32(20) };
    }
    if (bytes.length >= 4 && bytes[0] === 0xff && bytes[1] === 0xd8) {
      let at = 2;
      while (at + 9 <= bytes.length && bytes[at] === 0xff) {
        const marker = bytes[at + 1];
        const length = view.getUint16(at + 2);
        const frame = marker >= 0xc0 && marker <= 0xcf && marker !== 0xc4 && marker !== 0xc8 && marker !== 0xcc;
        if (frame) return { type: 'JPEG', width: view.getUint16(at + 7), height: view.getUint16(at + 5) };
        at += 2 + length;
      }
      return { type: 'JPEG', width: null, height: null };
    }
    return null;
  }

  function sizeProblem(width, height) {
    const size = `${width}x${height}`;
    if (width < 1 || height < 1) return `image size ${size} is empty`;
    if (width > SIDE_LIMIT || height > SIDE_LIMIT || width * height > PIXEL_LIMIT) {
      return `image size ${size} is beyond the limit of ${SIDE_LIMIT} pixels a side and ${PIXEL_LIMIT} pixels in all`;
    }
    return null;
  }

  // An 8-bit, non-interlaced PNG of grey, grey and alpha, RGB or RGBA with
  // no transparency chunk, unpacked here (the browser's own inflate) rather
  // than through the browser's canvas, which keeps colours premultiplied by
  // alpha and so moves the colours of semi-transparent pixels. The pixels
  // are the tool's: grey to all three colours, opaque without alpha, no
  // gamma. Null for any other PNG, which the browser then decodes.
  async function unpackPlainPng(bytes) {
    const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    let header = null;
    const data = [];
    for (let at = 8; at + 12 <= bytes.length;) {
      const length = view.getUint32(at);
      const type = String.fromCharCode(...bytes.subarray(at + 4, at + 8));
      const body = bytes.subarray(at + 8, at + 8 + length);
      if (type === 'IHDR' && length === 13) {
        header = { width: view.getUint32(at + 8), height: view.getUint32(at + 12), depth: body[8], color: body[9],
                   interlace: body[12] };
      } else if (type === 'IDAT') {
        data.push(body);
      } else if (type === 'tRNS') {
        return null;
      } else if (type === 'IEND') {
        break;
      }
      at += 12 + length;
    }
    const channelsOf = { 0: 1, 2: 3, 4: 2, 6: 4 };
    if (!header || header.depth !== 8 || header.interlace !== 0 || !(header.color in channelsOf)) return null;
    const { width, height } = header;
    const channels = channelsOf[header.color];
    const stride = width * channels;
    let raw;
    try {
      const inflated = new Blob(data).stream().pipeThrough(new DecompressionStream('deflate'));
      raw = new Uint8Array(await new Response(inflated).arrayBuffer());
    } catch {
      return null;
    }
    if (raw.length < (stride + 1) * height) return null;
    const rows = new Uint8Array(stride * height);
    for (let y = 0; y < height; ++y) {
      const filter = raw[y * (stride + 1)];
      const line = raw.subarray(y * (stride + 1) + 1, (y + 1) * (stride + 1));
      const here = y * stride;
      const above = here - stride;
      for (let i = 0; i < stride; ++i) {
        const a = i >= channels ? rows[here + i - channels] : 0;
        const b = y > 0 ? rows[above + i] : 0;
        const c = i >= channels && y > 0 ? rows[above + i - channels] : 0;
        let predicted;
        if (filter === 0) predicted = 0;
        else if (filter === 1) predicted = a;
        else if (filter === 2) predicted = b;
        else if (filter === 3) predicted = (a + b) >> 1;
        else if (filter === 4) {
          const p = a + b - c;
          const pa = Math.abs(p - a);
          const pb = Math.abs(p - b);
          const pc = Math.abs(p - c);
          predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
        } else return null;
        rows[here + i] = (line[i] + predicted) & 255;
      }
    }
    const pixels = new Uint8Array(width * height * 4);
    for (let k = 0; k < width * height; ++k) {
      const from = k * channels;
      const to = k * 4;
      if (channels <= 2) {
        pixels[to] = pixels[to + 1] = pixels[to + 2] = rows[from];
        pixels[to + 3] = channels === 2 ? rows[from + 1] : 255;
      } else {
        pixels[to] = rows[from];
        pixels[to + 1] = rows[from + 1];
        pixels[to + 2] = rows[from + 2];
        pixels[to + 3] = channels === 4 ? rows[from + 3] : 255;
      }
    }
    return { width, height, pixels };
  }

  // The browser's decoding, for JPEG and the PNGs unpackPlainPng leaves.
  async function decodeInBrowser(bytes) {
    const bitmap = await createImageBitmap(new Blob([bytes]), {
      premultiplyAlpha: 'none', colorSpaceConversion: 'none', imageOrientation: 'none' });
    const scratch = new OffscreenCanvas(bitmap.width, bitmap.height);
    const scratchContext = scratch.getContext('2d', { willReadFrequently: true });
    scratchContext.drawImage(bitmap, 0, 0);
    const pixels = scratchContext.getImageData(0, 0, bitmap.width, bitmap.height).data;
    bitmap.close();
    return { width: scratch.width, height: scratch.height, pixels };
  }

  async function openPicture(file) {
    const name = file.name;
    const fail = (text) => showMessage('file', `${name}: ${text}; still showing the last picture`);
    try {
      const bytes = new Uint8Array(await file.arrayBuffer());
      const header = headerSize(bytes);
      if (header === null) return fail('is not a PNG or JPEG picture');
      if (header.width !== null) {
        const problem = sizeProblem(header.width, header.height);
        if (problem) return fail(problem);
      }
      let decoded = header.type === 'PNG' ? await unpackPlainPng(bytes) : null;
      if (decoded === null) {
        try {
          decoded = await decodeInBrowser(bytes);
        } catch {
          return fail(`could not be decoded as a ${header.type} picture`);
        }
      }
      const problem = sizeProblem(decoded.width, decoded.height);
      if (problem) return fail(problem);
      await setPicture((address) => wasm.HEAPU8.set(decoded.pixels, address), decoded.width, decoded.height, name);
      showMessage('file', null);
    } catch (error) {
      fail(`could not be opened (${error.message})`);
    }
  }

  // ---- Download PNG: the frame's exact bytes, straight alpha ----

  const CRC_TABLE = (() => {
    const table = new Uint32Array(256);
    for (let n = 0; n < 256; ++n) {
      let c = n;
      for (let k = 0; k < 8; ++k) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
      table[n] = c >>> 0;
    }
    return table;
  })();

  function crc32(parts) {
    let c = 0xffffffff;
    for (const part of parts) {
      for (let i = 0; i < part.length; ++i) c = CRC_TABLE[(c ^ part[i]) & 255] ^ (c >>> 8);
    }
    return (c ^ 0xffffffff) >>> 0;
  }

  function chunk(type, data) {
    const head = new Uint8Array(8);
    const view = new DataView(head.buffer);
    view.setUint32(0, data.length);
    const name = new TextEncoder().encode(type);
    head.set(name, 4);
    const tail = new Uint8Array(4);
    new DataView(tail.buffer).setUint32(0, crc32([name, data]));
    return [head, data, tail];
  }

  // An 8-bit RGBA PNG, each row unfiltered, compressed by the browser's zlib.
  async function encodePng(rgba, width, height) {
    const rows = new Uint8Array((width * 4 + 1) * height);
    for (let y = 0; y < height; ++y) {
      rows.set(rgba.subarray(y * width * 4, (y + 1) * width * 4), y * (width * 4 + 1) + 1);
    }
    const compressed = new Uint8Array(
      await new Response(new Blob([rows]).stream().pipeThrough(new CompressionStream('deflate'))).arrayBuffer());
    const header = new Uint8Array(13);
    const view = new DataView(header.buffer);
    view.setUint32(0, width);
    view.setUint32(4, height);
    header.set([8, 6, 0, 0, 0], 8);
    const signature = new Uint8Array([0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a]);
    return new Blob([signature, ...chunk('IHDR', header), ...chunk('IDAT', compressed),
                     ...chunk('IEND', new Uint8Array(0))], { type: 'image/png' });
  }

  async function save(rgba, width, height, name) {
    const blob = await encodePng(rgba, width, height);
    const link = document.createElement('a');
    link.href = URL.createObjectURL(blob);
    link.download = name;
    document.body.append(link);
    link.click();
    link.remove();
    setTimeout(() => URL.revokeObjectURL(link.href), 60000);
  }

  async function download() {
    await draw(true);
    const bytes = new Uint8Array(wasm.HEAPU8.buffer, picture.output, picture.width * picture.height * 4).slice();
    const stem = picture.name === null ? 'test_card' : picture.name.replace(/\.[^.]*$/, '');
    await save(bytes, picture.width, picture.height, `${stem}_ring.png`);
  }

  // The picture itself, for the commands to read: the tool cannot write the
  // test card unchanged, as every blend at opacity 0 still rounds its alpha,
  // and it reads no JPEG.
  async function downloadSource() {
    const bytes = new Uint8Array(wasm.HEAPU8.buffer, picture.input, picture.width * picture.height * 4).slice();
    await save(bytes, picture.width, picture.height, sourceName());
  }

  // ---- start ----

  async function start() {
    wasm = await TidalhaloWasm();
    startWorkers();
    bindControls();
    bindDrag();
    picture.width = wasm._web_test_card_width();
    picture.height = wasm._web_test_card_height();
    state = readQuery(location.search, defaults());
    await useTestCard();
    if (location.search !== '') writeQuery(true);
  }

  // What the tests and the benchmark read: the state, the redraw times, and
  // a way to time a whole redraw.
  window.tidalhalo = {
    ready: start(),
    state: () => structuredClone(state),
    timings: () => timings.slice(),
    redraw: () => draw(true),
  };
  window.tidalhalo.ready.catch((error) => showMessage('start', `the page could not start: ${error.message}`));
})();
