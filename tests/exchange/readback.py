#!/usr/bin/env python3
"""Reads an exported file with independent readers and prints it as JSON.

readback.py xlsx FILE           -> {"sheets": [...], "rows": [[...]], "types": [[...]], "fastest": [...]}
readback.py csv FILE DELIMITER  -> {"encoding": "...", "rows": [[...]]}

Workbooks are read with openpyxl (every sheet's name; the cells of the first
sheet with their data types, a missing cell as "" of type "n"; the parts of the
package deflated at zlib's fastest level, as its flag bits tell), delimited text with
Python's csv module: a byte order mark means UTF-8, anything else Windows-1252.
"""
import csv
import io
import json
import sys
import zipfile


def read_xlsx(path):
    import openpyxl

    book = openpyxl.load_workbook(path, read_only=True)
    sheet = book[book.sheetnames[0]]
    rows, types = [], []
    for row in sheet.iter_rows():
        rows.append(["" if c.value is None else c.value for c in row])
        types.append([c.data_type for c in row])
    # Bits 1 and 2 of a deflated entry's flags both set: packed at the fastest level.
    fastest = [i.filename for i in zipfile.ZipFile(path).infolist()
               if i.compress_type == zipfile.ZIP_DEFLATED and i.flag_bits & 6 == 6]
    return {"sheets": book.sheetnames, "rows": rows, "types": types, "fastest": fastest}


def read_csv(path, delimiter):
    data = open(path, "rb").read()
    encoding = "utf-8-sig" if data.startswith(b"\xef\xbb\xbf") else "cp1252"
    text = data.decode(encoding)
    rows = list(csv.reader(io.StringIO(text, newline=""), delimiter=delimiter))
    return {"encoding": encoding, "rows": rows}


def main():
    if sys.argv[1] == "xlsx":
        out = read_xlsx(sys.argv[2])
    else:
        out = read_csv(sys.argv[2], sys.argv[3])
    json.dump(out, sys.stdout, ensure_ascii=False, default=str)


if __name__ == "__main__":
    main()
