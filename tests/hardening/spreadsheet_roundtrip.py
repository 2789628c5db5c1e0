#!/usr/bin/env python3
"""Reads a save-data file as a spreadsheet's import does (the blank after each
comma trimmed) and writes it back the way a spreadsheet exports CSV (Python's
default dialect: minimal quoting, CR LF line ends).

Usage: spreadsheet_roundtrip.py IN OUT
"""
import csv
import sys


def main(source, target):
    # latin-1 maps every byte to one character and back, so bytes from 0x80
    # up pass unchanged; newline="" keeps line breaks inside quoted fields.
    with open(source, newline="", encoding="latin-1") as f:
        rows = list(csv.reader(f, skipinitialspace=True))
    with open(target, "w", newline="", encoding="latin-1") as f:
        csv.writer(f).writerows(rows)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
