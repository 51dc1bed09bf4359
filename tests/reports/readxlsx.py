"""Prints an .xlsx file's first sheet as JSON: every cell (type, value, bold, number format) and the
column widths. Used by the tests to read back what the program wrote."""
import json
import sys

import openpyxl

book = openpyxl.load_workbook(sys.argv[1])
sheet = book.worksheets[0]
cells = {}
for row in sheet.iter_rows():
    for c in row:
        if c.value is None:
            continue
        cells[c.coordinate] = {"type": c.data_type, "value": c.value, "bold": bool(c.font.b),
                               "format": c.number_format}
widths = {k: v.width for k, v in sheet.column_dimensions.items() if v.customWidth}
print(json.dumps({"sheets": len(book.worksheets), "cells": cells, "widths": widths}, ensure_ascii=False))
