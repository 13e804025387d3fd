// The variance components of a pilot study for power and sample size: from
// the analyses of `compare`, with the reader variability as Hillis,
// Obuchowski and Berbaum (2011) estimate it for planning.
#pragma once

#include "varnel/analysis.h"
#include "varnel/error.h"
#include "varnel/power.h"

namespace varnel::mrmc {

// Var, Cov1, Cov2, Cov3 and the modality means of the analysis, and
// VarTR = max(MS(TR) - Var + Cov1 + max(Cov2 - Cov3, 0), 0), for a pilot of
// `pilot_cases` cases.  A pilot with one reader leaves Cov2, Cov3 and VarTR
// NaN (undefined).
power::ModalityComponents modality_components(const ModalityAnalysis& analysis, int pilot_cases);

// Var_psi, Cov2_psi and the mean psi of the analysis, and
// VarR_psi = max(MS(R)_psi - Var_psi + Cov2_psi, 0), for a pilot of
// `pilot_cases` cases.  With one other reader Cov2_psi and VarR_psi are NaN.
power::ReferenceComponents reference_components(const ReferenceAnalysis& analysis,
                                                int pilot_cases);

// The same from the analyses of one target class (K* its cases: the normal
// cases and those of the class).  Errors when the class has no modality
// comparison (one modality), or no reference analysis of that modality
// (0-based; no reference reader was named).
Expected<power::ModalityComponents> modality_components(const ClassAnalysis& analyses);
Expected<power::ReferenceComponents> reference_components(const ClassAnalysis& analyses,
                                                        int modality);

}  // namespace varnel::mrmc
