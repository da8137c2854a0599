// Dumps an Access file with mdb-reader as plain lines, for the tests to compare with what was written.
//   T <tab> table name <tab> row count (from the table definition)
//   C <tab> column name <tab> type <tab> size
//   R                                  (a row begins)
//   V <tab> kind <tab> payload         kinds: n null, b boolean (0/1), f number (shortest round trip),
//                                      s text (UTF-8 in hex), x bytes (hex), d date (ms since 1970),
//                                      c currency / q decimal / g GUID / B big integer (as text)
// Usage: node dump.mjs <file> [table...]   (system tables are left out unless named)
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, ...wanted] = process.argv.slice(2);
const reader = new MDBReader(readFileSync(file));
const names = wanted.length ? wanted : reader.getTableNames();
const hex = (buf) => Buffer.from(buf).toString("hex");
const out = [];
for (const name of names) {
  const table = reader.getTable(name);
  out.push(`T\t${name}\t${table.rowCount}`);
  const columns = table.getColumns();
  for (const c of columns) out.push(`C\t${c.name}\t${c.type}\t${c.size ?? 0}`);
  for (const row of table.getData({ rowOffset: 0 })) {
    out.push("R");
    for (const c of columns) {
      const v = row[c.name];
      if (v === null || v === undefined) out.push("V\tn\t");
      else if (typeof v === "boolean") out.push(`V\tb\t${v ? 1 : 0}`);
      else if (typeof v === "number") out.push(`V\tf\t${String(v)}`);
      else if (typeof v === "bigint") out.push(`V\tB\t${v.toString()}`);
      else if (v instanceof Date) out.push(`V\td\t${v.getTime()}`);
      else if (Buffer.isBuffer(v)) out.push(`V\tx\t${hex(v)}`);
      else if (typeof v === "string") {
        const kind = c.type === "currency" ? "c" : c.type === "numeric" ? "q" : c.type === "repid" ? "g" : "s";
        out.push(`V\t${kind}\t${kind === "s" ? hex(Buffer.from(v, "utf8")) : v}`);
      } else out.push(`V\ts\t${hex(Buffer.from(JSON.stringify(v), "utf8"))}`);
    }
  }
}
process.stdout.write(out.join("\n") + "\n");
