// Draws a small reader study in memory (an algorithm and four radiologists
// reading the same 60 cases, binormal ratings with the mark on the target
// when its value beats the highest value elsewhere), hands it to the library
// as columns, as a data frame would, and compares the radiologists with the
// algorithm.
//   compare_study [FOM [CASES.csv]]
// FOM defaults to wilcoxon.  With CASES.csv the study is also written there
// as per-case ratings and the report is the JSON one, which
// `varnel-study compare CASES.csv --fom FOM --reference algorithm --format json`
// prints for the same file.
#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <variant>
#include <vector>

#include "varnel/compare.h"

namespace {

// Per-case ratings in columns: names as texts, truth and ratings as numbers,
// the localization as truth values, missing where no mark was recorded.
varnel::study::CaseColumns simulated_study()
{
    const char* readers[] = {"algorithm", "R1", "R2", "R3", "R4"};
    const double target_mean[] = {1.2, 1.5, 1.6, 1.7, 1.8};
    constexpr int normal_cases = 30, target_cases = 30;
    std::mt19937_64 random(20240601);
    std::normal_distribution<double> normal;

    varnel::study::CaseColumns columns;
    std::vector<double> truth, rating;
    std::vector<bool> localized, unmarked;
    for (int r = 0; r < 5; ++r)
        for (int c = 0; c < normal_cases + target_cases; ++c) {
            const bool target = c >= normal_cases;
            double value = normal(random);  // the highest value away from a target
            bool hit = false;
            if (target) {
                const double x = target_mean[r] + normal(random);
                hit = x > value;
                value = std::max(value, x);
            }
            columns.reader.push_back(readers[r]);
            columns.modality.push_back("CT");
            columns.case_name.push_back("case" + std::to_string(c + 1));
            truth.push_back(target ? 1 : 0);
            rating.push_back(value);
            localized.push_back(hit);
            unmarked.push_back(!target);
        }
    columns.truth.values = truth;
    columns.rating.values = rating;
    columns.localized = varnel::study::Column{localized, unmarked};
    return columns;
}

// The columns as the CSV file the command reads.
bool write_csv(const varnel::study::CaseColumns& c, const std::string& path)
{
    std::FILE* f = std::fopen(path.c_str(), "w");
    if (!f)
        return false;
    const auto& truth = std::get<std::vector<double>>(c.truth.values);
    const auto& rating = std::get<std::vector<double>>(c.rating.values);
    const auto& localized = std::get<std::vector<bool>>(c.localized->values);
    std::fputs("reader,modality,case,truth,rating,localized\n", f);
    for (std::size_t i = 0; i < c.reader.size(); ++i)
        std::fprintf(f, "%s,%s,%s,%d,%.17g,%s\n", c.reader[i].c_str(), c.modality[i].c_str(),
                     c.case_name[i].c_str(), static_cast<int>(truth[i]), rating[i],
                     c.localized->missing[i] ? "" : localized[i] ? "1" : "0");
    return std::fclose(f) == 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string fom_name = argc > 1 ? argv[1] : "wilcoxon";
    const std::string csv = argc > 2 ? argv[2] : "";
    const varnel::study::CaseColumns columns = simulated_study();
    if (!csv.empty() && !write_csv(columns, csv)) {
        std::fprintf(stderr, "%s: cannot be written\n", csv.c_str());
        return 1;
    }
    const auto study = varnel::study::make_cases(columns, csv.empty() ? "simulated" : csv);
    if (!study) {
        std::fprintf(stderr, "%s\n", study.error().message.c_str());
        return 1;
    }

    varnel::mrmc::CompareOptions options;
    const auto fom = varnel::mrmc::parse_fom(fom_name);
    if (!fom) {
        std::fprintf(stderr, "%s\n", fom.error().message.c_str());
        return 1;
    }
    options.fom = *fom;
    options.analysis.reference_reader = "algorithm";
    options.run.threads = 2;
    int fits = 0;
    options.run.progress = [&](int done, int) { fits = done; };
    const auto result = varnel::mrmc::compare(*study, options);
    if (!result) {
        std::fprintf(stderr, "%s\n", result.error().message.c_str());
        return result.error().status;
    }
    std::fputs(csv.empty() ? varnel::mrmc::format_text_report(*result).c_str()
                           : varnel::mrmc::format_json_report(*result).c_str(),
               stdout);
    if (varnel::mrmc::is_model_based(*fom))
        std::fprintf(stderr, "%d fits\n", fits);
    return 0;
}
