// Test support: per-case rating files through the program's own reader.
#include "support/case_loader.h"

#include <stdexcept>

#include "varnel/cases.h"

namespace mrmc_test {

varnel::study::CaseStudy parse_cases(const std::string& text, const std::string& source)
{
    auto study = varnel::study::parse_cases(text, source);
    if (!study)
        throw std::runtime_error(study.error().message);
    return *study;
}

varnel::study::CaseStudy load_cases(const std::string& path)
{
    auto study = varnel::study::read_cases(path);
    if (!study)
        throw std::runtime_error(study.error().message);
    return *study;
}

}  // namespace mrmc_test
