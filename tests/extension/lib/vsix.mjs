// Reads a VSIX with its own ZIP parser rather than through the packer's library, so a fault
// in how Python's zipfile is driven cannot hide behind the same library reading it back.
import { inflateRawSync } from 'node:zlib';

const EOCD_SIGNATURE = 0x06054b50;
const CENTRAL_SIGNATURE = 0x02014b50;
const LOCAL_SIGNATURE = 0x04034b50;

const CRC_TABLE = (() => {
  const t = new Uint32Array(256);
  for (let n = 0; n < 256; n++) {
    let c = n;
    for (let k = 0; k < 8; k++) c = c & 1 ? 0xedb88320 ^ (c >>> 1) : c >>> 1;
    t[n] = c >>> 0;
  }
  return t;
})();

export function crc32(bytes) {
  let c = 0xffffffff;
  for (const b of bytes) c = CRC_TABLE[(c ^ b) & 0xff] ^ (c >>> 8);
  return (c ^ 0xffffffff) >>> 0;
}

// Returns the central directory's entries in archive order, each with its inflated data.
// Throws on anything a ZIP reader would reject: no end record, bad signatures, a CRC or
// size mismatch, or a local header that disagrees with the central one.
export function readZip(buffer) {
  const eocd = findEndRecord(buffer);
  const count = buffer.readUInt16LE(eocd + 10);
  const cdSize = buffer.readUInt32LE(eocd + 12);
  const cdOffset = buffer.readUInt32LE(eocd + 16);
  if (cdOffset + cdSize !== eocd) throw new Error('central directory does not end at the end record');
  const entries = [];
  let p = cdOffset;
  for (let i = 0; i < count; i++) {
    if (buffer.readUInt32LE(p) !== CENTRAL_SIGNATURE) throw new Error(`bad central header ${i}`);
    const method = buffer.readUInt16LE(p + 10);
    const crc = buffer.readUInt32LE(p + 16);
    const compressedSize = buffer.readUInt32LE(p + 20);
    const size = buffer.readUInt32LE(p + 24);
    const nameLength = buffer.readUInt16LE(p + 28);
    const extraLength = buffer.readUInt16LE(p + 30);
    const commentLength = buffer.readUInt16LE(p + 32);
    const localOffset = buffer.readUInt32LE(p + 42);
    const name = buffer.toString('utf8', p + 46, p + 46 + nameLength);
    p += 46 + nameLength + extraLength + commentLength;

    if (buffer.readUInt32LE(localOffset) !== LOCAL_SIGNATURE) throw new Error(`bad local header for ${name}`);
    const localMethod = buffer.readUInt16LE(localOffset + 8);
    const localNameLength = buffer.readUInt16LE(localOffset + 26);
    const localExtra = buffer.readUInt16LE(localOffset + 28);
    const localName = buffer.toString('utf8', localOffset + 30, localOffset + 30 + localNameLength);
    if (localName !== name || localMethod !== method) throw new Error(`local header disagrees for ${name}`);
    const start = localOffset + 30 + localNameLength + localExtra;
    const raw = buffer.subarray(start, start + compressedSize);
    let data;
    if (method === 8) data = inflateRawSync(raw);
    else if (method === 0) data = Buffer.from(raw);
    else throw new Error(`${name}: unsupported method ${method}`);
    if (data.length !== size) throw new Error(`${name}: size ${data.length}, header says ${size}`);
    if (crc32(data) !== crc) throw new Error(`${name}: CRC mismatch`);
    entries.push({ name, method, data });
  }
  if (p !== eocd) throw new Error('central directory size disagrees with its entries');
  return entries;
}

function findEndRecord(buffer) {
  for (let p = buffer.length - 22; p >= Math.max(0, buffer.length - 22 - 0xffff); p--) {
    if (buffer.readUInt32LE(p) === EOCD_SIGNATURE) return p;
  }
  throw new Error('no end-of-central-directory record: not a ZIP file');
}
