// varnel-study bin: per-case ratings into one rating data file per reader and
// modality, written all at once into a new folder; the binning on standard
// output.
#include <cstdio>
#include <memory>
#include <string>

#include "commands.h"
#include "options.h"
#include "study/output_folder.h"
#include "varnel/binning.h"
#include "varnel/cases.h"

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

// The data files into a new folder, all at once; an interrupt between two
// files leaves nothing.
Expected<void> write_tables(const BinnedStudy& binned, const std::string& out)
{
    Expected<OutputFolder> folder = OutputFolder::create(out);
    if (!folder)
        return folder.error();
    for (std::size_t t = 0; t < binned.tables.size(); ++t) {
        if (interrupted())
            return cancelled_error();
        if (Expected<void> written = folder->write_file(binned.file_names[t], binned.data_files[t]);
            !written)
            return written;
    }
    if (interrupted())
        return cancelled_error();
    return folder->commit();
}

// Read, bin, write all files, then show the binning.
int run_bin(const BinArguments& args)
{
    Expected<BinningOptions> options = args.binning.options();
    if (!options)
        return fail(options.error());
    Expected<CaseStudy> study = read_cases(args.cases);
    if (!study)
        return fail(study.error());
    Expected<BinnedStudy> binned = bin_study(*study, *options);
    if (!binned)
        return fail(binned.error());
    if (Expected<void> written = write_tables(*binned, args.out); !written)
        return fail(written.error());
    std::fputs(format_binning(*study, *binned, binned->file_names).c_str(), stdout);
    const std::size_t files = binned->file_names.size();
    std::printf("\n%zu data file%s written to %s\n", files, files == 1 ? "" : "s",
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
