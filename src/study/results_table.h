// The results table of varnel-study fit: one row per reader, modality and
// target class, as CSV (a header row, RFC 4180 quoting) or as JSON.
//
// Columns, in order: reader, modality, target, normal_cases, target_cases,
// categories (after dropping empty ones), noloc (as the fit used it), chance,
// converged (true/false), iterations, mu, se_mu, sigma, se_sigma, area_roc,
// se_area_roc, area_lroc, se_area_lroc, loc_accuracy, se_loc_accuracy,
// adjusted_area_lroc, adjusted_loc_accuracy (with chance values only), dloc,
// se_dloc, pcl, se_pcl, log_likelihood, log_likelihood_ratings, deviance,
// deviance_ratings, pearson, pearson_ratings, status, then cells, df,
// p_pearson, p_deviance, cells_ratings, df_ratings, p_pearson_ratings,
// p_deviance_ratings, bootstrap_replicates, bootstrap_failed,
// bootstrap_p_pearson, bootstrap_p_deviance (after status, so that scripts
// reading the first columns by position keep working).
// Numbers are written in their shortest exact form; a value the fit did not
// give is empty (CSV) or null (JSON), as are NaN and infinite values in JSON
// (in CSV they are NaN, Inf, -Inf).  status is empty, or why the table could
// not be fitted.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "study/batch.h"

namespace varnel::study {

// The column names, in order.
const std::vector<std::string>& result_columns();

std::string results_csv(const std::vector<Table>& tables, const std::vector<TableResult>& results);

// The rows as an array of objects keyed by column name.
nlohmann::ordered_json results_json(const std::vector<Table>& tables,
                            const std::vector<TableResult>& results);

}  // namespace varnel::study
