// The fit section of the report.
#include "varnel/report.h"

namespace varnel::report {

// Verdict, iteration figures, and the fitted next to the initial means,
// standard deviations and boundaries.
void write_fit(output::Printer& out, const PreparedStudy& prepared, const FitResult& fit)
{
    constexpr const char* item = "(1x,f8.4,$)";
    constexpr const char* fit_label = "('Fit   ',$)";
    constexpr const char* init_label = "('Inital',$)";
    const int ndist = prepared.spec.distributions;
    const int nbound = prepared.spec.categories - 1;

    if (fit.converged)
        out.text("(/,'Procedure has estimates of model parameters')");
    else
        out.text("(/,'Procedure has failed to fit ratings')");
    out.write("('    Number of interations =   ',1i5)", fit.iterations);
    out.write("('    Stopping index (tnet) =',f13.8,$)", fit.stopping_index);
    out.write("('  lambda = ',e22.14)", fit.damping);
    out.write("('    Number of distributions = ',1i5)", ndist);

    out.text("(/,'    Mean of distributions')");
    out.value_row(fit_label, item, fit.estimate.mean, 1, ndist);
    out.value_row(init_label, item, fit.initial.mean, 1, ndist);

    out.text("(/,'    Sigma of distributions')");
    out.value_row(fit_label, item, fit.estimate.sigma, 1, ndist);
    out.value_row(init_label, item, fit.initial.sigma, 1, ndist);

    out.text("(/,'    Boundaries')");
    out.value_row(fit_label, item, fit.estimate.bounds, 1, nbound);
    out.value_row(init_label, item, fit.initial.bounds, 1, nbound);
}

}  // namespace varnel::report
