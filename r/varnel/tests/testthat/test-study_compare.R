
test_that("the Van Dyke comparison gives the published analysis", {
  cmp <- study_compare(extdata("vandyke_cases.csv"), fom = "wilcoxon")
  expect_s3_class(cmp, "varnel_compare")
  # Published figures (the README; Hillis's analysis of the study), to
  # half a unit of their last digit.
  expect_within(cmp$modality_covariances$mean, c(0.897037, 0.940837), 5e-7)
  rrrc <- cmp$tests[cmp$tests$analysis == "random_readers_random_cases", ]
  expect_within(rrrc$statistic, 4.4563, 5e-5)
  expect_identical(rrrc$ndf, 1)
  expect_within(rrrc$ddf, 15.260, 5e-4)
  expect_within(rrrc$p, 0.05167, 5e-6)
  d <- cmp$differences[cmp$differences$analysis == "random_readers_random_cases", ]
  expect_identical(c(d$first, d$second), c("M1", "M2"))
  expect_within(c(d$estimate, d$lower, d$upper), c(-0.043800, -0.087959, 0.000359), 5e-7)
  frrc <- cmp$tests[cmp$tests$analysis == "fixed_readers_random_cases", ]
  expect_identical(frrc$statistic_name, "chi2")
  expect_identical(frrc$ddf, Inf)
  expect_within(frrc$statistic, 5.4760, 5e-5)
  expect_within(frrc$p, 0.01928, 5e-6)
  rrfc <- cmp$tests[cmp$tests$analysis == "random_readers_fixed_cases", ]
  expect_within(rrfc$statistic, 8.704, 5e-4)
  expect_within(rrfc$p, 0.04196, 5e-6)
  expect_identical(nrow(cmp$reference), 0L)

  # Every number as the command's JSON report has it, bit for bit; the text
  # report and the jackknife file as the command writes them.
  expect_compare_matches(cmp, "vandyke_wilcoxon")
  printed <- paste0(paste(capture.output(print(cmp)), collapse = "\n"), "\n")
  expect_identical(printed, cmp$text)
  expect_match(cmp$text, paste0("^MRMC comparison of ", extdata("vandyke_cases.csv")))
})

test_that("a data frame gives what its CSV file gives", {
  from_file <- study_compare(extdata("vandyke_cases.csv"), fom = "wilcoxon", reference = "R3",
                             alpha = 0.1)
  frame <- vandyke()
  from_frame <- study_compare(frame, fom = "wilcoxon", reference = "R3", alpha = 0.1)
  # The jackknife values are those without a reference reader.
  expect_compare_matches(from_frame, "vandyke_wilcoxon_reference", jackknife = "vandyke_wilcoxon")
  expect_identical(from_frame$source, "cases")
  expect_match(from_frame$text, "^MRMC comparison of cases\n")
  keep <- setdiff(names(from_file), c("call", "source", "text", "pictures"))
  expect_identical(from_frame[keep], from_file[keep])
  expect_identical(report_body(from_frame$text), report_body(from_file$text))
  # Factors, numbers as truth and rating, and an all-NA localized column (a
  # read.csv of the file as it is) read alike.
  typed <- utils::read.csv(extdata("vandyke_cases.csv"), stringsAsFactors = TRUE)
  expect_true(is.factor(typed$reader) && is.logical(typed$localized))
  expect_identical(study_compare(typed, fom = "wilcoxon", reference = "R3", alpha = 0.1)[keep],
                   from_frame[keep])
})

test_that("a model-based comparison with a reference reader equals the command's", {
  # The warning the command prints on standard error.
  expect_warning(cmp <- study_compare(lroc_cases, fom = "model-alroc", reference = "R01",
                                      threads = 2),
                 "^model-alroc and alroc@1 disagree beyond Holm's threshold")
  expect_compare_matches(cmp, "lroc_cases_model_alroc")
  expect_identical(cmp$binning$rule, "distinct_ratings")
  expect_identical(cmp$fit, list(criterion = 0.001, chance = 0, noloc = 0L))
  # The reference analysis's mean psi is the readers' mean FOM less the
  # reference's, in each modality.
  r <- cmp$reference[cmp$reference$analysis == "random_readers_random_cases", ]
  expect_equal(r$estimate, r$readers_mean - r$reference_fom, tolerance = 1e-14)
})

test_that("two target classes: one analysis each, binning and fit options reach the fits", {
  cmp <- study_compare(two_classes(), fom = "model-pcl@0.3", reference = "R02", categories = 6,
                       chance = c(0.1, 0.2), threads = 2)
  expect_identical(cmp$cases$target, 1:2)
  expect_compare_matches(cmp, "two_classes_pcl")
  expect_identical(cmp$fit$chance, c(0.1, 0.2))
  expect_identical(cmp$binning$rule, "quantiles")
  # One class only.
  one <- study_compare(two_classes(), fom = "model-pcl@0.3", reference = "R02", categories = 6,
                       chance = c(0.1, 0.2), threads = 2, target = 2)
  expect_identical(one$cases$target, 2L)
  expect_identical(one$foms, cmp$foms[cmp$foms$target == 2L, ], ignore_attr = "row.names")
})

test_that("results are identical for every number of threads", {
  one <- study_compare(lroc_cases, fom = "model-loc", reference = "R02", threads = 1)
  two <- study_compare(lroc_cases, fom = "model-loc", reference = "R02", threads = 2)
  three <- study_compare(lroc_cases, fom = "model-loc", reference = "R02", threads = 3)
  keep <- setdiff(names(one), "call")
  expect_identical(two[keep], one[keep])
  expect_identical(three[keep], one[keep])
})

test_that("a failed fit names the reader and the modality", {
  # Every rating of reader R05 in M2 the same: its table has one category.
  cases <- lroc_cases
  cases$rating[cases$reader == "R05" & cases$modality == "M2"] <- 3
  e <- tryCatch(study_compare(cases, fom = "model-alroc", threads = 2),
                varnel_error = function(e) e)
  expect_s3_class(e, "varnel_error")
  expect_identical(e$kind, "failed_fit")
  expect_identical(e$status, 2L)
  expect_match(conditionMessage(e), "^cases: reader R05, modality M2: the fit failed")
})

test_that("designs and options the analysis cannot take", {
  expect_study_error <- function(expr, pattern, kind = "bad_input") {
    e <- tryCatch(expr, varnel_error = function(e) e)
    expect_s3_class(e, "varnel_error")
    expect_identical(e$kind, kind)
    expect_identical(e$status, 1L)
    expect_match(conditionMessage(e), pattern)
  }
  m1 <- lroc_cases[lroc_cases$modality == "M1", ]
  expect_study_error(study_compare(m1, fom = "wilcoxon"), "one modality")
  expect_study_error(study_compare(lroc_cases, fom = "wilcoxon", reference = "R9"),
                     "reference reader \"R9\"")
  expect_study_error(study_compare(lroc_cases[lroc_cases$reader %in% c("R01", "R02"), ],
                                   fom = "wilcoxon", reference = "R01"), "at least two readers")
  expect_study_error(study_compare(lroc_cases, fom = "auc"), "unknown figure of merit \"auc\"")
  expect_study_error(study_compare(lroc_cases, fom = "pcl@1.5"), "pcl@1.5")
  expect_study_error(study_compare(lroc_cases, fom = "wilcoxon", alpha = 1), "alpha 1")
  expect_study_error(study_compare(lroc_cases, fom = "model-auc", categories = 1), "categories 1")
  expect_study_error(study_compare(lroc_cases, fom = "model-auc", chance = c(0.1, 0.2, 0.3)),
                     "^chance: ", kind = "bad_settings")
  # A case not read by every reader.
  expect_study_error(study_compare(lroc_cases[-5L, ], fom = "wilcoxon"), "C0005")
  # Argument types are R errors.
  expect_error(study_compare(lroc_cases, fom = c("wilcoxon", "model-auc")), "'fom'")
  expect_error(study_compare(lroc_cases, fom = "wilcoxon", reference = 3), "'reference'")
  expect_error(study_compare(lroc_cases, fom = "wilcoxon", threads = 0), "'threads'")
  expect_error(study_compare(lroc_cases, fom = "wilcoxon", target = 1.5), "'target'")
  expect_error(study_compare(list(), fom = "wilcoxon"), "'cases'")
})

test_that("a margin: non-inferiority, per-reader psi and intervals as the command's", {
  cmp <- study_compare(vandyke(), fom = "wilcoxon", reference = "R3", margin = 0.05)
  # The jackknife values are those without a reference reader or margin.
  expect_compare_matches(cmp, "vandyke_wilcoxon_margin", jackknife = "vandyke_wilcoxon")
  expect_identical(cmp$margin, 0.05)
  r <- cmp$reference
  expect_identical(r$ni_bound, rep(0.05, 4L))
  expect_identical(r$ni_rejected, r$ni_p < cmp$alpha)
  # Holm over the four readers of each modality, as R's p.adjust makes it.
  for (m in unique(cmp$psi$modality)) {
    p <- cmp$psi[cmp$psi$modality == m, ]
    expect_equal(p$p_holm, stats::p.adjust(p$p, "holm"), tolerance = 1e-15)
    expect_true(all(p$lower < p$psi & p$psi < p$upper))
  }
  # Without a margin the non-inferiority columns are NA.
  plain <- study_compare(vandyke(), fom = "wilcoxon", reference = "R3")
  expect_true(all(is.na(plain$reference$ni_p)))
  expect_identical(plain$psi[c("psi", "std_error", "p_holm")], cmp$psi[c("psi", "std_error",
                                                                          "p_holm")])
})

test_that("three modalities: Holm-adjusted differences and their non-inferiority tests", {
  cases <- utils::read.csv(test_path("data", "three_modalities.csv"))
  cmp <- study_compare(cases, fom = "wilcoxon", margin = 0.03)
  expect_compare_matches(cmp, "three_modalities_wilcoxon")
  for (a in unique(cmp$differences$analysis)) {
    d <- cmp$differences[cmp$differences$analysis == a, ]
    expect_identical(nrow(d), 3L)
    expect_equal(d$p_holm, stats::p.adjust(d$p, "holm"), tolerance = 1e-15)
    expect_equal(d$ni_p_holm, stats::p.adjust(d$ni_p, "holm"), tolerance = 1e-15)
    expect_identical(d$ni_bound, rep(-0.03, 3L))
  }
})

test_that("model-auc ignores the localization outcomes by default; use and the bootstrap", {
  expect_warning(plain <- study_compare(lroc_cases, fom = "model-auc", threads = 2),
                 "model-auc and wilcoxon disagree")
  expect_identical(plain$localization, "ignore")
  expect_compare_matches(plain, "lroc_cases_model_auc")
  # The fits of the ratings alone: NOLOC is every category.
  expect_identical(plain$fits$noloc, plain$fits$categories)
  expect_identical(plain$empirical$fom, "wilcoxon")

  use <- suppressWarnings(study_compare(lroc_cases, fom = "model-auc", localization = "use",
                                        gof_bootstrap = 10, seed = 3, margin = 0.05,
                                        threads = 2))
  expect_compare_matches(use, "lroc_cases_model_auc_options")
  expect_identical(use$localization, "use")
  expect_false(identical(use$foms$fom, plain$foms$fom))
  expect_identical(use$fits$bootstrap_replicates, rep(10L, 10L))
  expect_true(all(use$fits$bootstrap_p_pearson >= 0 & use$fits$bootstrap_p_pearson <= 1))
  # With the outcomes, AreaLROC = 2 AreaROC - 1 under the model: the test of
  # model-alroc.
  alroc <- suppressWarnings(study_compare(lroc_cases, fom = "model-alroc", threads = 2))
  expect_equal(use$tests$statistic, alroc$tests$statistic, tolerance = 1e-6)
  # The bootstrap's p-values are the seed's whatever the threads; another
  # seed gives others.
  one <- suppressWarnings(study_compare(lroc_cases, fom = "model-auc", localization = "use",
                                        gof_bootstrap = 10, seed = 3, margin = 0.05,
                                        threads = 1))
  expect_identical(one$fits, use$fits)
  other <- suppressWarnings(study_compare(lroc_cases, fom = "model-auc", localization = "use",
                                          gof_bootstrap = 10, seed = 4, threads = 2))
  expect_false(identical(other$fits$bootstrap_p_pearson, use$fits$bootstrap_p_pearson))
})

test_that("each reader's own categories reach the fits as the command's", {
  expect_warning(cmp <- study_compare(two_classes(), fom = "model-auc", binning = "reader",
                                      categories = 6, target = 1, threads = 2),
                 "fit is rejected at 0.05")
  expect_compare_matches(cmp, "two_classes_auc_reader")
  expect_null(cmp$binning)
  expect_identical(names(cmp$reader_binnings), c("R01", "R02", "R03"))
  expect_false(identical(cmp$reader_binnings$R01$upper, cmp$reader_binnings$R02$upper))
  study <- suppressWarnings(study_compare(two_classes(), fom = "model-auc", categories = 6,
                                          target = 1, threads = 2))
  expect_false(identical(study$foms$fom, cmp$foms$fom))
})

test_that("the warnings of the fits: rows of a table and R warnings", {
  w <- NULL
  cmp <- withCallingHandlers(
    study_compare(lroc_cases, fom = "model-alroc", reference = "R01", threads = 2),
    warning = function(c) {
      w <<- c(w, conditionMessage(c))
      invokeRestart("muffleWarning")
    })
  expect_identical(w, cmp$warnings$message)
  expect_identical(cmp$warnings$kind, "model_disagrees")
  expect_true(any(cmp$fits$disagrees))
  # The empirical counterpart is the comparison of alroc@1.
  empirical <- study_compare(lroc_cases, fom = "alroc@1", reference = "R01")
  keep <- c("foms", "reference", "psi", "tests", "differences")
  expect_identical(cmp$empirical[keep], empirical[keep])
  # An empirical FOM has no fits.
  expect_identical(nrow(empirical$fits), 0L)
  expect_null(empirical$empirical)
})

test_that("faults of the new options", {
  e <- tryCatch(study_compare(lroc_cases, fom = "model-alroc", localization = "ignore"),
                varnel_error = function(e) e)
  expect_s3_class(e, "varnel_error")
  expect_match(conditionMessage(e), "ignore")
  e <- tryCatch(study_compare(lroc_cases, fom = "wilcoxon", margin = -0.1),
                varnel_error = function(e) e)
  expect_s3_class(e, "varnel_error")
  expect_match(conditionMessage(e), "margin")
  expect_error(study_compare(lroc_cases, fom = "model-auc", localization = "maybe"),
               "'localization'")
  expect_error(study_compare(lroc_cases, fom = "model-auc", binning = "case"), "'binning'")
  expect_error(study_compare(lroc_cases, fom = "model-auc", gof_bootstrap = -1),
               "'gof_bootstrap'")
  expect_error(study_compare(lroc_cases, fom = "model-auc", seed = -1), "'seed'")
  expect_error(study_compare(lroc_cases, fom = "model-auc", seed = 2^54), "'seed'")
  expect_error(study_compare(lroc_cases, fom = "wilcoxon", margin = c(0.1, 0.2)), "'margin'")
})
