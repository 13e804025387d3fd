// The statistics after the fit and the report blocks that show them.  Every
// array argument points to element 1 (distribution, target, boundary or grid
// point); distribution ndist is the non-target one, N(0, 1).
#pragma once

#include "varnel/printer.h"
#include "varnel/summary.h"

namespace varnel::report {

// Standard errors of the fitted parameters and, by the delta method, of
// d_loc, AreaROC, AreaLROC and the localization accuracy per target
// (se_mean, se_sigma, se_bounds, se_dloc, se_area_roc, se_area_lroc,
// se_loc_accuracy and the negative-variance notes of s).
void standard_errors(const ModelSpec& spec, const double* mu, const double* sigma,
                     const ParameterMatrix& covariance, Summary& s);
// Derivatives of AreaROC and of the localization accuracy for targets 1..nd-1.
void area_derivatives(int nd, const double* a, const double* b, double* duaz, double* dsaz,
                      double* dual1, double* dsal);

// AreaROC, AreaLROC, the localization accuracy and, with chance values
// entered, the adjusted values.
void areas(const ModelSpec& spec, const double* a, const double* b, double* arearoc,
           double* arealroc, double* locacc, double* adjarea, double* adjloc);
// d_loc and the probability of correct localization per target.
void localization(int nd, const double* a, const double* b, double* pcl, double* dloc);
// Moments of each distribution's rating and the binormal d_a and Az they imply.
void moments(const double* a, const double* b, int nd, double* mean, double* sd, double* skew,
             double* kurt, double* app_da, double* app_az);
// ROC and LROC curves of each target on the fixed threshold grid.
void curves(const ModelSpec& spec, const double* a, const double* b, double* fp, CurveTable& tp,
            CurveTable& ctp, CurveTable& ctpadj);
// Standard errors on the diagonal, correlations off it, of the leading n x n
// block of a covariance matrix, in place.
void correlation_matrix(ParameterMatrix& xp, int n);

// Report blocks.
void write_parameters(output::Printer& out, int ndist, const double* mean, const double* sigma,
                      const double* se_mean, const double* se_sigma);
void write_boundaries(output::Printer& out, const double* bounds, const double* se_bounds,
                      int ncat);
void write_areas(output::Printer& out, int ndist, const double* arearoc, const double* arealroc,
                 const double* locacc, const double* seaz, const double* seal, bool adjusted,
                 const double* adjarea, const double* adjloc);
void write_localization(output::Printer& out, int ndist, const double* dloc,
                        const double* sedloc, const double* pcl, const double* sepcl);
void write_moments(output::Printer& out, int ndist, const double* mean, const double* sd,
                   const double* skew, const double* kurt, const double* app_da,
                   const double* app_az);
void write_likelihood(output::Printer& out, const LikelihoodStatistics& l);
void write_curves(output::Printer& out, int nd, const double* fp, const CurveTable& tp,
                  const CurveTable& ctp, const CurveTable& ctpadj, bool adjusted);
// The matrix report of an already converted matrix (correlation_matrix).
void write_correlation(output::Printer& out, const ModelSpec& spec, const ParameterMatrix& xp);

}  // namespace varnel::report
