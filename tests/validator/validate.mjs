// Validates each glTF file given with the Khronos glTF validator; prints every issue and exits 1
// when any file cannot be read or has an error, a warning, or one of the notices below (what an
// importer turns into clutter: an empty node becomes an object of its own).
//   node tests/validator/validate.mjs FILE.glb...
import { readFile } from 'node:fs/promises';
import path from 'node:path';
import validator from 'gltf-validator';

const severities = ['error', 'warning', 'info', 'hint'];
const failingNotices = new Set(['NODE_EMPTY']);

async function validate(file) {
  let bytes;
  try {
    bytes = new Uint8Array(await readFile(file));
  } catch (error) {
    console.error(`${file}: ${error.message}`);
    return false;
  }
  const report = await validator.validateBytes(bytes, {
    uri: path.basename(file),
    maxIssues: 0,
    // a .glb carries its buffer inside: nothing outside the file may be needed
    externalResourceFunction: (uri) => Promise.reject(new Error(`external resource ${uri}`)),
  });
  const { numErrors, numWarnings, numInfos, numHints, messages } = report.issues;
  console.log(`${file}: ${numErrors} errors, ${numWarnings} warnings, ${numInfos} infos, ${numHints} hints`);
  for (const issue of messages) {
    console.log(`  ${severities[issue.severity] ?? issue.severity} ${issue.code} ${issue.pointer ?? ''}: ${issue.message}`);
  }
  const notices = messages.filter((issue) => failingNotices.has(issue.code)).length;
  return numErrors === 0 && numWarnings === 0 && notices === 0;
}

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('usage: node validate.mjs FILE.glb...');
  process.exit(2);
}
let ok = true;
for (const file of files) ok = (await validate(file)) && ok;
process.exit(ok ? 0 : 1);
