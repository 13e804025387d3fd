// The report sequence after the fit, with the parameter and boundary tables.
#include "report/para2output.h"

#include "model/loglchi.h"
#include "model/lroc_common.h"
#include "output/io_routs.h"
#include "report/reports.h"

namespace {
// Results of a report pass; each pass rewrites them before writing them.
double semean[16], sesigma[16], sez[16];
double sedloc[15], seaz[15], seal[15];
double arearoc[15], arealroc[15], locacc[15], adjarea[15], adjloc[15];
double pcl[15], dloc[15];
double mean[16], sd[16], skew[16], kurt[16], app_da__[16], app_az__[16];
double logd1, logd2, logl1, logl2, chi1, chi2;
double fp[300];
curve_table tp, ctp, ctpadj;
}  // namespace

// One report pass to unit lun: standard errors, parameter and boundary tables,
// areas, localization, moments and likelihood statistics; a pass to any unit
// other than the console adds the curves and, last because it turns xp into
// standard errors and correlations, the matrix report.
int para2output_(const int& lun, const double* est_sigma__, const double* est_mean__,
                 const double* est_bound__, const ftable& freqe, const ftable& freqc,
                 ptable& xp)
{
    constexpr int console_unit = 6;
    const int ndist = globals_.ndist;
    const int ncat = globals_.ncat;
    const int qflag = qvals_.qflag;

    lrocstderr1j_(est_mean__, est_sigma__, est_bound__, xp, semean, sesigma, sez, sedloc, seaz,
                  seal);
    wrtpara2_(lun, ndist, est_sigma__, est_mean__, semean, sesigma);
    wrtbound2_(est_bound__, sez, ncat, lun);
    areasroc_(est_mean__, est_sigma__, arearoc, arealroc, locacc, adjarea, adjloc);
    wrtareas2_(lun, ndist, arearoc, arealroc, locacc, seaz, seal, qflag, adjarea, adjloc);
    pclroc_(ndist, est_mean__, est_sigma__, pcl, dloc);
    wrtpcl2_(lun, ndist, dloc, sedloc, pcl, seal);
    moments_(est_mean__, est_sigma__, ndist, mean, sd, skew, kurt, app_da__, app_az__);
    wrtmoments_(lun, ndist, mean, sd, skew, kurt, app_da__, app_az__);
    loglchi_(est_mean__, est_sigma__, est_bound__, freqc, freqe, logd1, logd2, logl1, logl2,
             chi1, chi2);
    wrtloglchi_(lun, logd1, logd2, logl1, logl2, chi1, chi2);
    if (lun != console_unit) {
        lroccurves_(est_mean__, est_sigma__, fp, tp, ctp, ctpadj);
        wrtcurves_(lun, ndist, fp, tp, ctp, ctpadj, qflag);
        wrtxp_(lun, xp);
    }
    return 0;
}

// Means and standard deviations with their standard errors; the value rows
// end with the fixed non-target column, which has no index above it.
int wrtpara2_(const int& lun, const int& ndist, const double* est_binit__,
              const double* est_ainit__, const double* stderr_mean__,
              const double* stderr_sigma__)
{
    static const char value_fmt[] = "(1x,f8.5,$)";
    out_str__(lun, "(/,'     Distibution parameter values')");
    out_ind__(lun, "('Target dist #',$)", "(4x,1i2,'   ',$)", 1, ndist - 1);
    out_arr_r__(lun, "('Mean         ',$)", value_fmt, est_ainit__, 1, ndist);
    out_arr_r__(lun, "('    Std err  ',$)", value_fmt, stderr_mean__, 1, ndist);
    out_arr_r__(lun, "('Sigma        ',$)", value_fmt, est_binit__, 1, ndist);
    out_arr_r__(lun, "('    Std err  ',$)", value_fmt, stderr_sigma__, 1, ndist);
    return 0;
}

// Category boundaries with their standard errors.
int wrtbound2_(const double* est_bound__, const double* stderr_bound__, const int& ncat,
               const int& lun)
{
    static const char value_fmt[] = "(1x,f8.5,$)";
    out_arr_r__(lun, "(/,'Boundaries   ',$)", value_fmt, est_bound__, 1, ncat - 1);
    out_arr_r__(lun, "('    Std err  ',$)", value_fmt, stderr_bound__, 1, ncat - 1);
    return 0;
}
