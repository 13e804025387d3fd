// Category probabilities of the LROC model: for every distribution and rating
// category the probability of a rating there and, for target images, its
// split into correct and incorrect localization.
//
// Notation of the tables (fit order: targets 1..ndist-1, non-target ndist;
// rows are boundary positions i = 1..ncat+1, row 1 below everything, or
// categories k = 1..ncat):
//   X ~ N(mu_j, sigma_j) the target location's value, Z ~ N(0, 1) the highest
//   value elsewhere; the rating is max(X, Z), a correct localization X > Z.
//   f(i, j)  Phi((z(i-1) - mu_j)/sigma_j);  p(i, j) the density phi there;
//   ff       P(max(X, Z) <= z), cumulative;  il  P(X < Z <= z);  cl  P(Z < X <= z);
//   fd(k, j) P(rating in category k);  ild  P(... k, incorrectly localized);
//   cld      P(... k, correctly localized).
#pragma once

#include "numeric/romberg.h"
#include "varnel/fit.h"

namespace varnel::model {

// Everything the gradient and the information matrix need at one point.
struct DerivativeTables {
    BoundaryTable p, f;
    BoundaryTable fd, ild, cld;
    // d/dmu and d/dsigma of the cumulative il and cl.
    BoundaryTable ilda, ildb, clda, cldb;
    // The same per category.
    BoundaryTable ildad, ildbd, cldad, cldbd;
    // d/dmu and d/dsigma of ff, cumulative and per category.
    BoundaryTable ffdmu, ffds, ffdmud, ffdsd;
    // Cumulative work tables.
    BoundaryTable ff, il, cl;
};

// The category probabilities alone, and their work tables.
struct CategoryTables {
    BoundaryTable fd, ild, cld;
    BoundaryTable f, ff, il, cl;
};

// The category probabilities fd, ild, cld at (mu, sigma, z), floored at
// 1e-10, with every derivative table.  Sets mu(ndist) = 0, sigma(ndist) = 1.
// Integrals by Romberg integration (relative tolerance 1e-7), split at -3/3.
void probabilities_with_derivatives(const ModelSpec& spec, double* mu, double* sigma,
                                    const double* z, DerivativeTables& t,
                                    numeric::Romberg& romberg);

// The category probabilities alone, floored at 1e-8.  Expects mu(ndist) = 0
// and sigma(ndist) = 1.  Integrals split at -4/4.
void category_probabilities(const ModelSpec& spec, const double* mu, const double* sigma,
                            const double* z, CategoryTables& t, numeric::Romberg& romberg);

}  // namespace varnel::model
