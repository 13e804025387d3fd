// The fit driver and the fit section of the report.
#include "model/locfit.h"

#include "model/LMitercl.h"
#include "model/lroc_common.h"
#include "model/lrocinitp.h"
#include "output/io_routs.h"

// Fits the LROC model: initial estimates (shown on the console), the
// Levenberg-Marquardt iteration, and the verdict on the trace unit.
int locfit_(const ftable& freqe, const ftable& freqc, const double* xnstim,
            const double& convcrit, double* est_bound__, double* est_b__, double* est_a__,
            double* est_bndinit__, double* est_binit__, double* est_ainit__, double& lamda,
            int& ll, double& tnet, int& solution, ptable& xp) {
    constexpr int trace_unit = 3;
    constexpr int console_unit = 6;
    const int ndist = globals_.ndist;
    const int nbound = globals_.ncat - 1;

    out_str__(console_unit, "(/,' Finding initial values')");
    solution = 1;

    lrocinitp_(est_ainit__, est_binit__, freqc, freqe, est_bndinit__, xnstim);
    for (int j = 0; j < ndist; ++j) {
        est_a__[j] = est_ainit__[j];
        est_b__[j] = est_binit__[j];
    }
    for (int k = 0; k < nbound; ++k) est_bound__[k] = est_bndinit__[k];

    out_str__(console_unit, "(/,' initial parameter estimates:')");
    out_arr_r__(console_unit, "(' mu =        ',$)", "(f13.8,$)", est_a__, 1, ndist);
    out_arr_r__(console_unit, "(' sigma =     ',$)", "(f13.8,$)", est_b__, 1, ndist);
    out_arr_r__(console_unit, "(' boundaries =',$)", "(f13.8,$)", est_bound__, 1, nbound);
    out_str__(console_unit, "(/,' Sigma for distributions set by fit')");

    lmitercl_(est_a__, est_b__, freqe, freqc, est_bound__, xnstim, ll, solution, tnet, convcrit,
              lamda, xp);

    if (!solution) {
        out_int__(trace_unit, "(' No solution after ',i4,' iterations')", ll);
        out_real__(trace_unit, "(' tnet = ',f13.8)", tnet);
        out_arr_r__(trace_unit, "(' est. mu =    ',$)", "(f13.8,$)", est_a__, 1, ndist);
        out_arr_r__(trace_unit, "(' est. sigma = ',$)", "(f13.8,$)", est_b__, 1, ndist);
    } else {
        out_str__(trace_unit, "(' Have a satisfactory fit!!!')");
    }
    return 0;
}

// Fit section of the report: verdict, iteration figures, and the fitted next
// to the initial means, standard deviations and boundaries.
int wrtresults_(const int& lun, const int& ndist, const int& ncat, const double* est_bound__,
                const double* est_b__, const double* est_a__, const double* est_bndinit__,
                const double* est_binit__, const double* est_ainit__, const int& solution,
                const int& ll, const double& tnet, const double& lambda) {
    constexpr const char* item = "(1x,f8.4,$)";
    constexpr const char* fit_label = "('Fit   ',$)";
    constexpr const char* init_label = "('Inital',$)";
    const int nbound = ncat - 1;

    if (solution)
        out_str__(lun, "(/,'Procedure has estimates of model parameters')");
    else
        out_str__(lun, "(/,'Procedure has failed to fit ratings')");
    out_int__(lun, "('    Number of interations =   ',1i5)", ll);
    out_real__(lun, "('    Stopping index (tnet) =',f13.8,$)", tnet);
    out_real__(lun, "('  lambda = ',e22.14)", lambda);
    out_int__(lun, "('    Number of distributions = ',1i5)", ndist);

    out_str__(lun, "(/,'    Mean of distributions')");
    out_arr_r__(lun, fit_label, item, est_a__, 1, ndist);
    out_arr_r__(lun, init_label, item, est_ainit__, 1, ndist);

    out_str__(lun, "(/,'    Sigma of distributions')");
    out_arr_r__(lun, fit_label, item, est_b__, 1, ndist);
    out_arr_r__(lun, init_label, item, est_binit__, 1, ndist);

    out_str__(lun, "(/,'    Boundaries')");
    out_arr_r__(lun, fit_label, item, est_bound__, 1, nbound);
    out_arr_r__(lun, init_label, item, est_bndinit__, 1, nbound);
    return 0;
}
