#!/usr/bin/env python3
"""Writes res/ptable.csv, the shipped element table, from the reference element facts.

Each data row is symbol,RRGGBB,radius1,radius2,radius3: the Jmol colour, then the covalent, van der
Waals and atomic radii in scene units, where one angstrom is 100 units (the default position scale).
"""
import pathlib
import sys

HERE = pathlib.Path(__file__).resolve().parent
SOURCE = HERE.parent.parent / "shared" / "data" / "elements.tsv"
TARGET = HERE.parent / "res" / "ptable.csv"

TITLE = ("Vantor element table: Jmol colours; covalent and atomic radii as published with the Jmol colours "
         "(elements 110-118: RDKit covalent radius for both); van der Waals radii from RDKit 2022.09; "
         "radii in scene units (1 angstrom = 100)")
COLUMNS = "symbol,colour,covalent radius,van der Waals radius,atomic radius"


def units(angstrom: str) -> str:
    value = round(float(angstrom) * 100, 6)
    return f"{value:g}"


def main() -> int:
    source = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else SOURCE
    rows = []
    for line in source.read_text().splitlines():
        if not line or line.startswith("#") or line.startswith("Z\t"):
            continue
        number, symbol, _name, colour, covalent, vdw, atomic = line.split("\t")
        if int(number) != len(rows) + 1:
            raise SystemExit(f"element {number} out of order")
        rows.append(f"{symbol},{colour.upper()},{units(covalent)},{units(vdw)},{units(atomic)}")
    if len(rows) != 118:
        raise SystemExit(f"expected 118 elements, found {len(rows)}")
    TARGET.write_text("\n".join([TITLE, COLUMNS, *rows]) + "\n")
    return 0


if __name__ == "__main__":
    sys.exit(main())
