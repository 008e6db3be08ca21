// Fails unless the macOS module MODULE is one that macOS on Apple silicon would load as a plug-in:
//   - a thin arm64 Mach-O of type bundle (MH_BUNDLE);
//   - exporting _c4d_main and nothing else, both in its symbol table and in the export trie, which
//     is what dlsym searches;
//   - loading /usr/lib/libSystem.B.dylib and at most /usr/lib/libc++.1.dylib beside it;
//   - with one LC_BUILD_VERSION, platform macOS, minos 11.0 or 12.0 (every Apple silicon Mac runs
//     macOS 11 or later);
//   - signed ad hoc (macOS on arm64 loads no unsigned code), with a SHA-256 code directory whose
//     page hashes match the file, so nothing changed it after the link;
//   - in the two-level namespace, every undefined symbol bound to a library among STUBS that
//     exports it for arm64.
//
//   node cmake/check_macho.mjs build-macos/plugins/vantor/vantorR2025.dudi [--stubs TBD[,TBD...]]
//        [--llvm-nm llvm-nm-14]
//
// STUBS are the text stubs (.tbd) of the system libraries the link used, by default the one of the
// macOS cross build's toolchain (.toolchains/macos-arm64/lib/libSystem.tbd). The module is read
// here: its header, load commands, symbol table, export trie and code signature. Only the stubs
// go to llvm-nm, which knows every version of their YAML and the symbols an Objective-C class
// entry stands for.
import { spawnSync } from 'node:child_process';
import { createHash } from 'node:crypto';
import { accessSync, constants, existsSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { parseArgs } from 'node:util';

const usage = 'usage: node check_macho.mjs MODULE [--stubs TBD[,TBD...]] [--llvm-nm PROGRAM]';
const defaultStub = fileURLToPath(new URL('../.toolchains/macos-arm64/lib/libSystem.tbd', import.meta.url));

const FAT_MAGIC = 0xcafebabe;
const FAT_MAGIC_64 = 0xcafebabf;
const MH_MAGIC = 0xfeedface;
const MH_MAGIC_64 = 0xfeedfacf;
const MH_TWOLEVEL = 0x80;
const LC_SYMTAB = 0x2;
const LC_CODE_SIGNATURE = 0x1d;
const LC_DYLD_INFO = 0x22;
const LC_DYLD_INFO_ONLY = 0x80000022;
const LC_BUILD_VERSION = 0x32;
const LC_DYLD_EXPORTS_TRIE = 0x80000033;
// LC_LOAD_DYLIB, LC_LOAD_WEAK_DYLIB, LC_REEXPORT_DYLIB, LC_LAZY_LOAD_DYLIB, LC_LOAD_UPWARD_DYLIB:
// a symbol's library ordinal counts these in their order
const dylibCommands = new Set([0xc, 0x80000018, 0x8000001f, 0x20, 0x80000023]);
const versionMinCommands = new Map([
  [0x24, 'LC_VERSION_MIN_MACOSX'], [0x25, 'LC_VERSION_MIN_IPHONEOS'],
  [0x2f, 'LC_VERSION_MIN_TVOS'], [0x30, 'LC_VERSION_MIN_WATCHOS'],
]);
const cpuNames = new Map([
  [0x7, 'I386'], [0x01000007, 'X86_64'], [0xc, 'ARM'], [0x0100000c, 'ARM64'], [0x0200000c, 'ARM64_32'],
  [0x12, 'PPC'], [0x01000012, 'PPC64'],
]);
const fileTypes = ['0', 'OBJECT', 'EXECUTE', 'FVMLIB', 'CORE', 'PRELOAD', 'DYLIB', 'DYLINKER', 'BUNDLE',
  'DYLIB_STUB', 'DSYM', 'KEXT_BUNDLE', 'FILESET'];
const platforms = ['0', 'macos', 'ios', 'tvos', 'watchos', 'bridgeos', 'macCatalyst', 'iossimulator',
  'tvossimulator', 'watchossimulator', 'driverkit'];
// nlist: n_type's bits, and the library ordinals in n_desc's high byte that name no library
const N_STAB = 0xe0;
const N_TYPE = 0x0e;
const N_EXT = 0x01;
const N_UNDF = 0x0;
const N_PBUD = 0xc;
const DYNAMIC_LOOKUP_ORDINAL = 0xfe;
const EXECUTABLE_ORDINAL = 0xff;
// the code signature's blobs
const CSMAGIC_EMBEDDED_SIGNATURE = 0xfade0cc0;
const CSMAGIC_CODEDIRECTORY = 0xfade0c02;
const CSSLOT_CODEDIRECTORY = 0;
const CSSLOT_SIGNATURESLOT = 0x10000;
const CS_ADHOC = 0x2;
const CS_HASHTYPE_SHA256 = 2;

function fail(text, status = 1) {
  console.error(text);
  process.exit(status);
}

// The first of NAMES found on PATH, or null.
function findProgram(names) {
  for (const folder of (process.env.PATH ?? '').split(path.delimiter).filter(Boolean)) {
    for (const name of names) {
      const candidate = path.join(folder, name);
      try {
        accessSync(candidate, constants.X_OK);
        return candidate;
      } catch {
        // not in this folder
      }
    }
  }
  return null;
}

function readOptions() {
  let parsed;
  try {
    parsed = parseArgs({
      allowPositionals: true,
      options: { stubs: { type: 'string', multiple: true }, 'llvm-nm': { type: 'string' } },
    });
  } catch (error) {
    fail(`${error.message}\n${usage}`, 2);
  }
  const { values, positionals } = parsed;
  if (positionals.length !== 1) fail(usage, 2);
  const stubs = values.stubs ? values.stubs.flatMap((list) => list.split(',')).filter(Boolean) : [defaultStub];
  return { module: positionals[0], stubs, nm: values['llvm-nm'] ?? findProgram(['llvm-nm-14', 'llvm-nm']) };
}

// The NUL-ended string at AT, cut at END.
function cString(bytes, at, end = bytes.length) {
  const stop = bytes.indexOf(0, at);
  return bytes.toString('utf8', at, stop < 0 || stop > end ? end : stop);
}

function field(image, command, offset) {
  return image.readUInt32LE(command.at + offset);
}

// The short name a library goes by in a binding: libSystem for /usr/lib/libSystem.B.dylib.
function shortName(installName) {
  return path.basename(installName).replace(/\..*/, '');
}

// The thin Mach-O in FILE: the file itself, or the first architecture of a universal file.
function thinImage(file, problems) {
  const magic = file.length >= 8 ? file.readUInt32BE(0) : 0;
  if (magic !== FAT_MAGIC && magic !== FAT_MAGIC_64) return file;
  const count = file.readUInt32BE(4);
  if (count > 1) problems.push(`is a universal file of ${count} architectures, expected arm64 alone`);
  const wide = magic === FAT_MAGIC_64;
  const offset = wide ? Number(file.readBigUInt64BE(16)) : file.readUInt32BE(16);
  const size = wide ? Number(file.readBigUInt64BE(24)) : file.readUInt32BE(20);
  return file.subarray(offset, offset + size);
}

// The Mach-O header of IMAGE, or null when it has none (a big-endian one included).
function readHeader(image) {
  const magic = image.length >= 28 ? image.readUInt32LE(0) : 0;
  if (magic !== MH_MAGIC && magic !== MH_MAGIC_64) return null;
  const wide = magic === MH_MAGIC_64;
  return {
    wide,
    magic: wide ? 'MH_MAGIC_64' : 'MH_MAGIC',
    cpu: image.readUInt32LE(4),
    fileType: image.readUInt32LE(12),
    commandCount: image.readUInt32LE(16),
    flags: image.readUInt32LE(24),
  };
}

// The load commands: each one's kind, offset and size.
function loadCommands(image, header) {
  const commands = [];
  let at = header.wide ? 32 : 28;
  for (let index = 0; index < header.commandCount; index++) {
    const command = { kind: image.readUInt32LE(at), at, size: image.readUInt32LE(at + 4) };
    if (command.size < 8 || at + command.size > image.length) {
      throw new RangeError(`load command ${index} runs past the file`);
    }
    commands.push(command);
    at += command.size;
  }
  return commands;
}

function headerProblems(header) {
  const problems = [];
  const cpu = cpuNames.get(header.cpu) ?? `0x${header.cpu.toString(16)}`;
  if (header.magic !== 'MH_MAGIC_64' || cpu !== 'ARM64') {
    problems.push(`is a ${header.magic} ${cpu} Mach-O, expected MH_MAGIC_64 ARM64`);
  }
  const fileType = fileTypes[header.fileType] ?? String(header.fileType);
  if (fileType !== 'BUNDLE') problems.push(`is of type ${fileType}, expected BUNDLE`);
  return problems;
}

function dylibNames(image, commands) {
  return commands.filter((command) => dylibCommands.has(command.kind))
    .map((command) => cString(image, command.at + field(image, command, 8), command.at + command.size));
}

function libraryProblems(dylibs) {
  const problems = [];
  if (!dylibs.includes('/usr/lib/libSystem.B.dylib')) problems.push('does not load /usr/lib/libSystem.B.dylib');
  const foreign = dylibs.filter((dylib) => !/^\/usr\/lib\/(libSystem\.B|libc\+\+\.1)\.dylib$/.test(dylib));
  if (foreign.length > 0) problems.push(`loads [${foreign.join(', ')}], which are not libSystem or libc++ of macOS`);
  return problems;
}

// X.Y.Z packed in nibbles xxxx.yy.zz, written as X.Y, or X.Y.Z when Z is not 0.
function versionText(packed) {
  const patch = packed & 0xff;
  return `${packed >>> 16}.${(packed >>> 8) & 0xff}${patch ? `.${patch}` : ''}`;
}

// Each LC_BUILD_VERSION as "platform minos", each LC_VERSION_MIN_* by its name.
function buildVersions(image, commands) {
  const builds = [];
  for (const command of commands) {
    if (command.kind === LC_BUILD_VERSION) {
      const platform = field(image, command, 8);
      builds.push(`${platforms[platform] ?? `platform ${platform}`} ${versionText(field(image, command, 12))}`);
    } else if (versionMinCommands.has(command.kind)) {
      builds.push(versionMinCommands.get(command.kind));
    }
  }
  return builds;
}

// The symbol table's entries: name, n_type and n_desc.
function symbolTable(image, header, commands) {
  const symtab = commands.find((command) => command.kind === LC_SYMTAB);
  if (!symtab) return [];
  const [symoff, nsyms, stroff, strsize] = [8, 12, 16, 20].map((offset) => field(image, symtab, offset));
  const entrySize = header.wide ? 16 : 12;
  const symbols = [];
  for (let index = 0; index < nsyms; index++) {
    const at = symoff + index * entrySize;
    const name = cString(image, stroff + image.readUInt32LE(at), stroff + strsize);
    symbols.push({ name, type: image.readUInt8(at + 4), desc: image.readUInt16LE(at + 6) });
  }
  return symbols;
}

function isUndefined(symbol) {
  const type = symbol.type & N_TYPE;
  return (symbol.type & N_STAB) === 0 && (type === N_UNDF || type === N_PBUD);
}

function isExported(symbol) {
  return (symbol.type & N_STAB) === 0 && (symbol.type & N_EXT) !== 0 && !isUndefined(symbol);
}

function uleb128(bytes, cursor) {
  let value = 0;
  let scale = 1;
  let byte;
  do {
    byte = bytes.readUInt8(cursor.at++);
    value += (byte & 0x7f) * scale;
    scale *= 128;
  } while (byte & 0x80);
  return value;
}

// The names in an export trie: each node is its terminal's size and data, then its children,
// each an edge label (NUL-ended) and the child's offset.
function trieNames(trie) {
  const names = [];
  const pending = [{ at: 0, prefix: '' }];
  const seen = new Set();
  while (pending.length > 0) {
    const { at, prefix } = pending.pop();
    if (seen.has(at)) throw new RangeError('the export trie loops');
    seen.add(at);
    const cursor = { at };
    const terminalSize = uleb128(trie, cursor);
    if (terminalSize > 0) names.push(Buffer.from(prefix, 'latin1').toString());
    cursor.at += terminalSize;
    const children = trie.readUInt8(cursor.at++);
    for (let child = 0; child < children; child++) {
      const end = trie.indexOf(0, cursor.at);
      if (end < 0) throw new RangeError('an edge of the export trie has no end');
      const label = trie.toString('latin1', cursor.at, end);
      cursor.at = end + 1;
      pending.push({ at: uleb128(trie, cursor), prefix: prefix + label });
    }
  }
  return names;
}

// The export trie's names, from LC_DYLD_INFO(_ONLY) or LC_DYLD_EXPORTS_TRIE.
function exportTrie(image, commands) {
  const info = commands.find((command) => command.kind === LC_DYLD_INFO || command.kind === LC_DYLD_INFO_ONLY);
  const trie = commands.find((command) => command.kind === LC_DYLD_EXPORTS_TRIE);
  const where = info ? [field(image, info, 40), field(image, info, 44)]
    : trie ? [field(image, trie, 8), field(image, trie, 12)] : [0, 0];
  const [offset, size] = where;
  if (size === 0) return [];
  if (offset + size > image.length) throw new RangeError('the export trie runs past the file');
  return trieNames(image.subarray(offset, offset + size));
}

function exportProblems(exports, where) {
  if (exports.length === 1 && exports[0] === '_c4d_main') return [];
  return [`exports [${exports.join(', ')}] in its ${where}, expected only _c4d_main`];
}

// Per library short name, the symbols its stubs export for arm64. llvm-nm reads the first document
// of a stub alone, and the symbols of libSystem are in the documents of the libraries it
// re-exports: each document goes to llvm-nm as a file of its own.
function stubSymbols(stubs, nm) {
  const libraries = new Map();
  const scratch = mkdtempSync(path.join(tmpdir(), 'check_macho-'));
  try {
    stubs.forEach((stub, index) => {
      const text = readFileSync(stub, 'utf8');
      const installName = /install-name: *'?([^'\n]+)/.exec(text)?.[1] ?? stub;
      const files = writeDocuments(text, path.join(scratch, String(index)));
      libraries.set(shortName(installName), new Set(definedNames(nm, files)));
    });
  } finally {
    rmSync(scratch, { recursive: true, force: true });
  }
  return libraries;
}

// Writes each YAML document of TEXT to PREFIX-N.tbd, ended as a document must be; the files.
function writeDocuments(text, prefix) {
  const documents = text.split(/^(?=--- !tapi-tbd)/m).filter((document) => document.startsWith('--- !tapi-tbd'));
  return documents.map((document, index) => {
    const file = `${prefix}-${index}.tbd`;
    writeFileSync(file, /\n\.\.\.\n*$/.test(document) ? document : `${document}...\n`);
    return file;
  });
}

// What llvm-nm lists as defined for arm64 in FILES; a file without arm64 lists nothing.
function definedNames(nm, files) {
  if (files.length === 0) return [];
  const result = spawnSync(nm, ['--arch=arm64', '--defined-only', '--just-symbol-name', ...files],
    { encoding: 'utf8', maxBuffer: 256 * 1024 * 1024 });
  if (result.error) fail(`${nm} could not run: ${result.error.message}`);
  const headings = new Set(files.map((file) => `${file}:`));
  return result.stdout.split('\n').filter((line) => line && !headings.has(line));
}

// Why an undefined symbol would not be found when loaded, or '' when its library's stub has it.
function unboundReason(symbol, dylibs, libraries) {
  const ordinal = symbol.desc >>> 8;
  if (ordinal === DYNAMIC_LOOKUP_ORDINAL) return 'dynamically looked up';
  if (ordinal === EXECUTABLE_ORDINAL) return 'from executable';
  if (ordinal === 0 || ordinal > dylibs.length) return `bad library ordinal ${ordinal}`;
  const library = shortName(dylibs[ordinal - 1]);
  if (!libraries.has(library)) return `from ${library}, no stub given`;
  return libraries.get(library).has(symbol.name) ? '' : `not in ${library}`;
}

function bindingProblems(header, symbols, dylibs, libraries) {
  const problems = [];
  const twoLevel = (header.flags & MH_TWOLEVEL) !== 0;
  if (!twoLevel) {
    problems.push('uses the flat namespace: its undefined symbols would come from whatever the process loaded');
  }
  const unbound = [];
  for (const symbol of symbols.filter(isUndefined)) {
    const reason = twoLevel ? unboundReason(symbol, dylibs, libraries) : 'flat namespace';
    if (reason) unbound.push(`${symbol.name} (${reason})`);
  }
  if (unbound.length > 0) {
    problems.push(`has undefined symbols the system libraries do not provide (${unbound.length}): ${unbound.slice(0, 8).join(', ')}`);
  }
  return problems;
}

// The code signature's SuperBlob index (big-endian, as all its blobs): where the code directory
// is, and whether a CMS blob carries a certificate's signature; or the problem with it.
function signatureIndex(blob) {
  const count = blob.readUInt32BE(8);
  if (count < 1 || 12 + count * 8 > blob.length) return { problem: 'has a code signature whose index is damaged' };
  let directory = -1;
  let certified = false;
  for (let slot = 0; slot < count; slot++) {
    const type = blob.readUInt32BE(12 + slot * 8);
    const offset = blob.readUInt32BE(16 + slot * 8);
    // a blob starts with its magic and length; a code directory's fields read below take 44 bytes
    if (offset > blob.length - 8 || (type === CSSLOT_CODEDIRECTORY && offset > blob.length - 44)) {
      return { problem: 'has a code signature whose index points outside it' };
    }
    if (type === CSSLOT_CODEDIRECTORY) directory = offset;
    // a CMS blob with more than its 8-byte header carries a certificate's signature
    else if (type === CSSLOT_SIGNATURESLOT && blob.readUInt32BE(offset + 4) > 8) certified = true;
  }
  if (directory < 0) return { problem: 'has a code signature without a code directory' };
  return { directory, certified };
}

// CodeDirectory: magic, length, version, flags, hashOffset, identOffset, nSpecialSlots,
// nCodeSlots, codeLimit (32-bit each), then hashSize, hashType, platform, pageSize (bytes).
function readDirectory(blob, at) {
  const word = (offset) => blob.readUInt32BE(at + offset);
  return {
    magic: word(0), flags: word(12), hashes: at + word(16), codeSlots: word(28), codeLimit: word(32),
    hashSize: blob.readUInt8(at + 36), hashType: blob.readUInt8(at + 37), pageShift: blob.readUInt8(at + 39),
  };
}

// The first page of IMAGE whose SHA-256 is not the one recorded in BLOB, or -1.
function changedPage(image, blob, directory, page) {
  for (let index = 0; index < directory.codeSlots; index++) {
    const bytes = image.subarray(index * page, Math.min((index + 1) * page, directory.codeLimit));
    const recorded = blob.subarray(directory.hashes + index * 32, directory.hashes + (index + 1) * 32);
    if (!createHash('sha256').update(bytes).digest().equals(recorded)) return index;
  }
  return -1;
}

function directoryProblem(image, blob, directory, certified, dataoff) {
  const { magic, flags, codeSlots, codeLimit, hashSize, hashType, pageShift } = directory;
  if (magic !== CSMAGIC_CODEDIRECTORY) return 'has a code signature whose code directory is damaged';
  if ((flags & CS_ADHOC) === 0 || certified) return `has a code signature that is not ad hoc (flags 0x${flags.toString(16)})`;
  if (codeLimit !== dataoff) return `has a code signature covering ${codeLimit} bytes, expected the ${dataoff} before it`;
  if (hashType !== CS_HASHTYPE_SHA256 || hashSize !== 32) {
    return `has a code signature with hash type ${hashType}, expected SHA-256 (${CS_HASHTYPE_SHA256})`;
  }
  const page = 2 ** pageShift;
  const pages = Math.ceil(codeLimit / page);
  if (pages !== codeSlots) return `has a code signature of ${codeSlots} pages of ${page} bytes, but the file has ${pages}`;
  if (directory.hashes + codeSlots * 32 > blob.length) return 'has a code signature whose page hashes lie outside it';
  const changed = changedPage(image, blob, directory, page);
  if (changed >= 0) return `has a code signature whose hash of page ${changed} does not match: changed after signing`;
  return '';
}

// An ad-hoc signature whose page hashes are those of the file, or the problem with it.
function signatureProblems(image, commands) {
  const command = commands.findLast((candidate) => candidate.kind === LC_CODE_SIGNATURE);
  if (!command) return ['has no code signature (LC_CODE_SIGNATURE): macOS on arm64 would refuse to load it'];
  const dataoff = field(image, command, 8);
  const datasize = field(image, command, 12);
  if (dataoff + datasize > image.length || datasize < 12) return ['has a code signature outside the file'];
  const blob = image.subarray(dataoff, dataoff + datasize);
  const magic = blob.readUInt32BE(0);
  if (magic !== CSMAGIC_EMBEDDED_SIGNATURE) {
    return [`has a code signature that is no embedded signature (magic 0x${magic.toString(16)})`];
  }
  const { problem, directory, certified } = signatureIndex(blob);
  if (problem) return [problem];
  const directoryText = directoryProblem(image, blob, readDirectory(blob, directory), certified, dataoff);
  return directoryText ? [directoryText] : [];
}

// Checks MODULE: prints what it is and returns true, or prints its problems and returns false.
function check(module, stubs, nm) {
  const problems = [];
  const image = thinImage(readFileSync(module), problems);
  const header = readHeader(image);
  if (!header) fail(`${module} is not a Mach-O file`);
  const commands = loadCommands(image, header);
  const dylibs = dylibNames(image, commands);
  const builds = buildVersions(image, commands);
  const symbols = symbolTable(image, header, commands);
  problems.push(...headerProblems(header), ...libraryProblems(dylibs));
  if (builds.length !== 1 || !/^macos 1[12]\.0$/.test(builds[0])) {
    problems.push(`has build versions [${builds.join(', ')}], expected one LC_BUILD_VERSION: macos, minos 11.0 or 12.0`);
  }
  problems.push(...exportProblems(symbols.filter(isExported).map((symbol) => symbol.name).sort(), 'symbol table'));
  problems.push(...exportProblems(exportTrie(image, commands).sort(), 'export trie'));
  problems.push(...bindingProblems(header, symbols, dylibs, stubSymbols(stubs, nm)));
  problems.push(...signatureProblems(image, commands));
  const loads = dylibs.length > 0 ? dylibs.join(', ') : 'no library';
  if (problems.length > 0) {
    console.error(`${module}:\n  ${problems.join('\n  ')}\n  (loads: ${loads})`);
    return false;
  }
  console.log(`${module}: arm64 bundle, ${builds[0]}, exports only _c4d_main, loads ${loads}, signed ad hoc`);
  return true;
}

const { module, stubs, nm } = readOptions();
if (!existsSync(module)) fail(`${module} does not exist`);
for (const stub of stubs) {
  if (!existsSync(stub)) fail(`no stub ${stub}: run scripts/install-macos-toolchain.sh or give --stubs`);
}
if (!nm) fail('no llvm-nm-14 or llvm-nm on PATH: run scripts/install-deps.sh macos or give --llvm-nm');
try {
  process.exit(check(module, stubs, nm) ? 0 : 1);
} catch (error) {
  if (!(error instanceof RangeError)) throw error;
  fail(`${module} is a damaged Mach-O file: ${error.message}`);
}
