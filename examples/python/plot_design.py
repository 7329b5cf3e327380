"""Reads one SDM and plots its design (one column per predictor, time downwards) to a PNG.

Usage: /usr/bin/python3 plot_design.py [SDM] [PNG]"""
import os
import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt  # noqa: E402

import kelvora  # noqa: E402

here = os.path.dirname(os.path.abspath(__file__))
sdm_path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "study",
                                                               "sub-01_run-1.sdm")
png = sys.argv[2] if len(sys.argv) > 2 else "design.png"
sdm = kelvora.read_sdm(sdm_path)
figure, axes = plt.subplots(figsize=(6, 8))
axes.imshow(sdm.values, aspect="auto", cmap="gray", interpolation="nearest")
axes.set_xticks(range(len(sdm.names)), sdm.names, rotation=90)
axes.set_ylabel("data point")
axes.axvline(sdm.interest_count - 0.5, color="red")  # interest | confounds
figure.tight_layout()
figure.savefig(png)
print("wrote", png)
