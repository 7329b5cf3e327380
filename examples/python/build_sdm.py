"""Builds an SDM from a DataFrame (two boxcar conditions, a drift and a constant), writes it with
write_sdm, reads it back and checks its design with check_design.

Usage: /usr/bin/python3 build_sdm.py [SDM]   (default: built.sdm in the current folder)"""
import sys

import numpy as np
import pandas as pd

import kelvora

path = sys.argv[1] if len(sys.argv) > 1 else "built.sdm"
scans = np.arange(200)
design = pd.DataFrame({
    "Faces": ((scans // 20) % 2 == 0).astype(float),
    "Houses": ((scans // 20) % 2 == 1).astype(float),
    "Drift": scans / scans.max(),
    "Constant": np.ones(len(scans)),
})
kelvora.write_sdm(design, path, first_confound=3, includes_constant=True)
sdm = kelvora.read_sdm(path)
print(sdm)
# Faces + Houses == Constant: the design is rank deficient, and check_design says so.
print(kelvora.check_design(sdm.to_frame(), interest=sdm.interest_count)[["code", "text"]]
      .to_string())
