// The shared records of a run.
#include "model/lroc_common.h"

globals_t globals_ = {};
qvals_t qvals_ = {};
terms_t terms_ = {};
