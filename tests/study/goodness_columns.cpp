// The goodness of fit in fit_study's results: degrees of freedom counted by
// hand for tables with and without NOLOC and with two targets, the chi-square
// p-values beside them, the columns after `status`, and the bootstrap's
// p-values, the same for a seed whatever the number of threads.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "varnel/fit_study.h"
#include "varnel/summary.h"

using namespace varnel;
using namespace varnel::study;

namespace {

// Counts drawn once by hand from the model's shape (non-target column
// first), fitted by the console program's defaults.
Study one_target_noloc1()
{
    Study s;
    s.observer = "A";
    s.condition = "M";
    s.replication = "1";
    s.targets = 1;
    s.categories = 6;
    s.noloc = 1;
    const int normal[] = {30, 25, 20, 12, 8, 5};
    const int merged1 = 4;
    const int incorrect[] = {0, 3, 3, 2, 1, 1};
    const int correct[] = {0, 4, 8, 12, 18, 24};
    for (int k = 1; k <= 6; ++k) {
        s.correct(k, 1) = normal[k - 1];
        if (k == 1)
            s.correct(k, 2) = merged1;
        else {
            s.incorrect(k, 2) = incorrect[k - 1];
            s.correct(k, 2) = correct[k - 1];
        }
    }
    return s;
}

// Two target classes, ratings alone (NOLOC = 5).
Study two_targets_roc()
{
    Study s;
    s.observer = "B";
    s.condition = "M";
    s.replication = "1";
    s.targets = 2;
    s.categories = 5;
    s.noloc = 5;
    const int counts[3][5] = {{40, 25, 15, 12, 8}, {6, 8, 12, 20, 34}, {10, 12, 14, 18, 26}};
    for (int m = 1; m <= 3; ++m)
        for (int k = 1; k <= 5; ++k) s.correct(k, m) = counts[m - 1][k - 1];
    return s;
}

FitInput input_of(std::vector<Study> tables, int targets)
{
    FitInput in;
    for (Study& s : tables) in.tables.push_back(study::Table{s.observer, s.condition, s, "", s.observer});
    in.target_classes = targets;
    in.data_files = {"a.lrc", "b.lrc"};
    return in;
}

std::vector<std::string> split(const std::string& line)
{
    std::vector<std::string> cells;
    std::stringstream in(line);
    for (std::string c; std::getline(in, c, ',');) cells.push_back(c);
    if (!line.empty() && line.back() == ',') cells.push_back("");
    return cells;
}

}  // namespace

// New columns come after `status`, which keeps its place.
TEST(GoodnessColumns, AfterStatus)
{
    const auto& c = result_columns();
    ASSERT_EQ(c.size(), 45u);
    EXPECT_EQ(c[32], "status");
    EXPECT_EQ(std::vector<std::string>(c.begin() + 33, c.end()),
              (std::vector<std::string>{"cells", "df", "p_pearson", "p_deviance", "cells_ratings",
                                        "df_ratings", "p_pearson_ratings", "p_deviance_ratings",
                                        "bootstrap_replicates", "bootstrap_failed",
                                        "bootstrap_p_pearson", "bootstrap_p_deviance"}));
}

// Six categories, NOLOC 1: 6 + (1 + 2 x 5) = 17 cells, 2 distributions, 5
// boundaries + mean and sigma: 8 df (ratings alone 12 - 2 - 7 = 3).  Two
// targets, ROC data: 3 x 5 cells, 3 distributions, 4 + 2 x 2 parameters:
// 4 df either way.  The p-values are the chi-square tails of the statistics.
TEST(GoodnessColumns, DegreesOfFreedomCountedByHand)
{
    FitInput in = input_of({one_target_noloc1()}, 1);
    in.settings = *fit_settings({}, 1);
    auto r = fit_study(in, FitStudyOptions{});
    ASSERT_TRUE(r.ok()) << r.error().message;
    const TableResult& t = r->results[0];
    ASSERT_TRUE(t.status.empty()) << t.status;
    EXPECT_EQ(t.chi_square.cells, 17);
    EXPECT_EQ(t.chi_square.df, 8);
    EXPECT_EQ(t.chi_square.cells_ratings, 12);
    EXPECT_EQ(t.chi_square.df_ratings, 3);
    EXPECT_DOUBLE_EQ(t.chi_square.p_pearson, chi_square_p_value(t.likelihood.pearson, 8));
    EXPECT_DOUBLE_EQ(t.chi_square.p_deviance_ratings,
                     chi_square_p_value(t.likelihood.deviance_ratings, 3));
    const std::string csv = format_results_csv(*r);
    const auto row = split(csv.substr(csv.find('\n') + 1, csv.find('\n', csv.find('\n') + 1) -
                                                               csv.find('\n') - 1));
    ASSERT_EQ(row.size(), 45u) << csv;
    EXPECT_EQ(row[33], "17");
    EXPECT_EQ(row[34], "8");
    EXPECT_EQ(row[38], "3");
    EXPECT_EQ(row[41], "") << "no bootstrap asked";

    FitInput two = input_of({two_targets_roc()}, 2);
    two.settings = *fit_settings({}, 2);
    auto r2 = fit_study(two, FitStudyOptions{});
    ASSERT_TRUE(r2.ok());
    EXPECT_EQ(r2->results[0].chi_square.cells, 15);
    EXPECT_EQ(r2->results[0].chi_square.df, 4);
    EXPECT_EQ(r2->results[0].chi_square.df_ratings, 4);
    const auto doc = nlohmann::json::parse(format_results_json(*r2));
    ASSERT_EQ(doc["results"].size(), 2u);
    EXPECT_EQ(doc["results"][1]["df"], 4);
    EXPECT_TRUE(doc["results"][1]["bootstrap_p_pearson"].is_null());
}

// The bootstrap: every replicate counted, p-values in [0, 1], the same bytes
// on one thread and on two (per-table seeds), and a table that could not be
// fitted has none of the new values.
TEST(GoodnessColumns, BootstrapTheSameOnAnyNumberOfThreads)
{
    Study empty_target = two_targets_roc();
    for (int k = 1; k <= 5; ++k) empty_target.correct(k, 3) = 0;
    FitInput in = input_of({one_target_noloc1(), two_targets_roc(), empty_target}, 2);
    in.settings = *fit_settings({}, 2);
    FitStudyOptions options;
    options.gof_bootstrap = 40;
    options.seed = 7;
    std::string first;
    for (int threads : {1, 2}) {
        options.run.threads = threads;
        auto r = fit_study(in, options);
        ASSERT_TRUE(r.ok());
        for (int i = 0; i < 2; ++i) {
            const TableResult& t = r->results[i];
            EXPECT_EQ(t.bootstrap_replicates, 40);
            EXPECT_GE(t.bootstrap_p_pearson, 0.0);
            EXPECT_LE(t.bootstrap_p_pearson, 1.0);
        }
        EXPECT_FALSE(r->results[2].status.empty());
        EXPECT_EQ(r->results[2].bootstrap_replicates, 0);
        const std::string csv = format_results_csv(*r);
        if (first.empty())
            first = csv;
        else
            EXPECT_EQ(csv, first);
    }
    const std::string last_row = first.substr(first.rfind('\n', first.size() - 2) + 1);
    EXPECT_EQ(last_row.substr(last_row.find("Target distribution")),
              "Target distribution 2 has no cases,,,,,,,,,,,,\n");
    options.gof_bootstrap = -1;
    EXPECT_EQ(fit_study(in, options).error().kind, ErrorKind::bad_settings);
}
