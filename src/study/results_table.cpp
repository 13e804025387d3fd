// The results table as CSV and JSON.
#include "study/results_table.h"

#include <cmath>
#include <variant>

#include "study/numbers.h"

namespace varnel::study {

namespace {

// One cell: text, an integer, a number, a truth value, or nothing.
using Value = std::variant<std::monostate, std::string, long long, double, bool>;

std::vector<Value> row_cells(const Table& table, const TableResult& r, const TargetResult& t)
{
    const bool fitted = r.status.empty();
    auto number = [](double v) { return Value{v}; };
    const LikelihoodStatistics& l = r.likelihood;
    auto optional = [&](double v) { return fitted ? number(v) : Value{}; };
    auto adjusted = [&](double v) { return fitted && !std::isnan(v) ? number(v) : Value{}; };
    const bool bootstrap = fitted && r.bootstrap_replicates > 0;
    return {table.reader,
            table.modality,
            static_cast<long long>(t.target),
            t.normal_cases,
            t.target_cases,
            static_cast<long long>(r.categories),
            static_cast<long long>(r.noloc),
            t.chance,
            fitted ? Value{r.converged} : Value{},
            fitted ? Value{static_cast<long long>(r.iterations)} : Value{},
            optional(t.mu),
            optional(t.se_mu),
            optional(t.sigma),
            optional(t.se_sigma),
            optional(t.area_roc),
            optional(t.se_area_roc),
            optional(t.area_lroc),
            optional(t.se_area_lroc),
            optional(t.loc_accuracy),
            optional(t.se_loc_accuracy),
            adjusted(t.adjusted_area_lroc),
            adjusted(t.adjusted_loc_accuracy),
            optional(t.dloc),
            optional(t.se_dloc),
            optional(t.pcl),
            optional(t.se_pcl),
            optional(l.log_likelihood),
            optional(l.log_likelihood_ratings),
            optional(l.deviance),
            optional(l.deviance_ratings),
            optional(l.pearson),
            optional(l.pearson_ratings),
            r.status,
            fitted ? Value{static_cast<long long>(r.chi_square.cells)} : Value{},
            fitted ? Value{static_cast<long long>(r.chi_square.df)} : Value{},
            adjusted(r.chi_square.p_pearson),
            adjusted(r.chi_square.p_deviance),
            fitted ? Value{static_cast<long long>(r.chi_square.cells_ratings)} : Value{},
            fitted ? Value{static_cast<long long>(r.chi_square.df_ratings)} : Value{},
            adjusted(r.chi_square.p_pearson_ratings),
            adjusted(r.chi_square.p_deviance_ratings),
            bootstrap ? Value{static_cast<long long>(r.bootstrap_replicates)} : Value{},
            bootstrap ? Value{static_cast<long long>(r.bootstrap_failed)} : Value{},
            bootstrap ? adjusted(r.bootstrap_p_pearson) : Value{},
            bootstrap ? adjusted(r.bootstrap_p_deviance) : Value{}};
}

// RFC 4180: a field with a comma, a quote or a line break is quoted, its
// quotes doubled.
std::string csv_field(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos)
        return s;
    std::string q = "\"";
    for (char c : s) {
        if (c == '"')
            q += '"';
        q += c;
    }
    return q + '"';
}

std::string csv_number(double v)
{
    if (std::isnan(v))
        return "NaN";
    if (std::isinf(v))
        return v > 0 ? "Inf" : "-Inf";
    return exact_number(v);
}

std::string csv_cell(const Value& c)
{
    if (const auto* s = std::get_if<std::string>(&c))
        return csv_field(*s);
    if (const auto* i = std::get_if<long long>(&c))
        return std::to_string(*i);
    if (const auto* d = std::get_if<double>(&c))
        return csv_number(*d);
    if (const auto* b = std::get_if<bool>(&c))
        return *b ? "true" : "false";
    return "";
}

nlohmann::ordered_json json_cell(const Value& c)
{
    if (const auto* s = std::get_if<std::string>(&c))
        return *s;
    if (const auto* i = std::get_if<long long>(&c))
        return *i;
    if (const auto* d = std::get_if<double>(&c))
        return std::isfinite(*d) ? nlohmann::ordered_json(*d) : nlohmann::ordered_json(nullptr);
    if (const auto* b = std::get_if<bool>(&c))
        return *b;
    return nullptr;
}

}  // namespace

const std::vector<std::string>& result_columns()
{
    static const std::vector<std::string> columns = {
        "reader", "modality", "target", "normal_cases", "target_cases", "categories", "noloc",
        "chance", "converged", "iterations", "mu", "se_mu", "sigma", "se_sigma", "area_roc",
        "se_area_roc", "area_lroc", "se_area_lroc", "loc_accuracy", "se_loc_accuracy",
        "adjusted_area_lroc", "adjusted_loc_accuracy", "dloc", "se_dloc", "pcl", "se_pcl",
        "log_likelihood", "log_likelihood_ratings", "deviance", "deviance_ratings", "pearson",
        "pearson_ratings", "status", "cells", "df", "p_pearson", "p_deviance", "cells_ratings",
        "df_ratings", "p_pearson_ratings", "p_deviance_ratings", "bootstrap_replicates",
        "bootstrap_failed", "bootstrap_p_pearson", "bootstrap_p_deviance"};
    return columns;
}

std::string results_csv(const std::vector<Table>& tables, const std::vector<TableResult>& results)
{
    std::string text;
    const auto& columns = result_columns();
    for (size_t c = 0; c < columns.size(); ++c)
        text += (c ? "," : "") + columns[c];
    text += '\n';
    for (size_t i = 0; i < tables.size(); ++i)
        for (const TargetResult& t : results[i].targets) {
            const std::vector<Value> cells = row_cells(tables[i], results[i], t);
            for (size_t c = 0; c < cells.size(); ++c)
                text += (c ? "," : "") + csv_cell(cells[c]);
            text += '\n';
        }
    return text;
}

nlohmann::ordered_json results_json(const std::vector<Table>& tables,
                            const std::vector<TableResult>& results)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    const auto& columns = result_columns();
    for (size_t i = 0; i < tables.size(); ++i)
        for (const TargetResult& t : results[i].targets) {
            const std::vector<Value> cells = row_cells(tables[i], results[i], t);
            nlohmann::ordered_json row = nlohmann::ordered_json::object();
            for (size_t c = 0; c < cells.size(); ++c)
                row[columns[c]] = json_cell(cells[c]);
            rows.push_back(std::move(row));
        }
    return rows;
}

}  // namespace varnel::study
