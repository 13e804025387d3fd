// Helpers shared by the report tests: a printer that collects its text, the
// model dimensions of a test case and a diagonal covariance matrix.
#pragma once

#include <string>

#include "report/blocks.h"
#include "support/alloc_count.h"
#include "varnel/fit.h"
#include "varnel/printer.h"
#include "varnel/report.h"

// A printer over a string record: text holds everything written.
struct text_printer {
    std::string text;
    varnel::output::Record record = varnel::output::string_record(text);
    varnel::output::Printer out{record};
};

// The model of ndist distributions and ncat categories: noloc 0, the
// parameter count derived, no chance values.
varnel::ModelSpec model_spec(int ndist, int ncat);

// A covariance matrix that is zero except for the given diagonal.
void diagonal_covariance(varnel::ParameterMatrix& xp, const double* variances, int n);

// Lines of a text, each without its line feed.
int count_lines(const std::string& text);
std::string line_of(const std::string& text, int index);  // 0-based
