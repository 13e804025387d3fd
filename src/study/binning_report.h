// A readable account of how a study was binned: its size, the rating
// categories and, per table, NOLOC and the numbers of ratings.
#pragma once

#include <string>
#include <vector>

#include "study/binning.h"
#include "study/cases.h"

namespace varnel::study {

// Lines of text: the study's size; the categories with their labels, exact
// rating ranges and numbers of ratings; one line per table with its reader,
// modality, NOLOC and numbers of ratings of cases without and with a target.  `file_names` (one
// per table, or empty) adds the file each table was saved in.
std::string format_binning(const CaseStudy& study, const BinnedStudy& binned,
                           const std::vector<std::string>& file_names);

}  // namespace varnel::study
