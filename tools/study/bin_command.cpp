// varnel-study bin: per-case ratings into one rating data file per reader and
// modality, written all at once into a new folder; the binning on standard
// output.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "options.h"
#include "study/binning.h"
#include "study/binning_report.h"
#include "study/case_reader.h"
#include "study/data_file.h"
#include "study/numbers.h"
#include "study/output_folder.h"

namespace varnel::study::cli {

namespace {

struct BinArguments {
    std::string cases, out;
    BinningArguments binning;
};

constexpr const char* bin_footer = R"(
Categories: from --cutpoints (category 1 holds the ratings <= c1, the last
those > cm); else one per distinct rating when there are at most 17; else
--categories from the quantiles of all ratings, ties never split.
Files: <NN>_<reader>_<modality>.lrc, NN the table number (reader-major), in
the names every character but ASCII letters, digits, '-', '.' and '_'
replaced by '_'.  DIR must be new or empty; it appears only when complete.)";

// Data files of every table into a new folder, with the names they got.
Result<std::vector<std::string>> write_tables(const std::vector<Study>& tables,
                                              const std::string& out)
{
    Result<OutputFolder> folder = OutputFolder::create(out);
    if (!folder)
        return Error{folder.error()};
    std::vector<std::string> names;
    for (std::size_t t = 0; t < tables.size(); ++t) {
        const Study& s = tables[t];
        names.push_back(data_file_name(static_cast<int>(t) + 1, static_cast<int>(tables.size()),
                                       s.observer, s.condition));
        Result<std::string> text = format_data_file(s);
        if (!text)
            return Error{text.error()};
        if (Result<void> written = folder->write_file(names.back(), *text); !written)
            return Error{written.error()};
    }
    if (Result<void> done = folder->commit(); !done)
        return Error{done.error()};
    return names;
}

// Read, bin, write all files, then show the binning.
int run_bin(const BinArguments& args)
{
    Result<BinningOptions> options = args.binning.options();
    if (!options)
        return fail(options.error());
    Result<CaseStudy> study = read_cases(args.cases);
    if (!study)
        return fail(study.error());
    Result<BinnedStudy> binned = bin_study(*study, *options);
    if (!binned)
        return fail(binned.error());
    Result<std::vector<std::string>> names = write_tables(binned->tables, args.out);
    if (!names)
        return fail(names.error());
    std::fputs(format_binning(*study, *binned, *names).c_str(), stdout);
    std::printf("\n%zu data file%s written to %s\n", names->size(), names->size() == 1 ? "" : "s",
                args.out.c_str());
    return 0;
}

}  // namespace

// The bin subcommand: CASES.csv, --out, --cutpoints, --categories.
Command add_bin_command(CLI::App& program)
{
    auto args = std::make_shared<BinArguments>();
    CLI::App* bin = program.add_subcommand("bin",
                                           "Bin per-case ratings into rating categories; write one "
                                           "rating data file per reader and modality");
    bin->add_option("CASES.csv", args->cases,
                    "per-case ratings: columns reader, modality, case, truth, rating and "
                    "optionally localized")
        ->required();
    bin->add_option("--out", args->out, "new or empty folder for the data files")->required();
    args->binning.add_to(*bin);
    bin->footer(bin_footer);
    return {bin, [args] { return run_bin(*args); }};
}

}  // namespace varnel::study::cli
