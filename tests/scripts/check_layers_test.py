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
     {"window/w.cpp": '#include "core/c.h"', "core/c.h": ""}, []),
    ("an include upwards",
     {"core/c.cpp": '#include "window/w.h"', "window/w.h": ""},
     ["core/c.cpp:1: includes window/w.h (window): core may include nothing else"]),
    ("the toolkit's rooms in their order",
     {"toolkit/controls/b.h": '#include "toolkit/app/a.h"\n#include "toolkit/sys/s.h"',
      "toolkit/app/a.h": "", "toolkit/sys/s.h": ""},
     ["toolkit/controls/b.h:2: includes toolkit/sys/s.h (toolkit/sys): "
      "toolkit/controls may include toolkit/app"]),
    ("trace reaches the panel only through the window",
     {"trace/t.cpp": '#include "analysis/x.h"', "analysis/x.h": ""},
     ["trace/t.cpp:1: includes analysis/x.h (analysis): trace may include core, toolkit, io, window"]),
    ("a header and its source are one unit",
     {"core/a.h": '#include "core/b.h"', "core/a.cpp": '#include "core/a.h"', "core/b.h": ""}, []),
    ("two units including each other",
     {"io/a.h": '#include "io/b.h"', "io/b.cpp": '  #  include "io/a.h"', "io/b.h": ""},
     ["loop between 2 units: io/a -> io/b -> io/a"]),
    ("a file outside the layout",
     {"misc/m.h": ""}, ["misc/m.h: lies on no floor of the layout"]),
    ("an include of a file that is not there",
     {"core/c.cpp": '#include "core/gone.h"'},
     ["core/c.cpp:1: includes core/gone.h, which is no source of the tree"]),
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
