// The reports written after the fit: standard errors, areas, localization,
// moments, curves and the standard-error and correlation matrix.  Every array
// argument points to element 1 (distribution, target, boundary or grid point);
// the distribution ndist is the non-target one, N(0, 1).
#pragma once

#include "numeric/tables.h"

// Curve tables: grid point (300) by target (16), leading dimension 300.
using curve_table = table_t<double, 300, 16>;

// Standard errors of the fitted parameters and, by the delta method, of d_loc,
// AreaROC and the localization accuracy per target.  z__ is not read.
int lrocstderr1j_(const double* mu, const double* sigma, const double* z__, const ptable& xp,
                  double* semean, double* sesigma, double* sez, double* sedloc, double* seaz,
                  double* seal);
// Derivatives of AreaROC and of the localization accuracy for targets 1..nd-1.
int lroc_areaj__(const int& nd, const double* a, const double* b, double* duaz, double* dsaz,
                 double* dual1, double* dsal);
// Parameter table: standard deviations are passed before the means.
int wrtpara2_(const int& lun, const int& ndist, const double* est_binit__,
              const double* est_ainit__, const double* stderr_mean__,
              const double* stderr_sigma__);
// Boundary table: the unit comes last.
int wrtbound2_(const double* est_bound__, const double* stderr_bound__, const int& ncat,
               const int& lun);

int areasroc_(const double* a, const double* b, double* arearoc, double* arealroc,
              double* locacc, double* adjarea, double* adjloc);
int wrtareas2_(const int& lun, const int& ndist, const double* arearoc, const double* arealroc,
               const double* locacc, const double* seaz, const double* seal, const int& flag__,
               const double* adjarea, const double* adjloc);

// Note the order: probability before index.
int pclroc_(const int& nd, const double* a, const double* b, double* pcl, double* dloc);
int wrtpcl2_(const int& lun, const int& ndist, const double* dloc, const double* sedloc,
             const double* pcl, const double* stderr_pcl__);

int moments_(const double* a, const double* b, const int& nd, double* mean, double* sd,
             double* skew, double* kurt, double* app_da__, double* app_az__);
int wrtmoments_(const int& lun, const int& ndist, const double* mean, const double* sd,
                const double* skew, const double* kurt, const double* app_da__,
                const double* app_az__);

int lroccurves_(const double* a, const double* b, double* fp, curve_table& tp,
                curve_table& ctp, curve_table& ctpadj);
int wrtcurves_(const int& lun, const int& nd, const double* fp, const curve_table& tp,
               const curve_table& ctp, const curve_table& ctpadj, const int& flag__);

// In place: standard errors on the diagonal, correlations off it.
int convert_xp__(ptable& xp);
// Converts xp, then writes the matrix report.
int wrtxp_(const int& lun, ptable& xp);
