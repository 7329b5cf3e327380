"""Hostile contrast tables: a table of 1 MiB whose header holds one name of 400 KB that each of
72,346 rows weighs. The rows share the header's one copy of the name and the table is refused at
its 101st contrast, by kelvora (a usage error) and by the Python package (ValueError), within the
memory bound."""

import os

from hostile_cases import kelvora, python

NAME = "N" * 400_000
ROWS = 72_346


def _long_name_table(folder):
    path = os.path.join(folder, "contrasts.tsv")
    with open(path, "w") as table:
        table.write("contrast\t" + NAME + "\n")
        for row in range(ROWS):
            table.write(f"c{row}\t1\n")
    assert os.path.getsize(path) <= 1 << 20
    return path


def long_name_in_every_row(folder):
    table = _long_name_table(folder)
    mdm = os.path.join(folder, "group.mdm")
    return [
        kelvora("--no-prompt", "--contrasts", table, mdm, statuses=(64,),
                expect=b"line 102: more than 100 contrasts"),
        python("import kelvora, pathlib\n"
               "try:\n"
               f"    kelvora.inspect({mdm!r}, contrasts=pathlib.Path({table!r}))\n"
               "except ValueError as error:\n"
               "    print(error)\n",
               expect=b"line 102: more than 100 contrasts"),
        python("import kelvora, pandas as pd\n"
               f"frame = pd.DataFrame({{'contrast': [f'c{{r}}' for r in range({ROWS})],"
               f" 'N' * 400_000: 1.0}})\n"
               "try:\n"
               f"    kelvora.inspect({mdm!r}, contrasts=frame)\n"
               "except ValueError as error:\n"
               "    print(error)\n",
               expect=b"row 101: more than 100 contrasts"),
    ]


CASES = {
    "contrast table: a 400 KB name weighed by 72,346 rows": long_name_in_every_row,
}
