// The run: read the data, prepare the categories, ask for the setup, fit the
// LROC model, report on the console and, on request, again to a file.
#include <cstdio>

#include "driver/lroc_main.h"
#include "input/confu.h"
#include "input/getlroc.h"
#include "model/locfit.h"
#include "model/lroc_common.h"
#include "output/io_routs.h"
#include "report/para2output.h"

namespace {

// Data of the run, kept from the reading of the file to the last report.
id_field obsvr, cond, inum;
label_table rating;
itable freqnon, freq;  // input order: non-target distribution first
int ntardist;
ftable freqe, freqc;   // fit order: non-target distribution last
double xnstim[max_dist];
double convcrit;
double est_mean__[max_dist], est_sigma__[max_dist], est_bound__[max_cat + 1];
double est_minit__[max_dist], est_sinit__[max_dist], est_bndinit__[max_cat];
double lambda, tnet;
int ll, solution;
ptable xp;

// Data echo, fit report and derived statistics on one unit.
void write_reports(const int& lun)
{
    wrtlroc_(lun, obsvr, cond, inum, rating, freqnon, freq);
    wrtresults_(lun, globals_.ndist, globals_.ncat, est_bound__, est_sigma__, est_mean__,
                est_bndinit__, est_sinit__, est_minit__, solution, ll, tnet, lambda);
    para2output_(lun, est_sigma__, est_mean__, est_bound__, freqe, freqc, xp);
}

}  // namespace

// One fixed run over the data file; stops with status 1 when fewer than two
// categories or a target distribution without cases remain.
int lroc_main__(const int& debug, const char* inputfile, const char* debugfile)
{
    constexpr int lun = 6;      // console
    constexpr int iterlun = 3;  // iteration trace
    int lunfile = 1;            // output file
    int output_to_file__ = 0;

    getlroc_(inputfile, obsvr, cond, inum, rating, freqnon, freq, ntardist);
    // The trace unit is bound only now, so that its file can be checked
    // against the data file that was actually read.
    open_debug_file__(debug, iterlun, debugfile);
    globals_.ndist = ntardist + 1;
    purgconfu_(freqnon, freq, rating);
    if (globals_.ncat < 2)
        stop_run__("There are less than two non-empty categories", 1);
    int t = empty_target__(freqnon, freq);
    if (t > 0) {
        char line[64];
        std::snprintf(line, sizeof line, "Target distribution %d has no cases", t);
        stop_run__(line, 1);
    }
    globals_.npar = (globals_.ncat - 1) + 2 * (globals_.ndist - 1);
    getsetup_(convcrit);
    setupconfu_(freqnon, freq, freqe, freqc, xnstim);
    wrtlroc_(lun, obsvr, cond, inum, rating, freqnon, freq);
    locfit_(freqe, freqc, xnstim, convcrit, est_bound__, est_sigma__, est_mean__, est_bndinit__,
            est_sinit__, est_minit__, lambda, ll, tnet, solution, xp);
    wrtresults_(lun, globals_.ndist, globals_.ncat, est_bound__, est_sigma__, est_mean__,
                est_bndinit__, est_sinit__, est_minit__, solution, ll, tnet, lambda);
    para2output_(lun, est_sigma__, est_mean__, est_bound__, freqe, freqc, xp);

    open_output_file__(lun, lunfile, output_to_file__);
    if (output_to_file__) {
        out_str__(lun, "(' File will contain ROC and LROC curves')");
        write_reports(lunfile);
        close_file__(lunfile);
    }
    close_all_units__();
    return 0;
}
