// The live page: one panel per device, rebuilt when the devices change and otherwise only
// updated, from the server-sent state; controls post world changes to the JSON API.
'use strict';

const panels = new Map(); // "i2c-0x29" -> {element, charts}
let deviceKey = '';

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
  if (key === 'pendingFaults') return value.length ? value.map(f => JSON.stringify(f)).join(', ') : 'none';
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
  const response = await fetch(path, options);
  const answer = await response.json();
  result.textContent = answer.error ? answer.error : '';
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
    if (['ranges', 'registers', 'path', 'inputs'].includes(key)) continue;
    const row = table.insertRow();
    row.insertCell().outerHTML = '<th>' + key + '</th>';
    row.insertCell().id = id + '-' + key;
  }
  element.appendChild(table);
  const panel = {element, chart: null};
  if (device.state.ranges) {
    const canvas = document.createElement('canvas');
    element.appendChild(canvas);
    panel.chart = new Chart(canvas, {
      type: 'line',
      data: {datasets: [{label: 'range (mm), last minute', data: [], borderColor: '#2b7bb9',
                         pointRadius: 1.5, borderWidth: 1, showLine: true}]},
      options: {animation: false, parsing: false, responsive: true,
                scales: {x: {type: 'linear', title: {display: true, text: 's'}},
                         y: {title: {display: true, text: 'mm'}, suggestedMin: 0}}},
    });
  }
  if (device.state.registers) {
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
  if (device.state.registers) {
    const lines = [];
    for (let row = 0; row < 16; row++)
      lines.push(hex(row * 16) + '  ' + device.state.registers.slice(row * 16, row * 16 + 16)
          .map(v => v.toString(16).padStart(2, '0')).join(' '));
    document.getElementById(id + '-registers').textContent = lines.join('\n');
  }
}

function render(state) {
  document.getElementById('time').textContent = state.timeS.toFixed(1);
  const bus = state.bus;
  document.getElementById('bus-callsPerSecond').textContent = bus.callsPerSecond.toFixed(0);
  for (const key of ['calls', 'clients', 'faultsInjected', 'pendingFaults'])
    document.getElementById('bus-' + key).textContent = shown(key, bus[key]);
  document.getElementById('trace').textContent = bus.trace.join('\n');
  const changes = (state.timeline.applied || []).concat(state.changes);
  document.getElementById('changes').textContent = changes.join('\n') || 'none';
  const key = state.devices.map(idOf).join(',');
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

function connect() {
  const status = document.getElementById('connection');
  const events = new EventSource('/api/events');
  events.onopen = () => { status.textContent = 'live'; status.className = 'on'; };
  events.onmessage = (event) => render(JSON.parse(event.data));
  events.onerror = () => { status.textContent = 'reconnecting'; status.className = 'off'; };
}

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

connect();
