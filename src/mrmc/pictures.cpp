// The pictures of a comparison: the plot layer's forest plot and
// operating-points picture, filled from the analyses and curves of a
// CompareResult.
#include <algorithm>
#include <string>

#include "plot/comparison.h"
#include "varnel/compare.h"
#include "varnel/data_file.h"

namespace varnel::mrmc {

namespace {

constexpr int min_number_digits = 2;  // modality numbers in file names

plot::Interval interval_of(const Estimate& e) { return {e.value, e.lower, e.upper}; }

// "vandyke.csv — FOM wilcoxon — target class 1".
std::string title_of(const CompareResult& r, const ClassAnalysis& c)
{
    return (r.source.empty() ? std::string("Comparison") : r.source) + " \xe2\x80\x94 FOM " +
           fom_name(r.fom) + " \xe2\x80\x94 target class " +
           std::to_string(c.matrix.target_class);
}

// The reference reader's row of the matrix, -1 without one.
int reference_row(const ClassAnalysis& c)
{
    return c.references.empty() ? -1 : c.references[0].reference;
}

Problem check_class(const CompareResult& r, std::size_t index)
{
    if (index >= r.classes.size())
        return input_error("class index " + std::to_string(index) + " is beyond the " +
                           std::to_string(r.classes.size()) + " analysed classes");
    return std::nullopt;
}

plot::ForestPlot forest_of(const CompareResult& r, const ClassAnalysis& c)
{
    const FomMatrix& x = c.matrix;
    const std::size_t nm = x.modalities.size();
    const int ref = reference_row(c);
    plot::ForestPlot fp;
    fp.title = title_of(r, c);
    fp.fom_label = "Figure of merit (" + fom_name(r.fom) + ")";
    fp.modalities = x.modalities;
    fp.confidence = 1 - r.alpha;
    fp.margin = r.margin;
    for (int i = 0; i < int(x.readers.size()); ++i) {
        plot::ReaderEstimates row{x.readers[i], {}};
        for (std::size_t m = 0; m < nm; ++m)
            row.per_modality.push_back(interval_of(c.fom_estimates[i][m]));
        if (i == ref)
            fp.reference = row;
        else
            fp.readers.push_back(row);
    }
    if (c.modalities) {
        for (const Estimate& e : c.modalities->random_readers_random_cases.means)
            fp.reader_means.push_back(interval_of(e));
        for (const ModalityDifference& d : c.modalities->random_readers_random_cases.differences)
            fp.modality_differences.push_back(
                {d.first, d.second, interval_of(d.contrast.estimate)});
    } else {
        for (const ReferenceAnalysis& a : c.references)
            fp.reader_means.push_back(interval_of(a.readers_mean_estimate));
    }
    if (!c.references.empty()) {
        const std::vector<int>& others = c.references[0].readers;
        for (std::size_t j = 0; j < others.size(); ++j) {
            plot::ReaderEstimates row{x.readers[others[j]], {}};
            for (const ReferenceAnalysis& a : c.references)
                row.per_modality.push_back(interval_of(a.reader_differences[j].contrast.estimate));
            fp.reference_differences.push_back(row);
        }
        for (const ReferenceAnalysis& a : c.references)
            fp.mean_reference_differences.push_back(
                interval_of(a.random_readers_random_cases.estimate));
    }
    return fp;
}

std::vector<plot::Point> points_of(const std::vector<CurvePoint>& v)
{
    std::vector<plot::Point> out;
    out.reserve(v.size());
    for (const CurvePoint& p : v) out.push_back({p.x, p.y});
    return out;
}

plot::OperatingPointsPlot operating_points_of(const CompareResult& r, std::size_t index, int m)
{
    const ClassAnalysis& c = r.classes[index];
    const FomMatrix& x = c.matrix;
    const int ref = reference_row(c);
    plot::OperatingPointsPlot op;
    op.title = "Modality: " + x.modalities[m] + " \xe2\x80\x94 target class " +
               std::to_string(x.target_class) + " \xe2\x80\x94 FOM: " + fom_name(r.fom);
    for (int i = 0; i < int(x.readers.size()); ++i) {
        const TableCurves& t = r.curves[index][i][m];
        op.readers.push_back({x.readers[i], i == ref, points_of(t.roc), points_of(t.lroc),
                              points_of(t.fitted_roc), points_of(t.fitted_lroc)});
    }
    return op;
}

// "01": modality number m + 1 with as many digits as the count needs.
std::string number_text(int m, std::size_t count)
{
    std::string n = std::to_string(m + 1);
    const std::size_t digits =
        std::max<std::size_t>(min_number_digits, std::to_string(count).size());
    return std::string(digits > n.size() ? digits - n.size() : 0, '0') + n;
}

}  // namespace

Expected<std::string> format_forest_svg(const CompareResult& result, std::size_t index)
{
    if (Problem p = check_class(result, index)) return *p;
    return plot::render_forest_svg(forest_of(result, result.classes[index]));
}

Expected<std::string> format_operating_points_svg(const CompareResult& result, std::size_t index,
                                                  int modality)
{
    if (Problem p = check_class(result, index)) return *p;
    const FomMatrix& x = result.classes[index].matrix;
    if (modality < 0 || modality >= int(x.modalities.size()))
        return input_error("modality index " + std::to_string(modality) + " is outside 0 to " +
                           std::to_string(x.modalities.size() - 1));
    if (result.curves.size() != result.classes.size())
        return input_error("the result holds no operating points (it was not made by compare)");
    return plot::render_operating_points_svg(operating_points_of(result, index, modality));
}

std::vector<ComparePicture> compare_pictures(const CompareResult& result)
{
    std::vector<ComparePicture> out;
    for (std::size_t c = 0; c < result.classes.size(); ++c) {
        const FomMatrix& x = result.classes[c].matrix;
        const std::string target = "target" + std::to_string(x.target_class);
        out.push_back({"forest_" + target + ".svg", *format_forest_svg(result, c)});
        if (result.curves.size() != result.classes.size()) continue;
        const int nm = int(x.modalities.size());
        for (int m = 0; m < nm; ++m)
            out.push_back({"operating_points_" + target + "_" + number_text(m, nm) + "_" +
                               study::file_name_part(x.modalities[m]) + ".svg",
                           *format_operating_points_svg(result, c, m)});
    }
    return out;
}

}  // namespace varnel::mrmc
