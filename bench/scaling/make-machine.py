#!/usr/bin/env python3
"""Writes a simulated machine of 11 devices with N modes each: every resolution in three
colour depths, the resolutions growing, so the catalogue writes a line per three modes."""
import json
import sys

modes_per_device = int(sys.argv[1])
modes = [{"width": 640 + i // 3, "height": 480, "bits": 8 << (i % 3), "frequency": 60}
         for i in range(modes_per_device)]
devices = [{"name": f"\\\\.\\DISPLAY{n + 1}", "string": "Bench Adapter", "flags": 5 if n == 0 else 1,
            "current": {"width": 1024, "height": 768, "bits": 32, "frequency": 60}, "modes": modes}
           for n in range(11)]
json.dump({"devices": devices}, sys.stdout, separators=(",", ":"))
