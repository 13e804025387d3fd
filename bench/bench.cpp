// Benchmark of varnel on studies drawn from the model, from one target
// distribution and five categories up to the full capacity of 15 targets and
// 17 categories.  For each it prints the median wall time of a whole run of
// the program (console report, default answers), the median time of the fit
// alone (initial estimates and iteration, in this process) and the number of
// integrand evaluations of one fit.  Then whole runs of varnel-study on
// simulated reader studies: the one built, or the program named as the first
// argument (to compare two builds on the same machine).
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "lroc_sim.h"
#include "sim/case_sim.h"
#include "varnel/fit.h"

namespace {

constexpr int repeats = 7;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double seconds_since(std::chrono::steady_clock::time_point t0)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// One run of a command (argv[0] the program), output to the null device, in
// folder dir; its wall time.
double timed_command(const std::string& dir, std::vector<std::string> argv)
{
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        if (chdir(dir.c_str()) != 0) _exit(127);
        std::vector<char*> args;
        for (std::string& a : argv) args.push_back(a.data());
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double t = seconds_since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        std::fprintf(stderr, "%s %s failed\n", argv[0].c_str(), argv[1].c_str());
    return t;
}

// One whole run of the program with every answer the default, in the data
// file's folder (a slash on the command line would begin a switch).
double whole_run(const std::string& dir, const std::string& file)
{
    return timed_command(dir, {VARNEL_EXE, file});
}

// A reader study drawn from the LROC model as per-case ratings: half the
// cases without a target, target cases rated at or below -0.5 unmarked.
void write_cases(const std::string& path, int readers, int modalities, int cases)
{
    case_sim::Design d;
    d.readers = readers;
    d.modalities = modalities;
    d.normal_cases = cases / 2;
    d.target_cases = {cases - cases / 2};
    d.targets = case_sim::same_targets(modalities, 1, {1.5, 1.2, 0.0});
    d.variance = {0.05, 0.3, 0.1, 0.05, 0.05};
    d.no_mark_at_or_below = -0.5;
    d.seed = 2026;
    const std::string error = case_sim::write_file(path, case_sim::csv_text(case_sim::simulate(d)));
    if (!error.empty()) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

// One study read and prepared as the program does with default answers.
varnel::PreparedStudy prepare(const std::string& file)
{
    auto study = varnel::read_study(file);
    if (!study) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), study.error().message.c_str());
        std::exit(1);
    }
    auto prepared = varnel::prepare(*study, varnel::FitSettings{});
    if (!prepared) {
        std::fprintf(stderr, "%s: %s\n", file.c_str(), prepared.error().message.c_str());
        std::exit(1);
    }
    return *prepared;
}

// One fit (initial estimates and iteration) in a fresh workspace.
double fit_once(const varnel::PreparedStudy& prepared, long long& evaluations)
{
    varnel::Workspace workspace;
    auto t0 = std::chrono::steady_clock::now();
    auto result = varnel::fit(prepared, varnel::FitSettings{}, workspace);
    double t = seconds_since(t0);
    if (!result) std::fprintf(stderr, "fit failed: %s\n", result.error().message.c_str());
    evaluations = workspace.integrand_evaluations();
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    char dir[] = "/tmp/varnel_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;

    struct size_t_ {
        int targets, categories;
    };
    const size_t_ sizes[] = {{1, 5}, {2, 6}, {5, 9}, {10, 13}, {15, 17}};
    std::printf("%-24s %12s %12s %14s\n", "data set", "run (ms)", "fit (ms)", "integrand evals");
    for (const size_t_& sz : sizes) {
        lroc_sim::study s;
        std::string file = std::to_string(sz.targets) + "x" + std::to_string(sz.categories) + ".lrc";
        s.file = file.c_str();
        s.observer = "Bench";
        s.condition = "Drawn from the model";
        s.noloc = 1;
        for (int k = 1; k < sz.categories; ++k)
            s.bounds.push_back(-1.5 + 4.5 * (k - 1) / (sz.categories - 1 > 1 ? sz.categories - 2 : 1));
        s.n_nontarget = 2000;
        for (int t = 0; t < sz.targets; ++t) s.targets.push_back({0.5 + 0.15 * t, 1.0 + 0.05 * t, 0.0, 2000});
        s.seed = 77 + sz.targets;
        if (!lroc_sim::write_study(dir, s)) return 1;
        std::string path = std::string(dir) + "/" + file;

        std::vector<double> runs, fits;
        long long evals = 0;
        for (int r = 0; r < repeats; ++r) runs.push_back(whole_run(dir, file));
        const varnel::PreparedStudy prepared = prepare(path);
        for (int r = 0; r < repeats; ++r) fits.push_back(fit_once(prepared, evals));
        char label[64];
        std::snprintf(label, sizeof label, "%2d targets, %2d categories", sz.targets, sz.categories);
        std::printf("%-24s %12.2f %12.2f %14lld\n", label, 1e3 * median(runs), 1e3 * median(fits), evals);
        std::remove(path.c_str());
    }

    // The shipped full-capacity example (15 targets, 17 categories, noloc 2).
    {
        const std::string examples = std::string(VARNEL_SOURCE_DIR) + "/examples";
        const std::string file = "full_capacity.lrc";
        std::vector<double> runs, fits;
        long long evals = 0;
        for (int r = 0; r < repeats; ++r) runs.push_back(whole_run(examples, file));
        const varnel::PreparedStudy prepared = prepare(examples + "/" + file);
        for (int r = 0; r < repeats; ++r) fits.push_back(fit_once(prepared, evals));
        std::printf("%-24s %12.2f %12.2f %14lld\n", "examples/full_capacity", 1e3 * median(runs),
                    1e3 * median(fits), evals);
    }

    // varnel-study on simulated reader studies, whole runs on two threads.
    std::printf("\n%-62s %12s\n", "varnel-study, whole run with -j 2", "median (ms)");
    struct StudyRun {
        const char* label;
        int readers, modalities, cases;
        std::vector<std::string> args;
        int repeats;
    };
    const std::string study = argc > 1 ? argv[1] : VARNEL_STUDY_EXE;
    const StudyRun runs[] = {
        {"fit, 10 readers x 2 modalities x 200 cases", 10, 2, 200,
         {study, "fit", "cases.csv", "--categories", "6", "-j", "2", "--quiet"}, repeats},
        {"fit, 100 readers x 4 modalities x 500 cases", 100, 4, 500,
         {study, "fit", "cases.csv", "--categories", "6", "-j", "2", "--quiet"}, 3},
        {"compare model-alroc --reference, 10 readers x 200 cases", 10, 1, 200,
         {study, "compare", "cases.csv", "--fom", "model-alroc", "--reference", "R01",
          "--categories", "6", "-j", "2", "--quiet"}, repeats},
        {"compare model-alroc, 100 readers x 2 modalities x 500 cases", 100, 2, 500,
         {study, "compare", "cases.csv", "--fom", "model-alroc", "--categories", "6", "-j", "2",
          "--quiet"}, 3},
        {"compare alroc@0.2 --reference, 10 readers x 200 cases", 10, 1, 200,
         {study, "compare", "cases.csv", "--fom", "alroc@0.2", "--reference", "R01", "-j", "2"},
         repeats},
        {"compare wilcoxon --reference, 10 readers x 200 cases", 10, 1, 200,
         {study, "compare", "cases.csv", "--fom", "wilcoxon", "--reference", "R01", "-j", "2"},
         repeats},
    };
    for (const StudyRun& r : runs) {
        const std::string path = std::string(dir) + "/cases.csv";
        write_cases(path, r.readers, r.modalities, r.cases);
        std::vector<double> times;
        for (int k = 0; k < r.repeats; ++k) times.push_back(timed_command(dir, r.args));
        std::printf("%-62s %12.1f\n", r.label, 1e3 * median(times));
        std::remove(path.c_str());
    }
    rmdir(dir);
    return 0;
}
