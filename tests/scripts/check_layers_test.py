#!/usr/bin/env python3
"""scripts/check_layers on small trees laid out for each case: what it must
report, and what it must let pass.

    check_layers_test.py PATH/TO/check_layers
"""

import contextlib
import io
import os
import runpy
import sys
import tempfile

CASES = [
    ("an include of a lower floor passes",
     {"window/w.cpp": '#include "core/engine/c.h"', "core/engine/c.h": ""}, []),
    ("an include upwards",
     {"core/engine/c.cpp": '#include "window/w.h"', "window/w.h": ""},
     ["core/engine/c.cpp:1: includes window/w.h (window): core/engine may include nothing else"]),
    ("core's rooms in their order",
     {"core/measure/m.cpp": '#include "core/engine/e.h"\n#include "core/program/p.h"\n#include "core/batch/b.h"',
      "core/engine/e.h": "", "core/program/p.h": "", "core/batch/b.h": ""},
     ["core/measure/m.cpp:3: includes core/batch/b.h (core/batch): "
      "core/measure may include core/engine, core/program"]),
    ("a file in core outside its rooms",
     {"core/c.h": ""}, ["core/c.h: lies on no floor of the layout"]),
    ("the toolkit's rooms in their order",
     {"toolkit/controls/b.h": '#include "toolkit/app/a.h"\n#include "toolkit/sys/s.h"',
      "toolkit/app/a.h": "", "toolkit/sys/s.h": ""},
     ["toolkit/controls/b.h:2: includes toolkit/sys/s.h (toolkit/sys): "
      "toolkit/controls may include toolkit/app"]),
    ("trace draws without the window",
     {"trace/t.cpp": '#include "drawing/d.h"\n#include "window/w.h"', "drawing/d.h": "", "window/w.h": ""},
     ["trace/t.cpp:2: includes window/w.h (window): trace may include core, toolkit, io, drawing"]),
    ("the panel's rooms stand on the floors below and the rooms before",
     {"analysis/map/m.cpp": '#include "core/search/s.h"\n#include "analysis/kept/k.h"\n#include "analysis/search/f.h"',
      "core/search/s.h": "", "analysis/kept/k.h": "", "analysis/search/f.h": ""},
     ["analysis/map/m.cpp:3: includes analysis/search/f.h (analysis/search): "
      "analysis/map may include core, toolkit, io, analysis/live, analysis/kept"]),
    ("a header and its source are one unit",
     {"core/batch/a.h": '#include "core/batch/b.h"', "core/batch/a.cpp": '#include "core/batch/a.h"',
      "core/batch/b.h": ""}, []),
    ("two units including each other",
     {"io/a.h": '#include "io/b.h"', "io/b.cpp": '  #  include "io/a.h"', "io/b.h": ""},
     ["loop between 2 units: io/a -> io/b -> io/a"]),
    ("a file outside the layout",
     {"misc/m.h": ""}, ["misc/m.h: lies on no floor of the layout"]),
    ("an include of a file that is not there",
     {"core/search/c.cpp": '#include "core/search/gone.h"'},
     ["core/search/c.cpp:1: includes core/search/gone.h, which is no source of the tree"]),
    ("tests may include anything",
     {"tests/t.cpp": '#include "trace/t.h"', "trace/t.h": ""}, []),
]


def main():
    check = runpy.run_path(sys.argv[1], run_name="check_layers")["main"]
    failed = 0
    for name, files, expected in CASES:
        with tempfile.TemporaryDirectory() as root:
            for path, text in files.items():
                os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                with open(os.path.join(root, path), "w") as f:
                    f.write(text + "\n")
            out = io.StringIO()
            sys.argv = ["check_layers", root]
            with contextlib.redirect_stdout(out):
                status = check()
        reported = out.getvalue().splitlines()
        if reported != expected or status != (1 if expected else 0):
            failed += 1
            print(f"FAILED: {name}: exit {status}, reported {reported}, expected {expected}")
    print(f"{len(CASES) - failed} passed, {failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
