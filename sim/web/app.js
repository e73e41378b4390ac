// The live page: one panel per device, rebuilt when the devices change and otherwise only
// updated, from the server-sent state; controls post world changes to the JSON API. The
// values show as soon as the state arrives; charts join when chart.js has loaded.
'use strict';

const panels = new Map(); // "i2c-0x29" -> {element, chart, canvas}
let deviceKey = '';
let chartLoaded = false;

function hex(n) {
  return '0x' + n.toString(16).padStart(2, '0');
}

function idOf(device) {
  return device.bus + '-' + (device.bus === 'i2c' ? hex(device.address) : String(device.address));
}

function shown(key, value) {
  if (typeof value === 'number' && !Number.isInteger(value)) return value.toFixed(1);
  if (key === 'id' && Array.isArray(value)) return value.map(hex).join(' ');
  if (key === 'programmedPages') return value.length ? value.length + ' (' + pageRanges(value) + ')' : 'none';
  // An external device's provider may report any JSON as its state.
  if (typeof value === 'object' && value !== null) return JSON.stringify(value);
  return String(value);
}

// [0, 1, 2, 5] -> "0-2, 5"
function pageRanges(pages) {
  const parts = [];
  for (let i = 0; i < pages.length; ) {
    let j = i;
    while (j + 1 < pages.length && pages[j + 1] === pages[j] + 1) j++;
    parts.push(i === j ? String(pages[i]) : pages[i] + '-' + pages[j]);
    i = j + 1;
  }
  return parts.join(', ');
}

async function post(path, body, result) {
  const options = {method: body === null ? 'DELETE' : 'POST',
                   headers: {'Content-Type': 'application/json'}};
  if (body !== null) options.body = JSON.stringify(body);
  try {
    const response = await fetch(path, options);
    const answer = await response.json();
    result.textContent = answer.error ? answer.error : '';
    refused(response.status === 403 ? answer.error : '');
  } catch (e) {
    result.textContent = 'no answer from dln-sim';
  }
}

// The line saying why the server refuses this page (empty: it does not).
function refused(why) {
  const line = document.getElementById('refused');
  line.textContent = why ? 'dln-sim refuses this page: ' + why : '';
  line.hidden = !why;
}

function setWorld(device, name, value, result) {
  const change = {set: {[name]: value}};
  change[device.bus] = device.address;
  post('/api/world', change, result);
}

// A slider with a number box for a setting with a range; a JSON text box otherwise.
function control(device, setting, result) {
  const row = document.createElement('div');
  row.className = 'control';
  const label = document.createElement('label');
  label.textContent = setting.name + (setting.unit ? ' (' + setting.unit + ')' : '');
  row.appendChild(label);
  if (setting.min === undefined) {
    const text = document.createElement('input');
    text.placeholder = setting.name === 'path'
        ? '[{"timeMs": 0, "distanceMm": 800}, {"timeMs": 5000, "distanceMm": 300}]'
        : '{"0x10": 60}';
    const button = document.createElement('button');
    button.textContent = 'Set';
    button.onclick = () => {
      let value;
      try { value = JSON.parse(text.value); } catch (e) { result.textContent = 'not JSON'; return; }
      setWorld(device, setting.name, value, result);
    };
    row.append(text, button);
    return row;
  }
  const step = setting.max <= 1 ? 0.01 : 1;
  const slider = document.createElement('input');
  Object.assign(slider, {type: 'range', min: setting.min, max: setting.max, step});
  const number = document.createElement('input');
  Object.assign(number, {type: 'number', min: setting.min, max: setting.max, step});
  slider.dataset.setting = number.dataset.setting = setting.name;
  slider.oninput = () => { number.value = slider.value; };
  slider.onchange = number.onchange = (event) => {
    slider.value = number.value = event.target.value;
    setWorld(device, setting.name, Number(event.target.value), result);
  };
  row.append(slider, number);
  return row;
}

// Built-in models have state of known shapes; an external device's is whatever its provider
// reports, shown as plain rows.
function builtIn(device) {
  return device.model !== 'external';
}

function buildPanel(device) {
  const id = idOf(device);
  const element = document.createElement('section');
  element.className = 'panel';
  element.id = id;
  const title = document.createElement('h2');
  title.innerHTML = device.model + ' <small>' + device.bus.toUpperCase() + ' ' +
      (device.bus === 'i2c' ? hex(device.address) : 'ss ' + device.address) + '</small>';
  element.appendChild(title);
  const table = document.createElement('table');
  table.className = 'values';
  for (const [key, value] of Object.entries(device.state)) {
    if (builtIn(device) && ['ranges', 'registers', 'path', 'inputs'].includes(key)) continue;
    const row = table.insertRow();
    const name = document.createElement('th');
    name.textContent = key; // an external device's provider names its own keys
    row.appendChild(name);
    row.insertCell().id = id + '-' + key;
  }
  element.appendChild(table);
  const panel = {element, chart: null, canvas: null};
  if (builtIn(device) && device.state.ranges) {
    panel.canvas = document.createElement('canvas');
    element.appendChild(panel.canvas);
    addChart(panel);
  }
  if (builtIn(device) && device.state.registers) {
    const grid = document.createElement('pre');
    grid.className = 'registers';
    grid.id = id + '-registers';
    element.appendChild(grid);
  }
  const result = document.createElement('div');
  result.className = 'result';
  for (const setting of device.settings || []) element.appendChild(control(device, setting, result));
  element.appendChild(result);
  return panel;
}

// The range chart, once chart.js is there.
function addChart(panel) {
  if (!panel.canvas || panel.chart || !chartLoaded) return;
  panel.chart = new Chart(panel.canvas, {
    type: 'line',
    data: {datasets: [{label: 'range (mm), last minute', data: [], borderColor: '#2b7bb9',
                       pointRadius: 1.5, borderWidth: 1, showLine: true}]},
    options: {animation: false, parsing: false, responsive: true,
              scales: {x: {type: 'linear', title: {display: true, text: 's'}},
                       y: {title: {display: true, text: 'mm'}, suggestedMin: 0}}},
  });
}

function updatePanel(device, panel) {
  const id = idOf(device);
  for (const [key, value] of Object.entries(device.state)) {
    const cell = document.getElementById(id + '-' + key);
    if (cell) cell.textContent = shown(key, value);
  }
  for (const input of panel.element.querySelectorAll('input[data-setting]')) {
    const value = device.state[input.dataset.setting];
    if (value !== undefined && document.activeElement !== input) input.value = value;
  }
  if (panel.chart) {
    panel.chart.data.datasets[0].data = device.state.ranges.map(([t, mm]) => ({x: t, y: mm}));
    panel.chart.update('none');
  }
  if (builtIn(device) && device.state.registers) {
    const lines = [];
    for (let row = 0; row < 16; row++)
      lines.push(hex(row * 16) + '  ' + device.state.registers.slice(row * 16, row * 16 + 16)
          .map(v => v.toString(16).padStart(2, '0')).join(' '));
    document.getElementById(id + '-registers').textContent = lines.join('\n');
  }
}

function render(state) {
  document.getElementById('time').textContent = state.timeS.toFixed(1);
  const unplugged = document.getElementById('unplugged');
  unplugged.hidden = !state.adapter.unplugged;
  unplugged.textContent = 'adapter unplugged for ' + state.adapter.unpluggedForS.toFixed(1) + ' s more';
  const bus = state.bus;
  document.getElementById('bus-callsPerSecond').textContent = bus.callsPerSecond.toFixed(0);
  for (const key of ['calls', 'clients', 'faultsInjected', 'pendingFaultCount'])
    document.getElementById('bus-' + key).textContent = shown(key, bus[key]);
  showFaults(bus.pendingFaults, bus.pendingFaultCount);
  document.getElementById('trace').textContent = bus.trace.join('\n');
  // Both lists come newest first, each line starting with its time ("2.500 s: ...").
  const changes = (state.timeline.applied || []).concat(state.changes)
      .sort((a, b) => parseFloat(b) - parseFloat(a));
  document.getElementById('changes').textContent = changes.join('\n') || 'none';
  const key = state.devices.map(d => idOf(d) + (builtIn(d) ? '' : ':' + Object.keys(d.state))).join(',');
  if (key !== deviceKey) {
    deviceKey = key;
    panels.clear();
    const container = document.getElementById('devices');
    container.replaceChildren();
    for (const device of state.devices) {
      const panel = buildPanel(device);
      panels.set(idOf(device), panel);
      container.appendChild(panel.element);
    }
  }
  for (const device of state.devices) updatePanel(device, panels.get(idOf(device)));
}

// The pending faults, one readable line each; the server sends the first few and the count.
function showFaults(faults, count) {
  const list = document.getElementById('faults');
  const lines = faults.slice();
  if (count > faults.length) lines.push('and ' + (count - faults.length) + ' more');
  if (list.dataset.shown === lines.join('\n')) return;
  list.dataset.shown = lines.join('\n');
  list.replaceChildren(...lines.map(line => {
    const item = document.createElement('li');
    item.textContent = line;
    return item;
  }));
}

// The state is fetched four times a second, one request at a time. Not a server-sent event
// stream: a browser opens at most six connections to one server, so streams held by six tabs
// would leave a seventh tab unable to load anything. When dln-sim does not answer the page
// says so and keeps trying; leaving the page stops it, coming back (also from the
// back/forward cache) starts it again.
const updateMs = 250, retryMs = 1000;
let polling = null; // the timer of the next request; null while the page is away
let round = 0;      // counts starts, so that a request answered after a restart ends its chain

function status(text, on) {
  const element = document.getElementById('connection');
  element.textContent = text;
  element.className = on ? 'on' : 'off';
}

async function poll(mine) {
  let delay = updateMs;
  try {
    const response = await fetch('/api/state', {cache: 'no-store'});
    const answer = await response.json();
    if (response.ok) {
      refused('');
      status('live', true);
      render(answer);
    } else {
      refused(response.status === 403 ? answer.error : '');
      status('refused (' + response.status + ')', false);
      delay = retryMs;
    }
  } catch (e) {
    status('reconnecting', false);
    delay = retryMs;
  }
  if (polling !== null && mine === round) polling = setTimeout(() => poll(mine), delay);
}

function start() {
  if (polling !== null) return;
  polling = 0;
  poll(++round);
}

function stop() {
  clearTimeout(polling);
  polling = null;
}

addEventListener('pagehide', stop);
addEventListener('pageshow', start);

// chart.js (200 KB) loads after the values are shown.
const chartScript = document.createElement('script');
chartScript.src = 'chart.js';
chartScript.async = true;
chartScript.onload = () => {
  chartLoaded = true;
  for (const panel of panels.values()) addChart(panel);
};
document.head.appendChild(chartScript);

document.getElementById('fault-form').onsubmit = (event) => {
  event.preventDefault();
  const form = event.target;
  const result = document.getElementById('fault-result');
  const fault = {call: form.call.value, code: form.code.value, count: Number(form.count.value)};
  const target = form.target.value.trim();
  if (target !== '') fault[form.call.value.startsWith('DlnSpi') ? 'ss' : 'address'] = target;
  post('/api/faults', fault, result);
};
document.getElementById('clear-faults').onclick = () =>
  post('/api/faults', null, document.getElementById('fault-result'));
