test_that("study_fit gives the command's results table", {
  fits <- study_fit(lroc_cases, threads = 2)
  expect_s3_class(fits, "data.frame")
  expect_identical(nrow(fits), 10L)
  expect_fit_matches(fits, "lroc_cases_fit")
  # Without chance values the adjusted columns are NA (empty in the CSV).
  expect_true(all(is.na(fits$adjusted_area_lroc)))
  expect_identical(fits$status, rep("", 10L))

  # Binning and fit options: cutpoints, one chance value for every class, a
  # tighter criterion and a raised NOLOC.
  options <- study_fit(extdata("lroc_cases.csv"), cutpoints = c(2, 4), chance = 0.1,
                       criterion = 1e-5, noloc = 2, threads = 2)
  expect_fit_matches(options, "lroc_cases_fit_options")
  expect_identical(options$categories, rep(3L, 10L))
  expect_true(all(options$noloc == 2L))
  expect_false(anyNA(options$adjusted_area_lroc))

  # Two target classes, quantile categories, a chance value per class.
  two <- study_fit(two_classes_file(), categories = 5, chance = c(0.1, 0.2), threads = 2)
  expect_fit_matches(two, "two_classes_fit")
  expect_identical(two$target, rep(1:2, 6L))
  expect_identical(attr(two, "binning")$rule, "quantiles")
})

test_that("each row is the fit lroc_fit makes of the binned table", {
  fits <- study_fit(lroc_cases, chance = 0.1, threads = 2)
  bins <- study_bin(lroc_cases)
  for (i in c(1L, 6L, 10L)) {
    fit <- lroc_fit(bins$studies[[fits$reader[i], fits$modality[i]]], chance = 0.1)
    expect_identical(fits$mu[i], unname(coef(fit)["mu1"]))
    expect_identical(fits$se_sigma[i], unname(fit$se["sigma1"]))
    expect_identical(fits$area_lroc[i], fit$areas$area_lroc)
    expect_identical(fits$adjusted_loc_accuracy[i], fit$areas$adjusted_loc_accuracy)
    expect_identical(fits$pearson_ratings[i], unname(fit$likelihood["pearson_ratings"]))
    expect_identical(fits$iterations[i], fit$iterations)
    expect_identical(fits$noloc[i], fit$fitted$noloc)
  }
})

test_that("rating data files are fitted as they are", {
  paths <- extdata(c("reader_a.lrc", "two_targets_chance.lrc"))
  fits <- study_fit(paths, chance = 0.25, threads = 2)
  # One row per target of each file: reader_a has one, two_targets_chance two.
  expect_identical(fits$reader, c("Reader A", "Reader B", "Reader B"))
  expect_identical(fits$target, c(1L, 1L, 2L))
  expect_null(attr(fits, "binning"))
  fit <- lroc_fit(paths[2L], chance = 0.25)
  rows <- fits[fits$reader == "Reader B", ]
  expect_identical(rows$area_roc, fit$areas$area_roc)
  expect_identical(rows$se_dloc, fit$areas$se_dloc)
})

test_that("a table that cannot be fitted is a row with its status, and a warning", {
  cases <- lroc_cases
  # Every rating of reader R05 in M2 the same: one category in its table.
  cases$rating[cases$reader == "R05" & cases$modality == "M2"] <- 3
  expect_warning(fits <- study_fit(cases, cutpoints = c(2, 4), threads = 2),
                 "^1 of 10 tables could not be fitted \\(see their status\\)$")
  bad <- fits$reader == "R05" & fits$modality == "M2"
  expect_match(fits$status[bad], "categor")
  expect_true(all(is.na(unlist(fits[bad, c("converged", "iterations", "mu", "pearson")]))))
  expect_identical(fits$status[!bad], rep("", 9L))
  expect_false(anyNA(fits$mu[!bad]))
})

test_that("results are identical for every number of threads", {
  one <- study_fit(two_classes(), categories = 5, threads = 1)
  expect_identical(study_fit(two_classes(), categories = 5, threads = 2), one)
  expect_identical(study_fit(two_classes(), categories = 5, threads = 4), one)
})

test_that("option faults", {
  e <- tryCatch(study_fit(lroc_cases, criterion = 1e-9), varnel_error = function(e) e)
  expect_identical(e$kind, "bad_settings")
  expect_match(conditionMessage(e), "^criterion")
  e <- tryCatch(study_fit(lroc_cases, cutpoints = c(3, 2)), varnel_error = function(e) e)
  expect_identical(e$kind, "bad_input")
  expect_match(conditionMessage(e), "cutpoint 2")
  e <- tryCatch(study_fit(lroc_cases, chance = 2), varnel_error = function(e) e)
  expect_match(conditionMessage(e), "^chance: ")
  expect_error(study_fit(lroc_cases, chance = NA), "'chance'")
  expect_error(study_fit(lroc_cases, noloc = "2"), "'noloc'")
  expect_error(study_fit(lroc_cases, categories = 2.5), "'categories'")
  expect_error(study_fit(lroc_cases, cutpoints = "2"), "'cutpoints'")
  expect_error(study_fit(character()), "'cases'")
  e <- tryCatch(study_fit(file.path(tempdir(), "none.csv")), varnel_error = function(e) e)
  expect_match(conditionMessage(e), "none.csv")
})

test_that("each reader's own categories and the goodness-of-fit bootstrap as the command's", {
  fits <- study_fit(two_classes_file(), categories = 5, binning = "reader", gof_bootstrap = 20,
                    seed = 5, threads = 2)
  expect_fit_matches(fits, "two_classes_fit_reader")
  expect_null(attr(fits, "binning"))
  expect_identical(fits$bootstrap_replicates, rep(20L, nrow(fits)))
  # The same for every number of threads; another seed gives other p-values.
  expect_identical(study_fit(two_classes_file(), categories = 5, binning = "reader",
                             gof_bootstrap = 20, seed = 5, threads = 1), fits)
  other <- study_fit(two_classes_file(), categories = 5, binning = "reader", gof_bootstrap = 20,
                     seed = 6, threads = 2)
  expect_false(identical(other$bootstrap_p_pearson, fits$bootstrap_p_pearson))
  expect_identical(other$p_pearson, fits$p_pearson)
  # Without a bootstrap its columns are NA; the chi-square p-values are not.
  plain <- study_fit(two_classes_file(), categories = 5, threads = 2)
  expect_true(all(is.na(plain[c("bootstrap_replicates", "bootstrap_p_pearson")])))
  expect_true(all(plain$p_pearson >= 0 & plain$p_pearson <= 1))
  # The study's categories are not each reader's.
  expect_false(identical(plain$mu, fits$mu))
})
