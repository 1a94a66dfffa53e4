// Shared pieces of the two reference-reader converters: the command line, the
// choice and order of tables, and the text of the canonical dump
// (docs/dump-format.md in the shared docs). Each converter turns its reader's
// values into the plain JS values built here; everything about layout lives in
// this one file so the two converters cannot drift apart.

// The tables `dump FILE` prints when no option is given, in this order.
export const DEFAULT_TABLES = ["Tema", "Voprosi", "Otveti", "Settings"];

export function usage(prog) {
    return `usage: ${prog} FILE [--all | --system | --table NAME ...]\n`;
}

// Parses `FILE [--all | --system | --table NAME ...]`. Returns
// { file, mode: "default" | "all" | "system" | "tables", tables: [...] }
// or throws an Error with a message for the user.
export function parseArgs(argv) {
    let file = null;
    let mode = "default";
    const tables = [];
    for (let i = 0; i < argv.length; i++) {
        const a = argv[i];
        if (a === "--all" || a === "--system") {
            if (mode !== "default") throw new Error("only one of --all, --system, --table");
            mode = a.slice(2);
        } else if (a === "--table") {
            if (mode !== "default" && mode !== "tables") {
                throw new Error("only one of --all, --system, --table");
            }
            if (i + 1 >= argv.length) throw new Error("--table needs a table name");
            mode = "tables";
            tables.push(argv[++i]);
        } else if (a.startsWith("--")) {
            throw new Error(`unknown option ${a}`);
        } else if (file === null) {
            file = a;
        } else {
            throw new Error(`unexpected argument ${a}`);
        }
    }
    if (file === null) throw new Error("no file given");
    return { file, mode, tables };
}

export function isSystemName(name) {
    return name.startsWith("MSys");
}

// Plain code-unit order, the order the dump sorts keys and table names in.
export function codeUnitCompare(a, b) {
    return a < b ? -1 : a > b ? 1 : 0;
}

// Picks the tables to dump. `userNames` are the tables the reader itself
// counts as user tables (neither reader counts a table whose MSysObjects
// flags carry the system bit, such as Access's f_<GUID>_Data attachment
// tables), `allNames` every table it lists. A system table is one the reader
// does not count as a user table, or one named MSys*. For explicit --table
// names a missing one is an error; the default set silently skips the test
// tables a file does not have.
export function selectTables(opts, userNames, allNames) {
    const user = new Set(userNames.filter((n) => !isSystemName(n)));
    const have = new Set(allNames);
    switch (opts.mode) {
        case "default":
            return DEFAULT_TABLES.filter((t) => have.has(t));
        case "all":
            return [...user].sort(codeUnitCompare);
        case "system":
            return allNames.filter((n) => !user.has(n)).sort(codeUnitCompare);
        case "tables":
            for (const t of opts.tables) {
                if (!have.has(t)) throw new Error(`no table named ${t}`);
            }
            return opts.tables;
    }
    throw new Error(`bad mode ${opts.mode}`);
}

// ---- Values -------------------------------------------------------------
// Every converter hands rows over as objects whose values are already one of:
// null, boolean, number (integers and floating point alike), or a string that
// is final except for JSON quoting (text, dates, decimals, hex, GUIDs).

// Number.prototype.toString is exactly the format the dump asks for
// (shortest round trip, exponent below 1e-6 and from 1e21, -0 as "0").
export function formatNumber(x) {
    return Number.isFinite(x) ? String(x) : "null";
}

// Currency and Numeric: plain decimal, trailing fractional zeros and a
// trailing point dropped, no "-0".
export function plainDecimal(s) {
    let t = String(s).trim();
    let neg = false;
    if (t.startsWith("-")) {
        neg = true;
        t = t.slice(1);
    } else if (t.startsWith("+")) {
        t = t.slice(1);
    }
    if (!/^[0-9]*(\.[0-9]*)?$/.test(t) || t === "" || t === ".") {
        throw new Error(`not a plain decimal: ${s}`);
    }
    let [int, frac = ""] = t.split(".");
    int = int.replace(/^0+/, "") || "0";
    frac = frac.replace(/0+$/, "");
    const body = frac ? `${int}.${frac}` : int;
    return neg && body !== "0" ? `-${body}` : body;
}

function pad(n, w) {
    return String(n).padStart(w, "0");
}

// Milliseconds since 1970-01-01 UTC -> "YYYY-MM-DD HH:MM:SS", rounded to the
// nearest second (halves up, towards later times).
export function formatDateMs(ms) {
    if (!Number.isFinite(ms)) return null;
    const d = new Date(Math.round(ms / 1000) * 1000);
    if (Number.isNaN(d.getTime())) return null;
    const y = d.getUTCFullYear();
    return (
        `${y < 0 ? "-" + pad(-y, 4) : pad(y, 4)}-${pad(d.getUTCMonth() + 1, 2)}-${pad(d.getUTCDate(), 2)} ` +
        `${pad(d.getUTCHours(), 2)}:${pad(d.getUTCMinutes(), 2)}:${pad(d.getUTCSeconds(), 2)}`
    );
}

// 1899-12-30 00:00 UTC, day 0 of Jet's date/time doubles.
export const JET_EPOCH_MS = Date.UTC(1899, 11, 30);

// The exact value of a finite double as [num, den] (BigInts), den a power of
// two.
export function exactRational(x) {
    const view = new DataView(new ArrayBuffer(8));
    view.setFloat64(0, x);
    const hi = view.getUint32(0);
    const lo = view.getUint32(4);
    const biased = (hi >>> 20) & 0x7ff;
    let mant = (BigInt(hi & 0xfffff) << 32n) | BigInt(lo);
    let exp = -1074;
    if (biased !== 0) {
        mant |= 1n << 52n;
        exp = biased - 1075;
    }
    if (hi >>> 31) mant = -mant;
    return exp >= 0 ? [mant << BigInt(exp), 1n] : [mant, 1n << BigInt(-exp)];
}

// A Jet date/time is a double counting days from 1899-12-30 whose sign
// belongs to the day part only: the fraction is always the time of day, so
// -1.25 is 1899-12-29 06:00 (not 1899-12-28 18:00). The time of day is
// rounded to the nearest second (halves up) from the exact value of the
// double, so no floating-point step can tip a value that sits just below a
// half second. Returns the dump's "YYYY-MM-DD HH:MM:SS".
export function formatJetDate(td) {
    if (!Number.isFinite(td)) return `(date ${td})`;
    const [num, den] = exactRational(td);
    const days = num / den; // BigInt division truncates towards zero
    let rest = num - days * den;
    if (rest < 0n) rest = -rest;
    const secs = (rest * 86400n * 2n + den) / (2n * den);
    const total = days * 86400n + secs;
    const ms = JET_EPOCH_MS + Number(total) * 1000;
    return formatDateMs(ms) ?? `(date ${td})`;
}

// ---- Lines --------------------------------------------------------------

function formatValue(v) {
    if (v === null || v === undefined) return "null";
    if (typeof v === "boolean") return v ? "true" : "false";
    if (typeof v === "number") return formatNumber(v);
    if (typeof v === "string") return JSON.stringify(v);
    throw new Error(`unexpected value of type ${typeof v}`);
}

// One row as a line: every column, keys in code-unit order, no spaces.
// JSON.stringify quotes strings as the dump wants: \" \\ \b \f \n \r \t,
// other characters below U+0020 as \u00xx in lower case, the rest as is.
export function rowLine(row) {
    const keys = Object.keys(row).sort(codeUnitCompare);
    return "{" + keys.map((k) => JSON.stringify(k) + ":" + formatValue(row[k])).join(",") + "}";
}

// The lines of one table in dump order: by the numeric `id` column when the
// table has one (ties and NULL ids, which come first, by line text), else by
// line text. `columns` is the list of [name, isNumeric] of the table. Line
// text is compared as UTF-8 bytes (= code point order), which is what a C++
// std::string comparison of the same lines gives.
export function tableLines(name, columns, rows) {
    const idCol = columns.find(([c, numeric]) => c === "id" && numeric);
    const items = rows.map((r) => {
        const line = rowLine(r);
        return { line, bytes: Buffer.from(line, "utf8"), id: idCol ? r.id ?? -Infinity : 0 };
    });
    items.sort((a, b) => (a.id !== b.id ? (a.id < b.id ? -1 : 1) : Buffer.compare(a.bytes, b.bytes)));
    return [`# ${name}`, ...items.map((i) => i.line)];
}

// Writes text to stdout and waits for it to drain, so a large dump piped to a
// slow reader is not cut off when the process exits.
export function writeOut(text) {
    return new Promise((resolve, reject) => {
        process.stdout.write(text, (err) => (err ? reject(err) : resolve()));
    });
}

// Common main: parse arguments, run `produce(opts)` which returns the dump
// text, print it; errors go to stderr with exit code 2 (usage) or 1.
export async function runMain(prog, produce) {
    let opts;
    try {
        opts = parseArgs(process.argv.slice(2));
    } catch (e) {
        process.stderr.write(`${prog}: ${e.message}\n${usage(prog)}`);
        process.exit(2);
    }
    try {
        await writeOut(await produce(opts));
    } catch (e) {
        process.stderr.write(`${prog}: ${e.message}\n`);
        process.exit(1);
    }
}
