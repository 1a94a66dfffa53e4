#!/usr/bin/env node
// Reduces a canonical dump (stdin) to what mdbtools 1.0's mdb-export can show
// (stdout), so that a dump can be compared with mdbexport-dump's output:
//
//   node tools/oracle/lossy.mjs --mdbtools < DUMP
//
// Apply it to BOTH dumps and compare the results. Every rule maps a value to
// what mdb-export turns it into, and leaves mdb-export's own output unchanged
// (or maps both to the same thing), so that a reader that is right passes. The
// dump does not say a column's type, so each rule is written to be safe for
// every type whose values could look alike.
//
// What mdb-export loses, each checked against hand-made files:
// - Values are C strings: text and memo end at the first U+0000, and Binary
//   values at the first zero byte (an MSysACEs SID "a4f7...9019|00|94..."
//   comes out as "a4f7...9019"). OLE values are read by length and are not
//   cut; a hex string longer than Binary's 255 bytes is therefore left alone.
// - An empty string (and so an empty binary, or one starting with a zero
//   byte) prints exactly like NULL.
// - Memo values keep at most 199999 bytes of UTF-8, cut after a whole
//   character.
// - Singles print with 8 significant digits (%.8g), doubles with 16 (%.16g).
//   Nothing in the dump tells a single from a double or a Long, so every
//   number is rounded (halves to even, like printf) to 16 and then to 8
//   significant digits on both sides, which leaves integers below 1e8 (the
//   test tables' ids and counts) as they are.
// - Dates: a stored value below 0 (before 1899-12-30, and also times on
//   1899-12-30 that Access stores as -0.x) or above 1e6 days (after
//   4637-11-26) comes out as "1899-12-31 00:00:00". All dates up to
//   1899-12-30 23:59:59, from 4637-11-26 00:00:00 on, and that one printed
//   value become "(date mdbtools cannot print)".
// After the changes the rows of each table are sorted again as the dump sorts
// them.

import { exactRational, tableLines, writeOut } from "./canonical.mjs";

const PROG = "lossy";

const MEMO_MAX_BYTES = 199999;
const BINARY_MAX_HEX = 2 * 255;
const DATE_MARK = "(date mdbtools cannot print)";

function cutUtf8(s, maxBytes) {
    if (Buffer.byteLength(s, "utf8") <= maxBytes) return s;
    let bytes = 0;
    let end = 0;
    for (const ch of s) {
        const n = Buffer.byteLength(ch, "utf8");
        if (bytes + n > maxBytes) break;
        bytes += n;
        end += ch.length;
    }
    return s.slice(0, end);
}

function lossyString(s) {
    let t = s;
    const nul = t.indexOf("\u0000");
    if (nul >= 0) t = t.slice(0, nul);
    if (t.length <= BINARY_MAX_HEX && /^([0-9a-f]{2})+$/.test(t)) {
        for (let i = 0; i < t.length; i += 2) {
            if (t[i] === "0" && t[i + 1] === "0") {
                t = t.slice(0, i);
                break;
            }
        }
    }
    t = cutUtf8(t, MEMO_MAX_BYTES);
    if (t === "") return null;
    if (/^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$/.test(t)) {
        if (t <= "1899-12-30 23:59:59" || t === "1899-12-31 00:00:00" || t >= "4637-11-26 00:00:00") {
            return DATE_MARK;
        }
    } else if (/^-\d+-\d\d-\d\d \d\d:\d\d:\d\d$|^\d{5,}-\d\d-\d\d |^\(date /.test(t)) {
        return DATE_MARK; // years outside 0..9999, values no date can hold
    }
    return t;
}

// The exact decimal value of a finite double: |x| = digits * 10^-scale.
function exactDecimal(x) {
    const [num, den] = exactRational(Math.abs(x));
    const scale = den.toString(2).length - 1; // den = 2^scale
    return { digits: (num * 5n ** BigInt(scale)).toString(), scale };
}

// Rounds digits * 10^-scale to p significant digits, halves to even as
// glibc's printf does on exact values.
function roundDecimal({ digits, scale }, p) {
    if (digits.length <= p) return { digits, scale };
    const drop = digits.length - p;
    let head = BigInt(digits.slice(0, p));
    const first = digits[p];
    const tailZero = /^0*$/.test(digits.slice(p + 1));
    if (first > "5" || (first === "5" && (!tailZero || head % 2n === 1n))) head += 1n;
    return { digits: head.toString(), scale: scale - drop };
}

// What survives printing a single with %.8g or a double with %.16g: the
// value rounded to 16 digits, then to 8. For a double, mdb-export's 16 digits
// read back and rounded again give the same 8 digits; for a single, whose
// %.8g text is already 8 digits, likewise. Integers below 1e8 are unchanged.
function lossyNumber(x) {
    if (!Number.isFinite(x) || (Number.isInteger(x) && Math.abs(x) < 1e8)) return x; // fast path
    const r = roundDecimal(roundDecimal(exactDecimal(x), 16), 8);
    return Number(`${x < 0 ? "-" : ""}${r.digits}e${-r.scale}`);
}

function lossyValue(v) {
    if (typeof v === "string") return lossyString(v);
    if (typeof v === "number") return lossyNumber(v);
    return v;
}

function lossyDump(text) {
    const out = [];
    let name = null;
    let rows = [];
    const flush = () => {
        if (name === null) return;
        const idNumeric = rows.some((r) => typeof r.id === "number");
        out.push(...tableLines(name, idNumeric ? [["id", true]] : [], rows));
    };
    const lines = text.split("\n");
    if (lines[lines.length - 1] === "") lines.pop();
    for (const [i, line] of lines.entries()) {
        if (line.startsWith("# ")) {
            flush();
            name = line.slice(2);
            rows = [];
            continue;
        }
        if (name === null) throw new Error(`line ${i + 1}: row before any "# Table" line`);
        let row;
        try {
            row = JSON.parse(line);
        } catch (e) {
            throw new Error(`line ${i + 1}: ${e.message}`);
        }
        const out = {};
        for (const [k, v] of Object.entries(row)) out[k] = lossyValue(v);
        rows.push(out);
    }
    flush();
    return out.length ? out.join("\n") + "\n" : "";
}

const args = process.argv.slice(2);
if (args.length !== 1 || args[0] !== "--mdbtools") {
    process.stderr.write(`usage: ${PROG} --mdbtools < DUMP\n`);
    process.exit(2);
}
const chunks = [];
for await (const c of process.stdin) chunks.push(c);
try {
    await writeOut(lossyDump(Buffer.concat(chunks).toString("utf8")));
} catch (e) {
    process.stderr.write(`${PROG}: ${e.message}\n`);
    process.exit(1);
}
