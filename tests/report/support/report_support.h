// Helpers shared by the report tests: output units bound to real temporary
// files and the model dimensions of a test case.
#pragma once

#include <string>

#include "numeric/tables.h"
#include "support/alloc_count.h"

// Binds an output unit to a fresh temporary file for the life of the object.
// text() releases the unit and returns everything written to it.
class unit_file {
public:
    explicit unit_file(int lun);
    ~unit_file();
    unit_file(const unit_file&) = delete;
    unit_file& operator=(const unit_file&) = delete;

    std::string text();
    int lun() const { return lun_; }

private:
    int lun_;
    bool open_;
    char path_[64];
};

// Sets globals_ for ndist distributions and ncat categories (noloc 0, npar
// derived) and clears the chance-localization record.
void set_model(int ndist, int ncat);

// A covariance matrix that is zero except for the given diagonal.
void diagonal_xp(ptable& xp, const double* variances, int n);


// Lines of a text, each without its line feed.
int count_lines(const std::string& text);
std::string line_of(const std::string& text, int index);  // 0-based
