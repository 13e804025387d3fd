"""Fitted ROC and LROC curves of each reader of a simulated reader study.

Draws a study from the LROC model with a fixed seed (4 readers, 2
modalities, 60 cases without and 60 with a target, ratings on a 6-point
scale), makes its reader x modality tables as ``varnel-study bin`` does,
fits the LROC model to each and plots the fitted curves with matplotlib:
one panel per modality, ROC curves solid and LROC curves dashed, one colour
per reader, AreaROC and AreaLROC in the legend.

    pip install . matplotlib
    python examples/python/plot_curves.py [OUT.png]
"""

import sys

import matplotlib

matplotlib.use("Agg")  # draws into a file; no display needed
import matplotlib.pyplot as plt
import numpy as np
import pandas as pd

import varnel


def simulated_study(seed=1, readers=4, cases=60, mu=(1.2, 1.8), levels=6):
    """Per-case ratings from the LROC model: a case without a target is rated
    Y ~ N(0, 1); a target case has the target value X ~ N(mu, 1) and the
    highest value elsewhere Z ~ N(0, 1), is rated max(X, Z) and correctly
    localized when X > Z.  Ratings are cut into 1..levels."""
    rng = np.random.default_rng(seed)
    truth = np.repeat([0, 1], cases)
    rows = []
    for r in range(readers):
        for m, mean in enumerate(mu):
            x = mean + rng.standard_normal(truth.size)
            z = rng.standard_normal(truth.size)
            rating = np.where(truth == 1, np.maximum(x, z), z)
            rows.append(pd.DataFrame({
                "reader": f"Reader {r + 1}", "modality": f"Modality {m + 1}",
                "case": np.arange(truth.size), "truth": truth,
                "rating": 1 + np.searchsorted(np.linspace(-0.5, 2.5, levels - 1), rating),
                "localized": pd.array(np.where(truth == 1, x > z, pd.NA), dtype="boolean")}))
    return pd.concat(rows, ignore_index=True)


def main(out="curves.png"):
    cases = simulated_study()
    tables = varnel.bin(cases).tables  # {(reader, modality): Study}
    modalities = list(dict.fromkeys(m for _, m in tables))
    fig, axes = plt.subplots(1, len(modalities), figsize=(5 * len(modalities), 5), sharey=True)
    for ax, modality in zip(axes, modalities):
        for k, ((reader, m), study) in enumerate(t for t in tables.items() if t[0][1] == modality):
            result = varnel.fit(study)
            curves = result.curves()
            colour = f"C{k}"
            ax.plot(curves.fpf, curves.roc[0], color=colour,
                    label=f"{reader}: AUC {result.area_roc[0]:.3f}, "
                          f"ALROC {result.area_lroc[0]:.3f}")
            ax.plot(curves.fpf, curves.lroc[0], color=colour, linestyle="--")
        ax.set(title=modality, xlabel="false-positive fraction", xlim=(0, 1), ylim=(0, 1),
               aspect="equal")
        ax.legend(loc="lower right", fontsize="small", title="ROC solid, LROC dashed")
    axes[0].set_ylabel("true-positive fraction (LROC: and correctly localized)")
    fig.tight_layout()
    fig.savefig(out, dpi=100)
    print(f"wrote {out}")


if __name__ == "__main__":
    main(*sys.argv[1:2])
