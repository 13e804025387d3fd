// The likelihood statistics at the final estimates, and their report block.
#include "model/loglchi.h"

#include "model/lroc_stat.h"
#include "output/io_routs.h"

// All six likelihood statistics at the point (a, b, z) for the report; a(ndist)
// and b(ndist) must be 0 and 1.  The same evaluation as a trial point of the
// fit (the model without derivatives); its work tables are scratch.
int loglchi_(const double* a, const double* b, const double* z, const ftable& freqc,
             const ftable& freqe, double& logd1, double& logd2, double& logl1, double& logl2,
             double& chi1, double& chi2) {
    return lroc_fit__(a, b, z, freqc, freqe, logd1, logd2, logl1, logl2, chi1, chi2);
}

// Report block of the log-likelihoods, deviances and Pearson statistics.
int wrtloglchi_(const int& lun, const double& logd1, const double& logd2, const double& logl1,
                const double& logl2, const double& chi1, const double& chi2) {
    out_str__(lun, "(/,'Loglikelihood and chi-squared')");
    out_real_2__(lun, "('logd1,logd2',$)", "(f14.5,$)", logd1, logd2);
    out_real_2__(lun, "('logL1,logL2',$)", "(f14.5,$)", logl1, logl2);
    out_real_2__(lun, "('chi1,chi2  ',$)", "(f14.5,$)", chi1, chi2);
    return 0;
}
