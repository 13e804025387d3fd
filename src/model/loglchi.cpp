// The likelihood statistics at the final estimates, and their report block.
#include "model/loglchi.h"

#include "model/dist_param.h"
#include "model/lroc_stat.h"
#include "output/io_routs.h"

namespace {

// Category tables of the report's model evaluation.
ctable rep_fd, rep_ild, rep_cld;

}  // namespace

// All six likelihood statistics at the point (a, b, z) for the report; a(ndist)
// and b(ndist) must be 0 and 1.
int loglchi_(const double* a, const double* b, const double* z, const ftable& freqc,
             const ftable& freqe, double& logd1, double& logd2, double& logl1, double& logl2,
             double& chi1, double& chi2) {
    distr_param3__(a, b, z, rep_fd, rep_ild, rep_cld);
    lroc_logl__(freqc, freqe, rep_fd, rep_ild, rep_cld, logd1, logd2);
    lroc_logl2__(freqc, freqe, rep_fd, rep_ild, rep_cld, logl1, logl2);
    lroc_chisq__(freqc, freqe, rep_fd, rep_ild, rep_cld, chi1, chi2);
    return 0;
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
