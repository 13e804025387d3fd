// Category purge, fitting tables, data echo and the setup dialogue.
#pragma once

#include "input/lroc_data.h"

int purgconfu_(itable& freqnon, itable& freq, label_table& rating);
int setupconfu_(itable& freqnon, itable& freq, ftable& freqe, ftable& freqc, double* xnstim);
int wrtlroc_(const int& lun, const id_field& obsvr, const id_field& cond, const id_field& inum,
             const label_table& rating, const itable& freqnon, const itable& freq);
int getsetup_(double& convcrit);
// The first target distribution (1 upward) without any case, or 0.
int empty_target__(const itable& freqnon, const itable& freq);
