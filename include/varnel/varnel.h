// The varnel library: fitting the LROC rating model to observer studies.
#pragma once

#include "varnel/error.h"
#include "varnel/fit.h"
#include "varnel/format.h"
#include "varnel/goodness_of_fit.h"
#include "varnel/printer.h"
#include "varnel/report.h"
#include "varnel/study.h"
#include "varnel/summary.h"
#include "varnel/table.h"
