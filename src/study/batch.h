// Fits of many tables (one per reader and modality) on several threads, with
// what each gives: one result row per target class, and on request the
// report file and the picture of the fit.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "varnel/fit_study.h"

namespace varnel::study {

struct BatchSettings {
    FitSettings fit;
    int threads = 1;
    bool reports = false;  // also the report file and the picture of each fit
    const std::atomic<bool>* cancel = nullptr;  // stop taking jobs once it is true
    int gof_bootstrap = 0;   // parametric bootstrap replicates per table (0: none)
    std::uint64_t seed = 1;  // of the bootstrap, made per table by bootstrap_seed
};

// The bootstrap seed of table `table` (0-based) of a run with seed `seed`:
// SplitMix64 of the two, so that tables draw independent streams and a
// table's p-values do not depend on the threads.
std::uint64_t bootstrap_seed(std::uint64_t seed, int table);

// Runs job(i, workspace) for i = 0 .. count - 1 on `threads` threads, each
// with its own workspace, the indices in turn; once `cancel` (when given) is
// true no further job starts.  Returns when every thread has ended.
// `progress`, when given, is called on the calling thread with the numbers of
// jobs done and in all: at the start, as jobs finish (at least every 0.1 s)
// and once after every thread has ended.
void run_parallel(int count, int threads, const std::function<void(int, Workspace&)>& job,
                  const std::function<void(int, int)>& progress = {},
                  const std::atomic<bool>* cancel = nullptr);

// Fits every table, `threads` at a time, each thread with its own workspace;
// the results are in table order and the same whatever the number of threads.
// `progress`, when given, is called on the calling thread with the numbers of
// tables done and in all, now and then while the fits run.  After a
// cancellation the tables not fitted have empty results.
std::vector<TableResult> fit_tables(const std::vector<Table>& tables, const BatchSettings& settings,
                                    const std::function<void(int, int)>& progress = {});

}  // namespace varnel::study
