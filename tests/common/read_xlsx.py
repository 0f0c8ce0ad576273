#!/usr/bin/python3
"""Prints a workbook's first sheet as JSON: every cell with openpyxl's value and data type, the
text a spreadsheet shows (shared or inline strings with their _xHHHH_ escapes decoded once) and its look
(quote-prefix mark, top alignment, wrapping, bold); the number of formula elements in the sheet's
XML, the column widths, the custom row heights, the frozen cell and the autofilter range."""
import json
import re
import sys
import zipfile
import xml.etree.ElementTree as ET

import openpyxl
from openpyxl.utils import column_index_from_string

MAIN = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
ESCAPE = re.compile("_x([0-9A-Fa-f]{4})_")


def decoded(item):
    """The text of a shared or inline string item, its _xHHHH_ escapes decoded once."""
    raw = "".join(t.text or "" for t in item.iter(MAIN + "t"))
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), raw)


def read_sheet_xml(path):
    """The texts a spreadsheet shows, by cell reference, and the sheet's formula count."""
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        strings = []
        if "xl/sharedStrings.xml" in names:
            for item in ET.fromstring(archive.read("xl/sharedStrings.xml")).findall(MAIN + "si"):
                strings.append(decoded(item))
        shown = {}
        sheet = ET.fromstring(archive.read("xl/worksheets/sheet1.xml"))
        for cell in sheet.iter(MAIN + "c"):
            value = cell.find(MAIN + "v")
            if cell.get("t") == "s" and value is not None:
                shown[cell.get("r")] = strings[int(value.text)]
            elif cell.get("t") == "inlineStr":
                shown[cell.get("r")] = decoded(cell)
        return shown, len(list(sheet.iter(MAIN + "f")))


def main(path):
    sheet = openpyxl.load_workbook(path).worksheets[0]
    shown, formulas = read_sheet_xml(path)
    cells = []
    for row in sheet.iter_rows():
        for cell in row:
            if cell.value is None:
                continue
            cells.append({"row": cell.row, "column": cell.column, "value": cell.value,
                          "type": cell.data_type, "shown": shown.get(cell.coordinate),
                          "quoted": bool(cell.quotePrefix), "top": cell.alignment.vertical == "top",
                          "wrapped": bool(cell.alignment.wrap_text), "bold": bool(cell.font.b)})
    widths = {}
    for letter, dimension in sheet.column_dimensions.items():
        if dimension.customWidth:
            widths[str(column_index_from_string(letter))] = dimension.width
    heights = {str(r): d.height for r, d in sheet.row_dimensions.items() if d.customHeight}
    json.dump({"cells": cells, "formulas": formulas, "widths": widths, "heights": heights,
               "frozen": sheet.freeze_panes, "filter": sheet.auto_filter.ref}, sys.stdout)


if __name__ == "__main__":
    main(sys.argv[1])
