// The varnel library: fitting the LROC rating model to observer studies, and
// whole reader studies from per-case ratings (binning, the fits of every
// table, significance tests of figures of merit).
#pragma once

#include "varnel/analysis.h"
#include "varnel/binning.h"
#include "varnel/cases.h"
#include "varnel/compare.h"
#include "varnel/data_file.h"
#include "varnel/error.h"
#include "varnel/fit.h"
#include "varnel/fit_study.h"
#include "varnel/fom.h"
#include "varnel/format.h"
#include "varnel/goodness_of_fit.h"
#include "varnel/power.h"
#include "varnel/printer.h"
#include "varnel/report.h"
#include "varnel/run_control.h"
#include "varnel/study.h"
#include "varnel/summary.h"
#include "varnel/table.h"
