// Log-likelihoods, deviance and Pearson statistics, and their report block.
#include "model/lroc_stat.h"

#include <gtest/gtest.h>

#include <cmath>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "model/loglchi.h"
#include "model/lroc_common.h"
#include "model/support/model_tables.h"
#include "output/io_routs.h"

namespace {

struct six {
    double logd1, logd2, logl1, logl2, chi1, chi2;
};

// The small reader study: four categories, noloc 1, chance 0.1; non-target
// counts 31, 38, 24, 7; target correct 2, 8, 25, 49 and incorrect 0, 4, 8, 4;
// model at boundaries -0.5, 0.5, 1.5, target mean 1.5, deviation 1.2.
struct reader_study {
    ftable freqc{}, freqe{};
    double a[2] = {1.5, 0.0}, b[2] = {1.2, 1.0}, z[3] = {-0.5, 0.5, 1.5};
    reader_study() {
        const double non[4] = {31, 38, 24, 7}, cor[4] = {2, 8, 25, 49}, inc[4] = {0, 4, 8, 4};
        for (int k = 1; k <= 4; ++k) {
            freqc(k, 2) = non[k - 1];
            freqc(k, 1) = cor[k - 1];
            freqe(k, 1) = inc[k - 1];
        }
    }
    // The same counts as a ROC-only study prepares them: whole counts in freqc.
    void merge() {
        for (int k = 1; k <= 4; ++k) {
            freqc(k, 1) += freqe(k, 1);
            freqe(k, 1) = 0.0;
        }
    }
};

six fit_stats(const reader_study& s) {
    six r{};
    lroc_fit__(s.a, s.b, s.z, s.freqc, s.freqe, r.logd1, r.logd2, r.logl1, r.logl2, r.chi1,
               r.chi2);
    return r;
}

six table_stats(const ftable& freqc, const ftable& freqe, const ctable& fd, const ctable& ild,
                const ctable& cld) {
    six r{};
    lroc_logl__(freqc, freqe, fd, ild, cld, r.logd1, r.logd2);
    lroc_logl2__(freqc, freqe, fd, ild, cld, r.logl1, r.logl2);
    lroc_chisq__(freqc, freqe, fd, ild, cld, r.chi1, r.chi2);
    return r;
}

TEST(LrocStat, ReaderStudyStatistics) {
    set_dims(4, 2, 1);
    qset(1) = 0.1;
    reader_study s;
    const six r = fit_stats(s);
    // The study's statistics, quoted to 3 decimals.
    EXPECT_NEAR(r.logd1, -269.756, 5e-4);
    EXPECT_NEAR(r.logd2, -229.549, 5e-4);
    EXPECT_NEAR(r.logl1, 0.434, 5e-4);
    EXPECT_NEAR(r.logl2, 0.215, 5e-4);
    EXPECT_NEAR(r.chi1, 0.460, 5e-4);
    EXPECT_NEAR(r.chi2, 0.233, 5e-4);

    // The report's evaluation is the same computation with its own tables.
    six rep{};
    loglchi_(s.a, s.b, s.z, s.freqc, s.freqe, rep.logd1, rep.logd2, rep.logl1, rep.logl2,
             rep.chi1, rep.chi2);
    EXPECT_EQ(rep.logd1, r.logd1);
    EXPECT_EQ(rep.logd2, r.logd2);
    EXPECT_EQ(rep.logl1, r.logl1);
    EXPECT_EQ(rep.logl2, r.logl2);
    EXPECT_EQ(rep.chi1, r.chi1);
    EXPECT_EQ(rep.chi2, r.chi2);
}

TEST(LrocStat, WithoutLocalizationCellsBothKindsAgree) {
    // ROC-only target (chance 1, merged counts) and a study without any
    // localization data: the statistics 1 and 2 are the same cells.
    struct row_t {
        int noloc;
        double q;
        bool merged;
    } rows[] = {{1, 1.0, true}, {0, 1.0, true}, {4, 0.1, true}, {4, 0.0, true}};
    for (const row_t& row : rows) {
        SCOPED_TRACE(row.noloc);
        set_dims(4, 2, row.noloc);
        qset(1) = row.q;
        reader_study s;
        if (row.merged) s.merge();
        const six r = fit_stats(s);
        EXPECT_EQ(r.logl1, r.logl2);
        EXPECT_EQ(r.chi1, r.chi2);
        EXPECT_GT(r.logl1, 0.0);
        if (row.noloc == 4) {
            EXPECT_EQ(r.logd1, r.logd2);
        } else {
            // ln(ild + cld) against ln fd: the same probability.
            EXPECT_NEAR(r.logd1, r.logd2, 1e-9);
        }
    }
}

// Hand-made probability tables for two categories, one target.
struct hand_tables {
    ctable fd{}, ild{}, cld{};
    ftable freqc{}, freqe{};
    hand_tables(double n1, double n2, double il1, double il2, double cl1, double cl2) {
        fd(1, 2) = n1;
        fd(2, 2) = n2;
        ild(1, 1) = il1;
        ild(2, 1) = il2;
        cld(1, 1) = cl1;
        cld(2, 1) = cl2;
        fd(1, 1) = il1 + cl1;
        fd(2, 1) = il2 + cl2;
    }
};

TEST(LrocStat, ZeroCountsAndHandComputedCells) {
    // Chance 0.5.  Category 1: correct cell 0.5*0.2 + 0.3 = 0.4, incorrect
    // 0.1; category 2: correct 0.45 with a zero count, incorrect 0.05.
    set_dims(2, 2, 0);
    qset(1) = 0.5;
    hand_tables h(0.4, 0.6, 0.2, 0.1, 0.3, 0.4);
    h.freqc(1, 2) = 4;
    h.freqc(2, 2) = 6;
    h.freqc(1, 1) = 3;
    h.freqe(1, 1) = 1;
    h.freqc(2, 1) = 0;
    h.freqe(2, 1) = 4;
    const six r = table_stats(h.freqc, h.freqe, h.fd, h.ild, h.cld);
    const double nontarget = 4 * std::log(0.4) + 6 * std::log(0.6);
    EXPECT_NEAR(r.logd1, nontarget + 3 * std::log(0.4) + std::log(0.1) + 4 * std::log(0.05),
                1e-12);
    EXPECT_NEAR(r.logd2, nontarget + 8 * std::log(0.5), 1e-12);
    // Eight target images: expected counts 3.2, 0.8, 3.6, 0.4 and 4, 4; the
    // non-target counts are exactly their expectation.
    EXPECT_NEAR(r.logl1, 2 * (3 * std::log(3 / 3.2) + std::log(1 / 0.8) + 4 * std::log(4 / 0.4)),
                1e-12);
    EXPECT_NEAR(r.logl2, 0.0, 1e-15);
    EXPECT_NEAR(r.chi1, 0.04 / 3.2 + 0.04 / 0.8 + 3.6 + 3.6 * 3.6 / 0.4, 1e-12);
    EXPECT_NEAR(r.chi2, 0.0, 1e-15);
}

TEST(LrocStat, CountsProportionalToTheModelGiveZeroStatistics) {
    // noloc 1, chance 0.5: category 1 one cell of 0.5; category 2 correct
    // 0.5*0.25 + 0.25 = 0.375, incorrect 0.125; eight images.  Non-target
    // 0.25, 0.75 of eight.
    set_dims(2, 2, 1);
    qset(1) = 0.5;
    hand_tables h(0.25, 0.75, 0.25, 0.25, 0.25, 0.25);
    h.freqc(1, 2) = 2;
    h.freqc(2, 2) = 6;
    h.freqc(1, 1) = 4;
    h.freqc(2, 1) = 3;
    h.freqe(2, 1) = 1;
    const six r = table_stats(h.freqc, h.freqe, h.fd, h.ild, h.cld);
    EXPECT_EQ(r.logl1, 0.0);
    EXPECT_EQ(r.logl2, 0.0);
    EXPECT_EQ(r.chi1, 0.0);
    EXPECT_EQ(r.chi2, 0.0);
}

TEST(LrocStat, DistributionsWithoutImagesContributeNothing) {
    set_dims(2, 3, 0);
    qset(1) = 0.5;
    qset(2) = 0.5;
    hand_tables h(0.25, 0.75, 0.25, 0.25, 0.25, 0.25);
    // Target 2 (column 2) and the non-target (column 3) have no images;
    // target 1 is exactly at its expectation.
    for (int k = 1; k <= 2; ++k) {
        h.fd(k, 3) = h.fd(k, 2);
        h.fd(k, 2) = h.fd(k, 1);
        h.ild(k, 2) = h.ild(k, 1);
        h.cld(k, 2) = h.cld(k, 1);
    }
    h.freqc(1, 1) = 3;
    h.freqe(1, 1) = 1;
    h.freqc(2, 1) = 3;
    h.freqe(2, 1) = 1;
    const six r = table_stats(h.freqc, h.freqe, h.fd, h.ild, h.cld);
    EXPECT_EQ(r.logl1, 0.0);
    EXPECT_EQ(r.logl2, 0.0);
    EXPECT_EQ(r.chi1, 0.0);
    EXPECT_EQ(r.chi2, 0.0);
    EXPECT_TRUE(std::isfinite(r.logd1));
}

TEST(LrocStat, ReportBlockText) {
    char name[] = "lroc_stat_report_XXXXXX";
    const int fd = mkstemp(name);
    ASSERT_GE(fd, 0);
    close(fd);
    const int lun = 1;
    open_file__(lun, name, static_cast<int>(sizeof name - 1), "unknown");
    wrtloglchi_(lun, -269.756, -229.549, 0.434, 0.215, 0.460, 0.233);
    close_file__(lun);
    std::ifstream in(name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::remove(name);
    EXPECT_EQ(text.str(),
              "\n"
              "Loglikelihood and chi-squared\n"
              "logd1,logd2    -269.75600    -229.54900\n"
              "logL1,logL2       0.43400       0.21500\n"
              "chi1,chi2         0.46000       0.23300\n");
}

TEST(LrocStat, FullCapacity) {
    // Seventeen categories, fifteen targets, mixed chance values: finite
    // statistics, and the rating-only statistics of a fit without
    // localization equal their partners.
    double q[15];
    for (int j = 0; j < 15; ++j) q[j] = j % 3 == 0 ? 1.0 : 0.1 * (j % 4);
    for (int noloc : {0, 9, 17}) {
        study s;
        make_study(s, 17, 16, noloc, q, 0.421, 0.1097, 0.7, 0.05, -1.95, 0.2511);
        six r{};
        lroc_fit__(s.mu, s.sigma, s.z, s.freqc, s.freqe, r.logd1, r.logd2, r.logl1, r.logl2,
                   r.chi1, r.chi2);
        for (double v : {r.logd1, r.logd2, r.logl1, r.logl2, r.chi1, r.chi2})
            EXPECT_TRUE(std::isfinite(v)) << noloc;
        EXPECT_GT(r.logl1, 0.0);
        if (noloc == 17) {
            EXPECT_EQ(r.logl1, r.logl2);
            EXPECT_EQ(r.chi1, r.chi2);
        }
    }
}

}  // namespace
