// The attribute panel, made from the object's live description (vantor_describe): a fieldset for
// each group, a control for each parameter by its type, enabled as the object says.

const kTopLevel = 0;

function Colour(value) {
  const channel = (x) => Math.round(Math.min(Math.max(x, 0), 1) * 255).toString(16).padStart(2, '0');
  return Array.isArray(value) ? `#${value.map(channel).join('')}` : '#000000';
}

function ColourText(hex) {
  return [1, 3, 5].map((i) => (parseInt(hex.slice(i, i + 2), 16) / 255).toFixed(4)).join(' ');
}

// One control for an entry; edit(text) makes a user edit, press() presses the button, link(name)
// points a link at a material (null for none), of those named in materials.
function Control(entry, handlers, materials) {
  const make = (tag, properties) => Object.assign(document.createElement(tag), properties);
  const edit = (text) => handlers.edit(entry, text);
  const press = () => handlers.press(entry);
  switch (entry.type) {
    case 'link': {
      const select = make('select', {});
      select.append(make('option', { value: '', textContent: '(none)' }));
      for (const name of materials) select.append(make('option', { value: name, textContent: name }));
      select.value = typeof entry.value === 'string' ? entry.value : '';
      select.onchange = () => handlers.link(entry, select.value || null);
      return select;
    }
    case 'button':
      return make('button', { type: 'button', textContent: entry.label, onclick: press });
    case 'bool': {
      const box = make('input', { type: 'checkbox', checked: entry.value === true });
      box.onchange = () => edit(box.checked ? '1' : '0');
      return box;
    }
    case 'colour':
    case 'vector': {
      const picker = make('input', { type: 'color', value: Colour(entry.value) });
      picker.onchange = () => edit(ColourText(picker.value));
      return picker;
    }
    case 'int':
    case 'float': {
      if (entry.choices) {
        const select = make('select', {});
        for (const [value, label] of entry.choices) select.append(make('option', { value, textContent: label }));
        select.value = String(entry.value);
        select.onchange = () => edit(select.value);
        return select;
      }
      const number = make('input', { type: 'number', value: entry.value ?? '' });
      if (entry.min !== undefined) number.min = entry.min;
      if (entry.max !== undefined) number.max = entry.max;
      number.step = entry.step ?? (entry.type === 'int' ? 1 : 'any');
      number.onchange = () => edit(number.value);
      return number;
    }
    default: {
      const text = make('input', { type: 'text', value: typeof entry.value === 'string' ? entry.value : '' });
      text.onchange = () => edit(text.value);
      return text;
    }
  }
}

// Fills form with the description's entries; handlers.edit(entry, text), handlers.press(entry),
// handlers.link(entry, material).
export function FillPanel(form, description, materials, handlers) {
  form.replaceChildren();
  const groups = new Map([[kTopLevel, form]]);
  for (const entry of description.entries) {
    const parent = groups.get(entry.parent) ?? form;
    if (entry.type === 'group') {
      const fieldset = document.createElement('fieldset');
      const legend = document.createElement('legend');
      legend.textContent = entry.label;
      fieldset.append(legend);
      fieldset.dataset.id = entry.id;
      parent.append(fieldset);
      groups.set(entry.id, fieldset);
      continue;
    }
    const row = document.createElement('div');
    row.className = entry.enabled ? 'row' : 'row disabled';
    row.hidden = entry.hidden === true;
    row.dataset.id = entry.id;
    row.dataset.type = entry.type;
    if (entry.name) row.dataset.name = entry.name;
    if (entry.help) row.title = entry.help;
    const label = document.createElement('label');
    label.textContent = entry.type === 'button' ? '' : entry.label;
    const control = Control(entry, handlers, materials);
    control.disabled = !entry.enabled;
    row.append(label, control);
    parent.append(row);
  }
}
