#!/usr/bin/env node
// Canonical dump of a Jet file as read by the npm package mdb-reader, an
// independent reader the tests compare the storage engine against.
//
//   node tools/oracle/mdbreader-dump.mjs FILE [--all | --system | --table NAME ...]
//
// mdb-reader's own value forms are turned into the dump's: its dates (a JS
// Date built as if the stored double were UTC, signed fraction and all) back
// into Jet's meaning, its currency and numeric strings (all decimals) into
// plain decimals, its GUIDs (lower case, no braces) into "{UPPER}". A table
// with a column type mdb-reader cannot decode (Access 2000's MSysAccessObjects
// has one, type 0x11) is left out with a note on stderr: a partial table would
// compare as a difference that is not one.

import fs from "node:fs";
import MDBReader from "mdb-reader";
import {
    formatJetDate,
    plainDecimal,
    runMain,
    selectTables,
    tableLines,
} from "./canonical.mjs";

const PROG = "mdbreader-dump";

const NUMERIC_TYPES = new Set(["byte", "integer", "long", "float", "double"]);

// mdb-reader turns a date/time double into new Date(round((double - 25569) *
// 86400000)): milliseconds, with the sign rule of the day part ignored. The
// rounding to milliseconds alone would already tip values that sit a hair
// below a half second (Jet's own MSysObjects dates have such values), so the
// double itself is kept: while a table is read, the last double mdb-reader
// decoded is noted and attached to the Date built right after it. The match
// is checked; the converter fails rather than guess.
let lastDouble = NaN;
const realReadDouble = Buffer.prototype.readDoubleLE;
const RealDate = globalThis.Date;
class DateWithDouble extends RealDate {
    constructor(...args) {
        super(...args);
        if (args.length === 1 && typeof args[0] === "number") this.jetDouble = lastDouble;
    }
}

function withRawDates(fn) {
    Buffer.prototype.readDoubleLE = function (...args) {
        lastDouble = realReadDouble.apply(this, args);
        return lastDouble;
    };
    globalThis.Date = DateWithDouble;
    try {
        return fn();
    } finally {
        Buffer.prototype.readDoubleLE = realReadDouble;
        globalThis.Date = RealDate;
    }
}

function dateValue(d) {
    const td = d.jetDouble;
    const ms = td === undefined ? NaN : Math.round((td - 25569) * 86400 * 1000);
    // A double far outside Date's range gives an Invalid Date; it still came
    // from that double.
    const invalid = Number.isNaN(d.getTime()) && !(Math.abs(ms) <= 8.64e15);
    if (td === undefined || (ms !== d.getTime() && !invalid)) {
        throw new Error(`cannot recover the stored value of date ${d.getTime()}`);
    }
    return formatJetDate(td);
}

function guidValue(s) {
    if (!/^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$/i.test(s)) {
        throw new Error(`unexpected GUID form ${s}`);
    }
    return `{${s.toUpperCase()}}`;
}

function convert(type, v) {
    if (v === null || v === undefined) return null;
    switch (type) {
        case "boolean":
        case "byte":
        case "integer":
        case "long":
        case "float": // already widened to double by readFloatLE
        case "double":
        case "text":
        case "memo":
            return v;
        case "currency":
        case "numeric":
            return plainDecimal(v);
        case "datetime":
            return dateValue(v);
        case "binary":
        case "ole":
            return Buffer.from(v).toString("hex");
        case "repid":
            return guidValue(v);
    }
    throw new Error(`column type ${type} is not part of the dump`);
}

function dumpTable(reader, name) {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => [c.name, c.type]);
    const rows = withRawDates(() => table.getData()).map((r) => {
        const out = {};
        for (const [c, type] of columns) out[c] = convert(type, r[c]);
        return out;
    });
    const kinds = columns.map(([c, type]) => [c, NUMERIC_TYPES.has(type)]);
    return tableLines(name, kinds, rows);
}

// A table whose definition mdb-reader cannot decode throws from getColumns().
function readable(reader, name) {
    try {
        reader.getTable(name).getColumns();
        return null;
    } catch (e) {
        return e.message;
    }
}

await runMain(PROG, (opts) => {
    const reader = new MDBReader(fs.readFileSync(opts.file));
    const user = reader.getTableNames({ normalTables: true, systemTables: false });
    const all = reader.getTableNames({ normalTables: true, systemTables: true });
    const out = [];
    for (const name of selectTables(opts, user, all)) {
        const why = readable(reader, name);
        if (why !== null) {
            process.stderr.write(`${PROG}: skipped table ${name}: ${why}\n`);
            continue;
        }
        out.push(...dumpTable(reader, name));
    }
    return out.length ? out.join("\n") + "\n" : "";
});
