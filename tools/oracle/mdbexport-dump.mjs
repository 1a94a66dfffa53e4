#!/usr/bin/env node
// Canonical dump of a Jet file as read by mdbtools 1.0's command-line tools,
// the second independent reader the tests compare the storage engine against.
//
//   node tools/oracle/mdbexport-dump.mjs FILE [--all | --system | --table NAME ...]
//
// mdb-tables lists the tables, mdb-schema (access backend) gives each
// column's type in table order, and mdb-export (one process per table) gives
// the rows as CSV with an unquoted NULL marker, binaries in hex and dates in
// ISO form. mdb-export cannot tell an empty string from NULL, prints doubles
// and singles with 16 and 8 significant digits, cuts long memos and misprints
// dates before 1899-12-30: compare its dump with ours only after passing both
// through `lossy.mjs --mdbtools`. A table with a column type mdbtools does not
// decode (Access 2000's MSysAccessObjects, type 0x11, which mdb-export prints
// as empty) is left out with a note on stderr.

import { spawnSync } from "node:child_process";
import {
    formatDateMs,
    plainDecimal,
    runMain,
    selectTables,
    tableLines,
} from "./canonical.mjs";

const PROG = "mdbexport-dump";

// Written unquoted for NULL (and, by mdb-export, for empty strings); every
// text-like value is quoted, so a quoted "NULL" is still text.
const NULL_MARK = "NULL";
const DATE_FORMAT = "%Y-%m-%d %H:%M:%S";

// mdb-schema's access-backend type names -> how the value is converted.
const KINDS = new Map([
    ["Boolean", "bool"],
    ["Byte", "int"],
    ["Integer", "int"],
    ["Long Integer", "int"],
    ["Single", "float"],
    ["Double", "float"],
    ["Currency", "decimal"],
    ["Numeric", "decimal"],
    ["DateTime", "date"],
    ["DateTime (Short)", "date"],
    ["Binary", "hex"],
    ["OLE", "hex"],
    ["Text", "text"],
    ["Memo/Hyperlink", "text"],
    ["Replication ID", "guid"],
]);

function run(cmd, args) {
    const r = spawnSync(cmd, args, { maxBuffer: 1 << 30 });
    if (r.error) throw new Error(`${cmd}: ${r.error.message}`);
    if (r.status !== 0) {
        throw new Error(`${cmd} ${args.join(" ")} failed: ${r.stderr.toString().trim()}`);
    }
    return r.stdout.toString("utf8");
}

// mdb-tables lists user tables; with -S also the system ones.
function listTables(file, withSystem) {
    return run("mdb-tables", [...(withSystem ? ["-S"] : []), "-1", file])
        .split("\n")
        .filter((n) => n !== "");
}

// Columns of one table as [{ name, type, kind }], in table order, from
//     CREATE TABLE [T]
//      (
//         [name]          Text (255) NOT NULL,
//      ...
//     );
function readColumns(file, table) {
    const text = run("mdb-schema", ["-T", table, file, "access"]);
    const columns = [];
    let inside = false;
    for (const line of text.split("\n")) {
        if (line.startsWith("CREATE TABLE [")) {
            if (line !== `CREATE TABLE [${table}]`) continue;
            if (inside || columns.length) throw new Error(`mdb-schema: ${table} twice`);
            inside = true;
        } else if (inside && line.startsWith(");")) {
            inside = false;
        } else if (inside) {
            const m = /^\s*\[([^\]]*)\]\s+(.*?)(?: \([0-9, ]*\))?(?: NOT NULL)?,?\s*$/.exec(line);
            if (m) columns.push({ name: m[1], type: m[2], kind: KINDS.get(m[2]) ?? null });
            else if (!/^\s*\(?\s*$/.test(line)) throw new Error(`mdb-schema: cannot read "${line}"`);
        }
    }
    if (!columns.length) throw new Error(`mdb-schema printed no columns for ${table}`);
    return columns;
}

// mdb-export's CSV: "," between fields, "\n" after each row, text-like values
// in double quotes with inner quotes doubled and every other character (line
// breaks too) as is. Returns rows of { text, quoted } fields.
function parseCsv(text) {
    const rows = [];
    let row = [];
    let i = 0;
    const n = text.length;
    while (i < n) {
        let field;
        if (text[i] === '"') {
            let s = "";
            i++;
            for (;;) {
                const q = text.indexOf('"', i);
                if (q < 0) throw new Error("mdb-export: unterminated quoted field");
                s += text.slice(i, q);
                if (text[q + 1] === '"') {
                    s += '"';
                    i = q + 2;
                } else {
                    i = q + 1;
                    break;
                }
            }
            field = { text: s, quoted: true };
        } else {
            let j = i;
            while (j < n && text[j] !== "," && text[j] !== "\n") j++;
            field = { text: text.slice(i, j), quoted: false };
            i = j;
        }
        row.push(field);
        if (i >= n) throw new Error("mdb-export: last row has no line end");
        if (text[i] === ",") {
            i++;
        } else if (text[i] === "\n") {
            rows.push(row);
            row = [];
            i++;
        } else {
            throw new Error(`mdb-export: unexpected character after a field at ${i}`);
        }
    }
    return rows;
}

// "YYYY-MM-DD HH:MM:SS" as mdbtools printed it, re-printed through the same
// formatter as the other reader's dates so both look alike (zero padding of
// the year). mdbtools already rounded to the second.
function dateValue(s) {
    const m = /^(-?\d+)-(\d\d)-(\d\d) (\d\d):(\d\d):(\d\d)$/.exec(s);
    if (!m) return s; // leave a misprinted date visible to the comparison
    const d = new Date(0);
    d.setUTCFullYear(+m[1], +m[2] - 1, +m[3]);
    d.setUTCHours(+m[4], +m[5], +m[6], 0);
    return formatDateMs(d.getTime());
}

// mdbtools prints a GUID as {8-4-4-16} upper case (one dash short of the
// usual form), and with -b hex also applies the hex mode to it, so the field
// is the hex of that ASCII text.
function guidValue(s) {
    let t = s;
    if (/^([0-9A-Fa-f]{2})+$/.test(t) && t.length > 38) t = Buffer.from(t, "hex").toString("latin1");
    const m = /^\{?([0-9A-Fa-f]{8})-?([0-9A-Fa-f]{4})-?([0-9A-Fa-f]{4})-?([0-9A-Fa-f]{4})-?([0-9A-Fa-f]{12})\}?$/.exec(t);
    if (!m) throw new Error(`cannot read GUID "${s}"`);
    return `{${m.slice(1).join("-").toUpperCase()}}`;
}

function convert(col, field) {
    if (!field.quoted && field.text === NULL_MARK) return null;
    const s = field.text;
    switch (col.kind) {
        case "bool":
            if (s === "1") return true;
            if (s === "0") return false;
            break;
        case "int":
            if (/^-?\d+$/.test(s)) return Number(s);
            break;
        case "float": {
            const x = Number(s);
            // 16 digits of a double next to the largest one round past it
            // (1.797693134862316e+308); the value was finite, so clamp.
            if (!Number.isFinite(x) && /^[-+]?[0-9.]+e\+?[0-9]+$/i.test(s)) {
                return x > 0 ? Number.MAX_VALUE : -Number.MAX_VALUE;
            }
            if (s !== "" && !Number.isNaN(x)) return x;
            if (/^[-+]?(nan|inf)/i.test(s)) return null; // NaN and infinities
            break;
        }
        case "decimal":
            return plainDecimal(s);
        case "date":
            return dateValue(s);
        case "hex":
            if (/^[0-9A-Fa-f]*$/.test(s)) return s.toLowerCase();
            break;
        case "text":
            return s;
        case "guid":
            return guidValue(s);
    }
    throw new Error(`column ${col.name} (${col.type}): cannot read "${s}"`);
}

function dumpTable(file, table, columns) {
    const csv = run("mdb-export", [
        "-H",
        "-b", "hex",
        "-0", NULL_MARK,
        "-D", DATE_FORMAT,
        "-T", DATE_FORMAT,
        file,
        table,
    ]);
    const rows = parseCsv(csv).map((fields, r) => {
        if (fields.length !== columns.length) {
            throw new Error(
                `${table}: row ${r + 1} has ${fields.length} fields, expected ${columns.length}`,
            );
        }
        const out = {};
        columns.forEach((c, i) => (out[c.name] = convert(c, fields[i])));
        return out;
    });
    const kinds = columns.map((c) => [c.name, c.kind === "int" || c.kind === "float"]);
    return tableLines(table, kinds, rows);
}

await runMain(PROG, (opts) => {
    const out = [];
    const user = listTables(opts.file, false);
    const all = listTables(opts.file, true);
    for (const table of selectTables(opts, user, all)) {
        const columns = readColumns(opts.file, table);
        const unknown = columns.filter((c) => c.kind === null);
        if (unknown.length) {
            const what = unknown.map((c) => `${c.name} (${c.type})`).join(", ");
            process.stderr.write(`${PROG}: skipped table ${table}: mdbtools cannot read ${what}\n`);
            continue;
        }
        out.push(...dumpTable(opts.file, table, columns));
    }
    return out.length ? out.join("\n") + "\n" : "";
});
