// Benchmark of varnel on studies drawn from the model, from one target
// distribution and five categories up to the full capacity of 15 targets and
// 17 categories.  For each it prints the median wall time of a whole run of
// the program (console report, default answers), the median time of the fit
// alone (initial estimates and iteration, in this process) and the number of
// integrand evaluations of one fit.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "input/confu.h"
#include "input/getlroc.h"
#include "lroc_sim.h"
#include "model/locfit.h"
#include "model/lroc_common.h"
#include "numeric/fct.h"
#include "output/io_routs.h"

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

// One whole run of the program with every answer the default, in the data
// file's folder (a slash on the command line would begin a switch).
double whole_run(const std::string& dir, const std::string& file)
{
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, 0);
        dup2(null, 1);
        if (chdir(dir.c_str()) != 0) _exit(127);
        execl(VARNEL_EXE, VARNEL_EXE, file.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    double t = seconds_since(t0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) std::fprintf(stderr, "run of %s failed\n", file.c_str());
    return t;
}

// Data of one fit, read and prepared as the program does with default answers.
id_field obsvr, cond, inum;
label_table rating;
itable freqnon, freq;
ftable freqe, freqc;
double xnstim[max_dist];
double est_a[max_dist], est_b[max_dist], est_z[max_cat + 1];
double ini_a[max_dist], ini_b[max_dist], ini_z[max_cat];
ptable xp;

void prepare(const std::string& file)
{
    char name[256];
    std::memset(name, ' ', sizeof name);
    std::memcpy(name, file.data(), file.size());
    int ntardist = 0;
    getlroc_(name, obsvr, cond, inum, rating, freqnon, freq, ntardist);
    globals_.ndist = ntardist + 1;
    purgconfu_(freqnon, freq, rating);
    globals_.npar = (globals_.ncat - 1) + 2 * (globals_.ndist - 1);
    for (double& q : qvals_.qset) q = 0.0;
    qvals_.qflag = 0;
    setupconfu_(freqnon, freq, freqe, freqc, xnstim);
}

// One fit; its console lines go to the null device.
double fit_once(long long& evaluations)
{
    const double convcrit = 0.001;
    double lambda = 0.0, tnet = 0.0;
    int ll = 0, solution = 0;
    std::fflush(stdout);
    int saved = dup(1);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    long long before = integrand_evaluations__;
    auto t0 = std::chrono::steady_clock::now();
    locfit_(freqe, freqc, xnstim, convcrit, est_z, est_b, est_a, ini_z, ini_b, ini_a, lambda, ll,
            tnet, solution, xp);
    double t = seconds_since(t0);
    evaluations = integrand_evaluations__ - before;
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    close(null);
    return t;
}

}  // namespace

int main()
{
    char dir[] = "/tmp/varnel_bench_XXXXXX";
    if (!mkdtemp(dir)) return 1;
    const int null_unit = 3;
    open_file__(null_unit, "/dev/null", 9, " ");

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
        for (int r = 0; r < repeats; ++r) {
            prepare(path);
            fits.push_back(fit_once(evals));
        }
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
        for (int r = 0; r < repeats; ++r) {
            prepare(examples + "/" + file);
            fits.push_back(fit_once(evals));
        }
        std::printf("%-24s %12.2f %12.2f %14lld\n", "examples/full_capacity", 1e3 * median(runs),
                    1e3 * median(fits), evals);
    }
    rmdir(dir);
    return 0;
}
