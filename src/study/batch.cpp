// Fits of many tables on several threads.
#include "study/batch.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>

#include "plot/plot.h"
#include "varnel/goodness_of_fit.h"
#include "varnel/report.h"

namespace varnel::study {

namespace {

constexpr double nan = std::numeric_limits<double>::quiet_NaN();

// Images of input distribution m of a table.
long long cases_of(const Study& s, int m)
{
    long long n = 0;
    for (int k = 1; k <= s.categories; ++k)
        n += static_cast<long long>(s.incorrect(k, m)) + s.correct(k, m);
    return n;
}

// The rows of a table before its fit: names, counts and chance values.
TableResult unfitted(const Table& table, const FitSettings& settings, std::string status)
{
    TableResult r;
    r.status = std::move(status);
    r.categories = table.study.categories;
    r.noloc = table.study.noloc;
    r.likelihood = {nan, nan, nan, nan, nan, nan};
    for (int t = 1; t <= table.study.targets; ++t) {
        TargetResult row;
        row.target = t;
        row.normal_cases = cases_of(table.study, 1);
        row.target_cases = cases_of(table.study, 1 + t);
        row.chance = settings.chance[t - 1];
        r.targets.push_back(row);
    }
    return r;
}

// One table: prepare, fit, summarize (with the bootstrap when asked), and
// the report and picture when asked.
TableResult fit_table(const Table& table, const BatchSettings& settings, Workspace& workspace,
                      Summary& summary, int index)
{
    const auto prepared = prepare(table.study, settings.fit);
    if (!prepared)
        return unfitted(table, settings.fit, prepared.error().message);
    const auto fit = varnel::fit(*prepared, settings.fit, workspace);
    if (!fit)
        return unfitted(table, settings.fit, fit.error().message);
    summarize(*prepared, *fit, summary, settings.reports);
    if (summary.likelihood_error)
        return unfitted(table, settings.fit, summary.likelihood_error->message);

    TableResult r = unfitted(table, settings.fit, "");
    r.categories = prepared->spec.categories;
    r.noloc = prepared->spec.noloc;
    r.converged = fit->converged;
    r.iterations = fit->iterations;
    r.likelihood = summary.likelihood;
    r.chi_square = summary.chi_square;
    if (settings.gof_bootstrap > 0 && fit->converged) {
        BootstrapOptions b;
        b.replicates = settings.gof_bootstrap;
        b.seed = bootstrap_seed(settings.seed, index);
        b.cancel = settings.cancel;
        const auto gof = bootstrap_goodness_of_fit(*prepared, settings.fit, *fit, workspace, b);
        if (gof) {
            r.bootstrap_replicates = gof->replicates;
            r.bootstrap_failed = gof->failed;
            r.bootstrap_p_pearson = gof->p_pearson;
            r.bootstrap_p_deviance = gof->p_deviance;
        }
    }
    for (TargetResult& row : r.targets) {
        const int i = row.target - 1;
        row.mu = fit->estimate.mean[i];
        row.se_mu = summary.se_mean[i];
        row.sigma = fit->estimate.sigma[i];
        row.se_sigma = summary.se_sigma[i];
        row.area_roc = summary.area_roc[i];
        row.se_area_roc = summary.se_area_roc[i];
        row.area_lroc = summary.area_lroc[i];
        row.se_area_lroc = summary.se_area_lroc[i];
        row.loc_accuracy = summary.loc_accuracy[i];
        row.se_loc_accuracy = summary.se_loc_accuracy[i];
        if (prepared->spec.chance_entered) {
            row.adjusted_area_lroc = summary.adjusted_area_lroc[i];
            row.adjusted_loc_accuracy = summary.adjusted_loc_accuracy[i];
        }
        row.dloc = summary.dloc[i];
        row.se_dloc = summary.se_dloc[i];
        row.pcl = summary.pcl[i];
        row.se_pcl = summary.se_loc_accuracy[i];
    }
    if (settings.reports) {
        output::Record rec = output::string_record(r.report);
        output::Printer out(rec);
        report::write_output_file(out, *prepared, *fit, summary);
        plot::Report picture;
        std::string why;
        if (plot::parse_report(r.report, picture, why) == plot::Parse::ok)
            r.picture = plot::render_svg(picture);
    }
    return r;
}

}  // namespace

std::uint64_t bootstrap_seed(std::uint64_t seed, int table)
{
    std::uint64_t z = seed + 0x9E3779B97F4A7C15ULL * static_cast<std::uint64_t>(table + 1);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

}  // namespace varnel::study

namespace varnel {

int thread_count(const RunControl& run)
{
    if (run.threads > 0)
        return run.threads;
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : static_cast<int>(cores);
}

}  // namespace varnel

namespace varnel::study {

void run_parallel(int count, int threads, const std::function<void(int, Workspace&)>& job,
                  const std::function<void(int, int)>& progress, const std::atomic<bool>* cancel)
{
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int done = 0;
    int running = 0;  // threads still working

    const auto stopped = [cancel] { return cancel != nullptr && cancel->load(); };
    auto work = [&] {
        Workspace workspace;
        for (int i = next++; i < count && !stopped(); i = next++) {
            job(i, workspace);
            std::lock_guard<std::mutex> lock(mutex);
            ++done;
            finished.notify_one();
        }
        std::lock_guard<std::mutex> lock(mutex);
        --running;
        finished.notify_one();
    };
    const int nthreads = std::max(1, std::min(threads, count));
    running = nthreads;
    std::vector<std::thread> pool;
    for (int k = 0; k < nthreads; ++k)
        pool.emplace_back(work);
    // A report at the start, after each job done (at least every 0.1 s) and
    // once every thread has ended.
    if (progress) {
        std::unique_lock<std::mutex> lock(mutex);
        for (int seen = -1;;) {
            finished.wait_for(lock, std::chrono::milliseconds(100),
                              [&] { return done != seen || running == 0; });
            seen = done;
            const bool last = running == 0;
            lock.unlock();
            progress(seen, count);
            lock.lock();
            if (last)
                break;
        }
    }
    for (std::thread& t : pool)
        t.join();
}

std::vector<TableResult> fit_tables(const std::vector<Table>& tables, const BatchSettings& settings,
                                    const std::function<void(int, int)>& progress)
{
    std::vector<TableResult> results(tables.size());
    run_parallel(
        static_cast<int>(tables.size()), settings.threads,
        [&](int i, Workspace& ws) {
            const auto summary = std::make_unique_for_overwrite<Summary>();
            results[i] = fit_table(tables[i], settings, ws, *summary, i);
        },
        progress, settings.cancel);
    return results;
}

}  // namespace varnel::study
