// Shared records of a run: the model dimensions, the chance-localization
// values and the model-derivative tables.  Written by the input steps and the
// driver, read by the numerical code.
#pragma once

#include "numeric/tables.h"

struct globals_t {
    int noloc;  // lowest categories without localization data (0..ncat)
    int ncat;   // rating categories
    int ndist;  // target distributions plus one
    int npar;   // (ncat - 1) + 2 * (ndist - 1)
};
extern globals_t globals_;

struct qvals_t {
    double qset[15];  // qset[t - 1]: chance of a lucky correct localization, target t
    int qflag;        // a non-zero chance value was entered
};
extern qvals_t qvals_;

struct terms_t {
    ctable ffds;    // d ff / d sigma(j), cumulative
    ctable ffdmu;   // d ff / d mu(j), cumulative
    ctable ffdsd;   // d fd / d sigma(j), per category
    ctable ffdmud;  // d fd / d mu(j), per category
};
extern terms_t terms_;

// qset(t), 1-based as in the formulas.
inline double& qset(int t) { return qvals_.qset[t - 1]; }
