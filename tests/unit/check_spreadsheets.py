"""Reads run.xls, run.xlsx and run.csv of one registration table (folder in argv[1]) and
checks that the workbook and the comma-separated file hold the .xls file's values: the
sample number, the date and time of registration, the elapsed time, the channels and PK1
and PK2, as numbers, dates and times; the workbook also its description, bold frozen
titles, number formats and colour fills."""
import csv
import datetime
import math
import os
import sys

import openpyxl

folder = sys.argv[1]
failures = []


def check(condition, what):
    if not condition:
        failures.append(what)


def finish():
    for failure in failures[:20]:
        print("spreadsheet check:", failure)
    sys.exit(1 if failures else 0)


if sys.argv[2:] == ["chart"]:
    # chart.csv (series, index, X, Y, label, colour) against chart.xlsx's sheets.
    with open(os.path.join(folder, "chart.csv"), encoding="cp1250", newline="") as f:
        points = {}
        for row in list(csv.reader(f))[1:]:
            points.setdefault(row[0], []).append((float(row[2]), float(row[3])))
    book = openpyxl.load_workbook(os.path.join(folder, "chart.xlsx"))
    check(book.sheetnames == ["Wykres", "Wykres 2", "Wykres 3"], "sheets %s" % book.sheetnames)
    series = ["Czujnik 0", "Czujnik 1", "Czujnik 2", "PK1", "PK2"]
    got = {name: [] for name in series}
    for ws in book.worksheets:
        titles = [c.value for c in ws[1]]
        check(titles == [n + " " + a for n in series for a in "XY"], "titles %s" % titles)
        check(ws.max_row <= 4, "at most 3 data rows: %d" % ws.max_row)
        for row in ws.iter_rows(min_row=2, values_only=True):
            for s, name in enumerate(series):
                if row[2 * s] is not None:
                    got[name].append((row[2 * s], row[2 * s + 1]))
    for name in series:
        # The workbook keeps X whole; the text export rounds it to 15 digits.
        want = points.get(name, [])
        same = len(got[name]) == len(want) and all(
            math.isclose(gx, wx, abs_tol=1e-12) and gy == wy
            for (gx, gy), (wx, wy) in zip(got[name], want))
        check(same, "%s: %s != %s" % (name, got[name], want))
    check(len(got["Czujnik 0"]) == 8 and len(got["Czujnik 2"]) == 5, "points per series")
    finish()


# The oracle: the tab-separated layout, decimal commas, Windows-1250.
with open(os.path.join(folder, "run.xls"), encoding="cp1250", newline="") as f:
    lines = f.read().split("\r\n")
start = next(i for i, line in enumerate(lines) if line.startswith("Index\t"))
titles = lines[start].rstrip("\t").split("\t")
rows = [line.rstrip("\t").split("\t") for line in lines[start + 1:] if line]
expected = []
for cells in rows:
    info = cells[0]
    number = int(info.split(" ")[0]) if info and info[0].isdigit() else None
    stamp = info[info.index("(") + 1:info.index(")")] if "(" in info else None
    when = datetime.datetime.strptime(stamp, "%d.%m.%Y %H:%M:%S") if stamp else None
    values = [None if c in ("", "-------------") else float(c.replace(",", "."))
              for c in cells[1:]]
    expected.append((number, when, values))
value_titles = titles[1:]
sheet_titles = ["Index", "Data", "Godzina"] + value_titles

# The workbook.
book = openpyxl.load_workbook(os.path.join(folder, "run.xlsx"))
check(book.sheetnames == ["Pomiar"], "one sheet Pomiar: %s" % book.sheetnames)
ws = book["Pomiar"]
check(ws["A1"].value == "typ urządzenia" and ws["B1"].value == "KT210V ąę", "device type row")
check(ws["B5"].value == len(rows), "sample count %r" % ws["B5"].value)
title_row = next(r for r in range(1, 20) if ws.cell(r, 1).value == "Index")
check(ws.cell(title_row - 1, 1).value is None, "an empty row before the titles")
got_titles = [ws.cell(title_row, c).value for c in range(1, len(sheet_titles) + 1)]
check(got_titles == sheet_titles, "titles %s" % got_titles)
check(all(ws.cell(title_row, c).font.b for c in range(1, len(sheet_titles) + 1)), "bold titles")
check(ws.freeze_panes == "A%d" % (title_row + 1), "frozen below titles: %s" % ws.freeze_panes)
decimals = {"Czas [s]": "0.000", "PK1": "0", "PK2": "0"}
for i, (number, when, values) in enumerate(expected):
    r = title_row + 1 + i
    check(ws.cell(r, 1).value == number, "row %d index %r" % (i, ws.cell(r, 1).value))
    date, time = ws.cell(r, 2).value, ws.cell(r, 3).value
    check(isinstance(date, datetime.datetime) and date == when.replace(hour=0, minute=0, second=0),
          "row %d date %r" % (i, date))
    check(time == when.time(), "row %d time %r" % (i, time))
    for j, value in enumerate(values):
        cell = ws.cell(r, 4 + j)
        title = value_titles[j]
        if value is None:
            check(cell.value is None, "row %d %s empty: %r" % (i, title, cell.value))
            continue
        check(isinstance(cell.value, (int, float)) and abs(cell.value - value) < 0.00051,
              "row %d %s %r != %r" % (i, title, cell.value, value))
        check(cell.number_format == decimals.get(title, "0.0000"), "%s format" % title)
        if title == "Czujnik_0":
            check(cell.fill.fgColor.rgb.endswith("FF0000"), "red fill %s" % cell.fill.fgColor.rgb)
check(len(rows) > 1 and ws.max_row == title_row + len(rows), "rows: %d" % len(rows))

# The comma-separated file: ASCII, no byte-order mark, one title row.
with open(os.path.join(folder, "run.csv"), "rb") as f:
    raw = f.read()
check(not raw.startswith(b"\xef\xbb\xbf") and raw.isascii(), "plain ASCII, no BOM")
with open(os.path.join(folder, "run.csv"), encoding="utf-8", newline="") as f:
    table = list(csv.reader(f))
check(table[0] == sheet_titles, "csv titles %s" % table[0])
check(len(table) == 1 + len(rows), "csv rows %d" % len(table))
for i, (number, when, values) in enumerate(expected):
    row = table[1 + i]
    check(row[0] == ("" if number is None else str(number)), "csv row %d index" % i)
    check(row[1] == when.date().isoformat() and row[2] == when.time().isoformat(),
          "csv row %d stamp %s %s" % (i, row[1], row[2]))
    for j, value in enumerate(values):
        ok = row[3 + j] == "" if value is None else abs(float(row[3 + j]) - value) < 0.00051
        check(ok, "csv row %d %s %r != %r" % (i, value_titles[j], row[3 + j], value))

finish()
