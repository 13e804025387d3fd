// Test support: a loader for simple per-case rating files.
#include "support/case_loader.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

namespace mrmc_test {

namespace {

std::vector<std::string> split_fields(std::string line)
{
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::stringstream in(line);
    std::string f;
    while (std::getline(in, f, ',')) fields.push_back(f);
    if (!line.empty() && line.back() == ',') fields.push_back("");
    return fields;
}

// Index of `name` in `list`, appended when new.
int index_of(std::vector<std::string>& list, const std::string& name)
{
    const auto it = std::find(list.begin(), list.end(), name);
    if (it != list.end()) return int(it - list.begin());
    list.push_back(name);
    return int(list.size()) - 1;
}

}  // namespace

varnel::study::CaseStudy parse_cases(const std::string& text, const std::string& source)
{
    using varnel::study::Localization;
    std::stringstream in(text);
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = split_fields(line);
    const std::vector<std::string> roc = {"reader", "modality", "case", "truth", "rating"};
    std::vector<std::string> lroc = roc;
    lroc.push_back("localized");
    if (header != roc && header != lroc) throw std::runtime_error(source + ": unexpected header");

    varnel::study::CaseStudy s;
    s.source = source;
    s.has_localization = header.size() == lroc.size();
    for (int n = 2; std::getline(in, line); ++n) {
        if (line.empty() || line == "\r") continue;
        const std::vector<std::string> f = split_fields(line);
        if (f.size() != header.size())
            throw std::runtime_error(source + ":" + std::to_string(n) + ": wrong number of fields");
        varnel::study::Reading r;
        r.reader = index_of(s.readers, f[0]);
        r.modality = index_of(s.modalities, f[1]);
        const std::size_t known_cases = s.cases.size();
        r.case_index = index_of(s.cases, f[2]);
        if (s.cases.size() > known_cases) s.truth.push_back(std::stoi(f[3]));
        r.rating = std::stod(f[4]);
        if (s.has_localization && !f[5].empty())
            r.localization = f[5] == "1" ? Localization::correct : Localization::incorrect;
        r.line = n;
        s.readings.push_back(r);
    }
    return s;
}

varnel::study::CaseStudy load_cases(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) throw std::runtime_error(path + ": cannot open");
    std::stringstream text;
    text << file.rdbuf();
    const std::size_t slash = path.find_last_of('/');
    return parse_cases(text.str(), slash == std::string::npos ? path : path.substr(slash + 1));
}

}  // namespace mrmc_test
