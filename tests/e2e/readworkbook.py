"""Prints the cells of a workbook's first sheet as JSON: {"sheets": n, "rows": [[cell, ...], ...],
"looks": [[look, ...], ...]}, where a cell's look holds "q" for the quote-prefix mark and "t" for
top alignment."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
rows = [[cell.value for cell in row] for row in sheet.iter_rows()]
looks = [[("q" if cell.quotePrefix else "") + ("t" if cell.alignment.vertical == "top" else "") for cell in row]
         for row in sheet.iter_rows()]
json.dump({"sheets": len(book.worksheets), "rows": rows, "looks": looks}, sys.stdout, default=str)
