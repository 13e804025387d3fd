// varnel-study power: how many readers and cases a study needs, from a pilot
// study (analysed as compare does it) or from variance components given
// directly.
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "commands.h"
#include "options.h"
#include "study/numbers.h"
#include "varnel/cases.h"
#include "varnel/power.h"

namespace varnel::study::cli {

namespace {

// A range longer than this is taken for a typing error.
constexpr long long max_list_length = 10000;
constexpr long long max_whole_number = 1000000000;  // readers and cases

struct PowerArguments {
    std::string pilot, fom, reference, modality, localization;
    int target = 0;
    BinningArguments binning;
    FitArguments fit;
    // Components given directly, as typed (checked here: numbers, finite).
    std::string var, cov1, cov2, cov3, var_tr, var_psi, cov2_psi, var_r_psi;
    int pilot_cases = 0;
    std::string readers, cases, alpha = "0.05", effect, power;
    int modalities = 0;
    int threads = default_threads();
    std::string format = "text";
    std::string plot;
    bool quiet = false;
};

std::string without_blanks(std::string_view s)
{
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return std::string(s.substr(first, s.find_last_not_of(" \t") - first + 1));
}

// A finite number typed for `option`.
Expected<double> finite_number(const std::string& text, const std::string& option)
{
    const std::optional<double> v = parse_number(without_blanks(text));
    if (!v) return input_error(option + ": \"" + text + "\" is not a number");
    if (!std::isfinite(*v)) return input_error(option + ": " + text + " is not a finite number");
    return *v;
}

// A whole number of at least 0 in a list for `option`.
Expected<long long> whole_number(const std::string& text, const std::string& option)
{
    const std::optional<double> v = parse_number(text);
    if (!v || !std::isfinite(*v) || *v != std::floor(*v))
        return input_error(option + ": \"" + text + "\" is not a whole number");
    if (std::fabs(*v) > max_whole_number)
        return input_error(option + ": " + text + " is too large (at most " +
                           std::to_string(max_whole_number) + ")");
    return static_cast<long long>(*v);
}

// "5,10,20" or "50:300:50" (from 50 to 300 in steps of 50) or "2:6" (step 1),
// items mixed as wanted.
Expected<std::vector<int>> number_list(const std::string& text, const std::string& option)
{
    std::vector<int> values;
    std::string_view rest = text;
    while (true) {
        const std::size_t comma = rest.find(',');
        const std::string item = without_blanks(rest.substr(0, comma));
        if (item.empty())
            return input_error(option + ": an empty entry; give numbers or ranges a:b:step "
                                        "separated by commas");
        std::vector<long long> parts;
        std::string_view part_rest = item;
        while (true) {
            const std::size_t colon = part_rest.find(':');
            Expected<long long> n =
                whole_number(without_blanks(part_rest.substr(0, colon)), option);
            if (!n) return n.error();
            parts.push_back(*n);
            if (colon == std::string_view::npos) break;
            part_rest.remove_prefix(colon + 1);
        }
        if (parts.size() > 3)
            return input_error(option + ": \"" + item + "\" is not a range a:b or a:b:step");
        if (parts.size() == 1) {
            values.push_back(int(parts[0]));
        } else {
            const long long from = parts[0], to = parts[1], step = parts.size() == 3 ? parts[2] : 1;
            if (step < 1)
                return input_error(option + ": the step of \"" + item + "\" must be 1 or more");
            if (from > to)
                return input_error(option + ": the range \"" + item + "\" is reversed (" +
                                   std::to_string(from) + " > " + std::to_string(to) +
                                   "); write it from the smaller number up");
            if ((to - from) / step + 1 + (long long)values.size() > max_list_length)
                return input_error(option + ": more than " + std::to_string(max_list_length) +
                                   " numbers; take a larger step");
            for (long long v = from; v <= to; v += step) values.push_back(int(v));
        }
        if (comma == std::string_view::npos) return values;
        rest.remove_prefix(comma + 1);
    }
}

// The components typed for a comparison of modalities or of a reference
// reader; none when no component option was given.
struct Given {
    std::optional<power::ModalityComponents> modalities;
    std::optional<power::ReferenceComponents> reference;
};

Expected<Given> given_components(const PowerArguments& a)
{
    using Options = std::vector<std::pair<const char*, const std::string*>>;
    const Options modality_options{{"--var", &a.var},
                                   {"--cov1", &a.cov1},
                                   {"--cov2", &a.cov2},
                                   {"--cov3", &a.cov3},
                                   {"--var-tr", &a.var_tr}};
    const Options reference_options{
        {"--var-psi", &a.var_psi}, {"--cov2-psi", &a.cov2_psi}, {"--var-r-psi", &a.var_r_psi}};
    bool any_modality = false, any_reference = false;
    for (const auto& [name, text] : modality_options) any_modality |= !text->empty();
    for (const auto& [name, text] : reference_options) any_reference |= !text->empty();
    Given g;
    if (!any_modality && !any_reference) {
        if (a.pilot_cases != 0)
            return input_error("--pilot-cases goes with components given directly (--var, ...); "
                               "a pilot file gives its own");
        return g;
    }
    if (!a.pilot.empty())
        return input_error("give a pilot file or the components (--var, ...), not both");
    if (any_modality && any_reference)
        return input_error("give the components of a comparison of modalities (--var, --cov1, "
                           "--cov2, --cov3, --var-tr) or of a reference reader (--var-psi, "
                           "--cov2-psi, --var-r-psi), not both");
    std::vector<double> v;
    for (const auto& [name, text] : any_modality ? modality_options : reference_options) {
        if (text->empty())
            return input_error(std::string(name) + " is missing: give every component of the " +
                               (any_modality ? "modality comparison" : "reference reader"));
        Expected<double> x = finite_number(*text, name);
        if (!x) return x.error();
        v.push_back(*x);
    }
    if (a.pilot_cases == 0)
        return input_error("--pilot-cases: give the number of cases the components were "
                           "estimated on (K*)");
    if (a.effect.empty())
        return input_error("--effect: give the difference to detect (components given directly "
                           "carry no pilot difference)");
    if (any_modality) {
        if (!a.reference.empty())
            return input_error("--reference goes with the components of a reference reader "
                               "(--var-psi, --cov2-psi, --var-r-psi)");
        g.modalities = power::ModalityComponents{v[0], v[1], v[2], v[3], v[4], {}, a.pilot_cases};
    } else {
        g.reference = power::ReferenceComponents{v[0], v[1], v[2], std::nullopt, a.pilot_cases};
    }
    return g;
}

// The planned study from the options.
Expected<power::PowerOptions> plan_options(const PowerArguments& a)
{
    power::PowerOptions o;
    if (a.readers.empty()) return input_error("--readers: give the numbers of readers to plan for");
    Expected<std::vector<int>> readers = number_list(a.readers, "--readers");
    if (!readers) return readers.error();
    o.readers = *readers;
    if (!a.power.empty() && !a.cases.empty())
        return input_error("give --cases (the power of those studies) or --power (the cases "
                           "needed), not both");
    if (a.power.empty() && a.cases.empty())
        return input_error("give --cases (numbers of cases to plan for) or --power (a target "
                           "power)");
    if (!a.cases.empty()) {
        Expected<std::vector<int>> cases = number_list(a.cases, "--cases");
        if (!cases) return cases.error();
        o.cases = *cases;
    } else {
        Expected<double> p = finite_number(a.power, "--power");
        if (!p) return p.error();
        o.target_power = *p;
    }
    Expected<double> alpha = finite_number(a.alpha, "--alpha");
    if (!alpha) return alpha.error();
    o.alpha = *alpha;
    if (!a.effect.empty()) {
        Expected<double> d = finite_number(a.effect, "--effect");
        if (!d) return d.error();
        o.effect = *d;
    }
    if (a.modalities < 0 || (a.modalities == 1 && a.reference.empty() && a.var_psi.empty()))
        return input_error("--modalities " + std::to_string(a.modalities) +
                           ": a comparison of modalities needs 2 or more; to compare readers "
                           "with one reference reader (e.g. an algorithm) give --reference");
    o.modalities = a.modalities;
    return o;
}

// Options checked, the pilot read and analysed or the components taken, one
// library call; the picture written, then the report.
int run_power(const PowerArguments& args, const CLI::App& command)
{
    // An option given with an empty value is a mistake, not an option left out.
    for (const CLI::Option* option : command.get_options())
        if (option->count() > 0 && option->get_expected_min() > 0)
            for (const std::string& value : option->results())
                if (without_blanks(value).empty())
                    return fail(option->get_name() + ": empty; give a value or leave the option "
                                                     "out");
    if (args.format != "text" && args.format != "csv" && args.format != "json")
        return fail("--format must be text, csv or json");
    if (args.threads < 1) return fail("-j must be at least 1");
    Expected<Given> given = given_components(args);
    if (!given) return fail(given.error());
    Expected<power::PowerOptions> options = plan_options(args);
    if (!options) return fail(options.error());

    if (given->modalities || given->reference)
        for (const char* name : {"--fom", "--target", "--modality", "--cutpoints", "--categories",
                                 "--criterion", "--chance", "--noloc"})
            if (command.count(name) > 0)
                return fail(std::string(name) + " goes with a pilot file, not with components "
                                                 "given directly");

    Expected<power::PowerResult> result = Error{};
    if (given->modalities) {
        result = power::power(*given->modalities, *options);
    } else if (given->reference) {
        if (!args.reference.empty()) options->pilot.analysis.reference_reader = args.reference;
        result = power::power(*given->reference, *options);
    } else {
        if (args.pilot.empty())
            return fail("give a pilot file (PILOT.csv with --fom) or the components (--var, "
                        "--cov1, --cov2, --cov3, --var-tr, or --var-psi, --cov2-psi, --var-r-psi "
                        "with --pilot-cases)");
        if (args.fom.empty()) return fail("--fom: name the figure of merit of the pilot");
        const Expected<mrmc::FomSpec> fom = mrmc::parse_fom(args.fom);
        if (!fom) return fail(fom.error());
        Expected<CaseStudy> study = read_cases(args.pilot);
        if (!study) return fail(study.error());
        mrmc::CompareOptions& pilot = options->pilot;
        pilot.fom = *fom;
        pilot.target = args.target;
        if (!args.reference.empty()) pilot.analysis.reference_reader = args.reference;
        options->reference_modality = args.modality;
        // The binning and fit options count only for model-based FOMs.
        if (mrmc::is_model_based(*fom)) {
            Expected<BinningOptions> binning = args.binning.options();
            if (!binning) return fail(binning.error());
            pilot.binning = *binning;
            Expected<TableFitOptions> fit = args.fit.options();
            if (!fit) return fail(fit.error());
            pilot.fit = *fit;
            if (!args.localization.empty()) {
                Expected<mrmc::LocalizationUse> use = mrmc::parse_localization(args.localization);
                if (!use) return fail(use.error());
                pilot.localization = *use;
            }
        }
        pilot.run.threads = args.threads;
        pilot.run.cancel = &interrupted();
        Progress progress(!args.quiet, "fitting");
        pilot.run.progress = std::ref(progress);
        result = power::power(*study, *options);
    }
    if (!result) return fail(result.error());
    if (interrupted()) return interrupted_status();
    if (!args.plot.empty())
        if (Expected<void> w = write_whole_file(args.plot, power::format_power_svg(*result)); !w)
            return fail(w.error());
    const std::string report = args.format == "text" ? power::format_power_text(*result)
                               : args.format == "csv" ? power::format_power_csv(*result)
                                                      : power::format_power_json(*result);
    std::fputs(report.c_str(), stdout);
    for (const mrmc::CompareWarning& w : result->pilot_warnings)
        std::fprintf(stderr, "varnel-study: warning: %s\n", w.message.c_str());
    return 0;
}

constexpr const char* power_footer = R"(
From a pilot (PILOT.csv --fom F, with compare's --reference, --target, binning
and fit options): the same jackknife as compare gives Var, Cov1, Cov2, Cov3 and
VarTR (or, with --reference, Var_psi, Cov2_psi and VarR_psi of the other
readers against the reference) on K* pilot cases; the effect is the pilot's
difference unless --effect gives one.  Or give the components directly with
--pilot-cases K* and --effect.  Lists: 5,10,20 or ranges a:b:step (a:b for
step 1).  The planned study keeps the pilot's ratio of target to normal cases.
Powers of the random readers and random cases test (Hillis's ddf), fixed
readers (chi-square) and fixed cases; with --power, the smallest number of
cases per reader count (2 to 100,000, else "not reached").  Exit status 0
done, 1 bad input or options, 2 a fit or refit of a model-based pilot that
failed.)";

}  // namespace

// The power subcommand.
Command add_power_command(CLI::App& program)
{
    auto args = std::make_shared<PowerArguments>();
    CLI::App* power = program.add_subcommand(
        "power", "Readers and cases a study needs, from a pilot study or variance components");
    power->add_option("PILOT.csv", args->pilot, "per-case ratings of a pilot study");
    power->add_option("--fom", args->fom, "figure of merit of the pilot (as for compare)");
    power->add_option("--reference", args->reference,
                      "reader (e.g. an algorithm) the other readers are compared with");
    power->add_option("--modality", args->modality,
                      "with --reference and a pilot of several modalities: the modality to plan "
                      "for");
    power->add_option("--target", args->target,
                      "target class of the pilot (needed when it has several)");
    args->binning.add_to(*power);
    args->fit.add_to(*power);
    power->add_option("--localization", args->localization,
                      std::string("model-auc pilot: fit each table with its localization "
                                  "outcomes (use) or from its ratings alone (ignore), as for "
                                  "compare; default ") +
                          mrmc::localization_name(mrmc::default_localization));
    power->add_option("--var", args->var, "Var: error variance of a reader's FOM");
    power->add_option("--cov1", args->cov1, "Cov1: same reader, different modalities");
    power->add_option("--cov2", args->cov2, "Cov2: different readers, same modality");
    power->add_option("--cov3", args->cov3, "Cov3: different readers and modalities");
    power->add_option("--var-tr", args->var_tr, "VarTR: modality x reader variance component");
    power->add_option("--var-psi", args->var_psi, "Var_psi of the readers against a reference");
    power->add_option("--cov2-psi", args->cov2_psi, "Cov2_psi");
    power->add_option("--var-r-psi", args->var_r_psi, "VarR_psi: reader variance component of psi");
    power->add_option("--pilot-cases", args->pilot_cases,
                      "K*: cases the given components were estimated on");
    power->add_option("--readers", args->readers,
                      "readers J of the planned study: list or range a:b:step (with --reference, "
                      "besides the reference reader)")
        ->required();
    power->add_option("--cases", args->cases,
                      "cases K of the planned study: list or range a:b:step");
    power->add_option("--power", args->power,
                      "target power: the smallest number of cases reaching it, instead of --cases");
    power->add_option("--modalities", args->modalities,
                      "modalities T of the planned study (default: the pilot's, else 2)");
    power->add_option("--alpha", args->alpha, "significance level")->capture_default_str();
    power->add_option("--effect", args->effect,
                      "difference to detect (default: the pilot's observed difference)");
    power->add_option("-j", args->threads, "threads (default: one per core)");
    power->add_option("--format", args->format, "report as text, csv or json")
        ->capture_default_str();
    power->add_option("--plot", args->plot, "also draw power against cases into this SVG file");
    power->add_flag("--quiet", args->quiet, "no progress bar");
    power->footer(power_footer);
    return {power, [args, power] { return run_power(*args, *power); }};
}

}  // namespace varnel::study::cli
