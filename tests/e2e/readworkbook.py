"""Prints the cells of a workbook's first sheet as JSON: {"sheets": n, "rows": [[cell, ...], ...]}."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = [[cell.value for cell in row] for row in sheet.iter_rows()]
json.dump({"sheets": len(book.worksheets), "rows": rows}, sys.stdout, default=str)
