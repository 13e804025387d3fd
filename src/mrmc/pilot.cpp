// Planning components of a pilot study from its analyses.
#include "mrmc/pilot.h"

#include <algorithm>
#include <cmath>

#include "mrmc/stats.h"

namespace varnel::mrmc {

namespace {

// max(x, 0), keeping an undefined x undefined.
double at_least_zero(double x) { return std::isnan(x) ? x : std::max(x, 0.0); }

}  // namespace

power::ModalityComponents modality_components(const ModalityAnalysis& a, int pilot_cases)
{
    const Covariances& c = a.cov;
    power::ModalityComponents m;
    m.var = c.var;
    m.cov1 = c.cov1;
    m.cov2 = c.cov2;
    m.cov3 = c.cov3;
    m.var_tr = at_least_zero(a.ms.tr - c.var + c.cov1 + at_least_zero(c.cov2 - c.cov3));
    m.modality_means = a.modality_means;
    m.pilot_cases = pilot_cases;
    return m;
}

power::ReferenceComponents reference_components(const ReferenceAnalysis& a, int pilot_cases)
{
    power::ReferenceComponents r;
    r.var = a.var;
    r.cov2 = a.cov2;
    r.var_r = at_least_zero(a.ms_r - a.var + a.cov2);
    r.mean_psi = mean_of(a.psi);
    r.pilot_cases = pilot_cases;
    return r;
}

Expected<power::ModalityComponents> modality_components(const ClassAnalysis& analyses)
{
    if (!analyses.modalities)
        return input_error("the pilot has one modality: there is no modality comparison to plan; name a "
                     "reference reader to plan the comparison of the readers with it");
    return modality_components(*analyses.modalities, int(analyses.matrix.cases.size()));
}

Expected<power::ReferenceComponents> reference_components(const ClassAnalysis& analyses,
                                                        int modality)
{
    for (const ReferenceAnalysis& a : analyses.references)
        if (a.modality == modality)
            return reference_components(a, int(analyses.matrix.cases.size()));
    return input_error("the pilot has no reference analysis of modality " +
                 std::to_string(modality + 1) + ": name a reference reader");
}

}  // namespace varnel::mrmc
