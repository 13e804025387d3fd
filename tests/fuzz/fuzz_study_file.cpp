// libFuzzer harness of the rating data file reader: any bytes are read as a
// data file; what reads is prepared for a fit and its data echo written.
#include <cstdint>
#include <string>
#include <string_view>

#include "varnel/fit.h"
#include "varnel/report.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const varnel::Expected<varnel::Study> study =
        varnel::read_study_text(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!study)
        return 0;
    const auto prepared = varnel::prepare(*study, varnel::FitSettings{});
    if (!prepared)
        return 0;
    std::string echo;
    varnel::output::Record rec = varnel::output::string_record(echo);
    varnel::output::Printer out(rec);
    varnel::report::write_echo(out, *prepared);
    if (out.failed())
        __builtin_trap();
    return 0;
}
