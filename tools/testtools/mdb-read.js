#!/usr/bin/env node
// Prints every user table of a Jet file as JSON, read by the independent npm
// reader mdb-reader, so that tests can compare what our writer stored.
//
// Usage: node mdb-read.js FILE
// Output: {"tables":[{"name":..,"rowCount":..,"columns":[{"name","type","size"}],
//          "rows":[[value,...],...]}]}
// Values: null, true/false, numbers (integer types), strings (Text, Memo);
// Double and Date/Time values as the 16 hex digits of the stored IEEE double
// (little-endian byte order), exactly as read from the file, because the
// reader turns dates into JavaScript Dates rounded to the millisecond.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const file = process.argv[2];
if (!file) {
  console.error("usage: mdb-read.js FILE");
  process.exit(2);
}

// The reader decodes Double and Date/Time fields with Buffer#readDoubleLE, in
// row order and, within a row, in column order. Recording the raw bytes there
// yields the exact stored doubles in the order the values appear.
const rawDoubles = [];
const readDoubleLE = Buffer.prototype.readDoubleLE;
Buffer.prototype.readDoubleLE = function (offset = 0) {
  rawDoubles.push(Buffer.from(this.subarray(offset, offset + 8)).toString("hex"));
  return readDoubleLE.call(this, offset);
};

try {
  const reader = new MDBReader(readFileSync(file));
  const tables = reader.getTableNames().map((name) => {
    const table = reader.getTable(name);
    const columns = table.getColumns().map((c) => ({ name: c.name, type: c.type, size: c.size }));
    rawDoubles.length = 0;
    const data = table.getData();
    let next = 0;
    const rows = data.map((record) =>
      columns.map((column) => {
        const value = record[column.name];
        if (value === null || value === undefined) return null;
        if (column.type === "double" || column.type === "datetime") return rawDoubles[next++];
        return value;
      })
    );
    if (next !== rawDoubles.length) throw new Error(`table ${name}: double values out of step`);
    return { name, rowCount: table.rowCount, columns, rows };
  });
  process.stdout.write(JSON.stringify({ tables }) + "\n");
} catch (error) {
  console.error(`mdb-read: ${file}: ${error.message}`);
  process.exit(1);
}
