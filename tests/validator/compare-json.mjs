// Compares two JSON reports of vantor-host (the Linux and the Windows build's): the same keys,
// strings and structure, and numbers that differ at most in their last digits. Exits 1 otherwise.
//   node tests/validator/compare-json.mjs EXPECTED.json ACTUAL.json
import { readFileSync } from 'node:fs';

const tolerance = 1e-12;  // relative: the last digits of a double, nothing more
const differences = [];

function compare(expected, actual, where) {
  if (typeof expected === 'number' && typeof actual === 'number') {
    const scale = Math.max(Math.abs(expected), Math.abs(actual), 1e-300);
    if (expected !== actual && Math.abs(expected - actual) / scale > tolerance) {
      differences.push(`${where}: ${expected} against ${actual}`);
    }
  } else if (Array.isArray(expected) && Array.isArray(actual)) {
    if (expected.length !== actual.length) differences.push(`${where}: ${expected.length} items against ${actual.length}`);
    expected.forEach((item, i) => i < actual.length && compare(item, actual[i], `${where}[${i}]`));
  } else if (expected && actual && typeof expected === 'object' && typeof actual === 'object') {
    const keys = new Set([...Object.keys(expected), ...Object.keys(actual)]);
    for (const key of keys) {
      if (!(key in expected) || !(key in actual)) differences.push(`${where}.${key}: only in one`);
      else compare(expected[key], actual[key], `${where}.${key}`);
    }
  } else if (expected !== actual) {
    differences.push(`${where}: ${JSON.stringify(expected)} against ${JSON.stringify(actual)}`);
  }
}

const [expectedFile, actualFile] = process.argv.slice(2);
compare(JSON.parse(readFileSync(expectedFile, 'utf8')), JSON.parse(readFileSync(actualFile, 'utf8')), '$');
for (const difference of differences.slice(0, 20)) console.log(difference);
console.log(`${differences.length} differences`);
process.exit(differences.length === 0 ? 0 : 1);
