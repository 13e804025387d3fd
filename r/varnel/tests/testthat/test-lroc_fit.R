test_that("report() is the console program's output file for every shipped example", {
  for (name in names(examples)) {
    fit <- fit_example(name)
    expect_identical(as.character(report(fit)), golden(name), label = name)
  }
  # Written to a file, byte for byte.
  fit <- fit_example("two_targets_chance")
  out <- tempfile()
  expect_identical(report(fit, file = out), out)
  expect_identical(readChar(out, file.size(out), useBytes = TRUE), golden("two_targets_chance"))
})

test_that("print shows the console program's report of the fit", {
  for (name in c("reader_a", "roc_only", "two_targets_chance")) {
    fit <- fit_example(name)
    printed <- paste(capture.output(print(fit)), collapse = "\n")
    # The header line names the table; the rest is the console text as the
    # console program shows it after its dialogue.
    expect_match(printed, "^LROC fit: observer \"Reader [A-C]\"")
    expect_true(grepl(fit$console, golden(name, "console"), fixed = TRUE), label = name)
    expect_true(grepl(trimws(fit$console), printed, fixed = TRUE), label = name)
  }
})

test_that("the fit's values are the output file's figures", {
  for (name in names(examples)) {
    fit <- fit_example(name)
    lines <- strsplit(golden(name), "\n", fixed = TRUE)[[1L]]
    targets <- ncol(fit$curves$tp)
    t <- seq_len(targets)
    cf <- coef(fit)
    mu <- cf[paste0("mu", t)]
    sigma <- cf[paste0("sigma", t)]
    b <- cf[grep("^b", names(cf))]
    se <- fit$se

    expect_identical(fit$iterations, as.integer(report_row(lines, "Number of interations =")$values))
    tnet <- report_row(lines, "Stopping index (tnet) =")$values
    expect_printed(fit$stopping_index, tnet[1L], 8L)
    expect_equal(fit$damping, tnet[4L], tolerance = 1e-12)

    # Fit section: fitted and initial values (4 decimals); the non-target
    # distribution comes last, fixed at 0 and 1.
    fitted <- report_block(lines, "Mean of distributions", list(mean = "Fit", start = "Inital"))
    expect_printed(c(mu, 0), fitted$mean, 4L)
    expect_printed(c(fit$initial[paste0("mu", t)], 0), fitted$start, 4L)
    fitted <- report_block(lines, "Sigma of distributions", list(sd = "Fit", start = "Inital"))
    expect_printed(c(sigma, 1), fitted$sd, 4L)
    fitted <- report_block(lines, "Boundaries", list(b = "Fit", start = "Inital"))
    expect_printed(b, fitted$b, 4L)
    expect_printed(fit$initial[names(b)], fitted$start, 4L)

    # Parameters with standard errors (5 decimals).
    p <- report_block(lines, "Distibution parameter values",
                      list(mean = "Mean", se_mean = "Std err", sd = "Sigma", se_sd = "Std err",
                           b = "Boundaries", se_b = "Std err"))
    expect_printed(c(mu, 0), p$mean, 5L)
    expect_printed(c(se[paste0("mu", t)], 0), p$se_mean, 5L)
    expect_printed(c(sigma, 1), p$sd, 5L)
    expect_printed(c(se[paste0("sigma", t)], 0), p$se_sd, 5L)
    expect_printed(b, p$b, 5L)
    expect_printed(se[names(b)], p$se_b, 5L)

    # Areas and localization (4 decimals).
    a <- fit$areas
    labels <- list(roc = "AreaROC", se_roc = "std err", lroc = "AreaLROC")
    if (fit$chance_entered) labels$adjusted_lroc <- "AdjArea"
    labels$loc <- "Loc Accuracy"
    if (fit$chance_entered) labels$adjusted_loc <- "Adj Loc Acc"
    labels$se_loc <- "std err"
    labels$dloc <- "Dloc"
    labels$se_dloc <- "std err"
    labels$pcl <- "Prob Local"
    labels$se_pcl <- "std err"
    r <- report_block(lines, "Used numerical integration", labels)
    expect_printed(a$area_roc, r$roc, 4L)
    expect_printed(a$se_area_roc, r$se_roc, 4L)
    expect_printed(a$area_lroc, r$lroc, 4L)
    expect_equal(a$se_area_lroc, 2 * a$se_area_roc)
    expect_printed(a$loc_accuracy, r$loc, 4L)
    expect_printed(a$se_loc_accuracy, r$se_loc, 4L)
    expect_printed(a$dloc, r$dloc, 4L)
    expect_printed(a$se_dloc, r$se_dloc, 4L)
    expect_printed(a$pcl, r$pcl, 4L)
    expect_printed(a$se_pcl, r$se_pcl, 4L)
    if (fit$chance_entered) {
      expect_printed(a$adjusted_area_lroc, r$adjusted_lroc, 4L)
      expect_printed(a$adjusted_loc_accuracy, r$adjusted_loc, 4L)
    } else {
      expect_true(all(is.na(c(a$adjusted_area_lroc, a$adjusted_loc_accuracy))))
    }

    # Moments, non-target distribution first (4 decimals).
    m <- report_block(lines, "Moments from distribution parameters",
                      list(mean = "Mean", sd = "St. dev.", skew = "Skew", kurtosis = "Kurtosis",
                           implied_da = "Implied d-a", implied_az = "Implied Az"))
    expect_identical(fit$moments$distribution, 0:targets)
    for (k in names(m)) expect_printed(fit$moments[[k]], m[[k]], 4L)

    # Likelihood statistics (5 decimals).
    l <- report_block(lines, "Loglikelihood and chi-squared",
                      list(logd = "logd1,logd2", dev = "logL1,logL2", chi = "chi1,chi2"))
    expect_printed(fit$likelihood[c("log_likelihood", "log_likelihood_ratings")], l$logd, 5L)
    expect_printed(fit$likelihood[c("deviance", "deviance_ratings")], l$dev, 5L)
    expect_printed(fit$likelihood[c("pearson", "pearson_ratings")], l$chi, 5L)
  }
})

# The standard-error/correlation matrix of the output file, as a matrix
# over the parameter names of coef(): the mean-and-sigma part, the boundary
# part and the means and sigmas by boundary (labels m2.. for target 1..,
# s2.., b1..).
report_correlation <- function(lines, names) {
  targets <- sum(startsWith(names, "mu"))
  label <- c(paste0("m", seq_len(targets) + 1L), paste0("s", seq_len(targets) + 1L),
             paste0("b", seq_len(length(names) - 2L * targets)))
  out <- matrix(NA_real_, length(names), length(names), dimnames = list(label, label))
  start <- report_row(lines, "Standard Error -- Correlation matrix")$line
  blocks <- which(startsWith(lines, "    Boundary part") | startsWith(lines, "   Mean and sigma"))
  for (heading in blocks[blocks > start]) {
    columns <- strsplit(trimws(lines[heading + 1L]), "[[:space:]]+")[[1L]]
    i <- heading + 2L
    while (i <= length(lines) && nzchar(trimws(lines[i]))) {
      fields <- strsplit(trimws(lines[i]), "[[:space:]]+")[[1L]]
      out[fields[1L], columns] <- as.numeric(fields[-1L])
      i <- i + 1L
    }
  }
  # The by-boundary block fills one triangle; the matrix is symmetric.
  out[is.na(out)] <- t(out)[is.na(out)]
  dimnames(out) <- list(names, names)
  out
}

test_that("coef, vcov, logLik and nobs agree with the output file", {
  for (name in c("reader_a", "two_targets_chance", "ten_targets", "two_categories")) {
    fit <- fit_example(name)
    lines <- strsplit(golden(name), "\n", fixed = TRUE)[[1L]]
    v <- vcov(fit)
    expect_identical(dimnames(v), list(names(coef(fit)), names(coef(fit))))
    expect_equal(v, t(v))
    expected <- report_correlation(lines, names(coef(fit)))
    got <- cov2cor(v)
    diag(got) <- sqrt(diag(v))
    expect_printed(as.vector(got), as.vector(expected), 5L)
    expect_equal(unname(sqrt(diag(v))), unname(fit$se), tolerance = 1e-12)

    ll <- logLik(fit)
    expect_printed(as.numeric(ll), report_row(lines, "logd1,logd2")$values[1L], 5L)
    expect_identical(attr(ll, "df"), length(coef(fit)))
    # Every image of the count tables, as the data echo shows them.
    expect_equal(nobs(fit), sum(fit$counts$incorrect, fit$counts$correct))
    expect_identical(attr(ll, "nobs"), nobs(fit))
  }
})

test_that("summary gathers the figures by subject", {
  fit <- fit_example("two_targets_chance")
  s <- summary(fit)
  expect_s3_class(s, "summary.varnel_fit")
  expect_identical(rownames(s$coefficients), names(coef(fit)))
  expect_identical(s$coefficients$se, unname(fit$se))
  expect_identical(s$areas$adjusted_area_lroc, fit$areas$adjusted_area_lroc)
  expect_identical(s$localization$pcl, fit$areas$pcl)
  expect_identical(s$likelihood["Pearson chi-square", "ratings_only"],
                   unname(fit$likelihood["pearson_ratings"]))
  printed <- capture.output(print(s))
  expect_true(any(grepl("adjusted_area_lroc", printed)))
  # Without chance values there are no adjusted columns.
  expect_null(summary(fit_example("reader_a"))$areas$adjusted_area_lroc)
})

test_that("chance values: one for all targets or one per target", {
  study <- read_study(example_file("two_targets_chance"))
  both <- lroc_fit(study, chance = 0.25)
  expect_identical(lroc_fit(study, chance = c(0.25, 0.25))$report, both$report)
  expect_identical(both$chance, c(0.25, 0.25))
  expect_true(both$chance_entered)
  # Chance 1: the target's localization data are not used, so its counts
  # are merged and its fit is that of the ratings alone.
  one <- lroc_fit(study, chance = c(0.25, 1))
  expect_true(all(one$counts$incorrect[, 3L] == 0))
  expect_identical(one$counts$correct[, 3L], study$correct[, 3L] + study$incorrect[, 3L])
  expect_false(isTRUE(all.equal(coef(one), coef(both))))
  expect_error(lroc_fit(study, chance = c(0.1, 0.2, 0.3)), "one number per target \\(2\\)")
  expect_error(lroc_fit(study, chance = NA), "'chance'")
})

test_that("noloc raises the categories without localization, as the console dialogue does", {
  study <- read_study(example_file("reader_a"))
  raised <- lroc_fit(study, noloc = 3)
  expect_identical(raised$fitted$noloc, 3L)
  expect_true(grepl("NOLOC: 3", raised$report, fixed = TRUE))
  expect_true(all(raised$counts$incorrect[1:3, 2L] == 0))
  expect_identical(raised$counts$correct[1:3, 2L], study$correct[1:3, 2L] + study$incorrect[1:3, 2L])

  # With every category without localization, the fit is that of the same
  # study read as ROC data (the localization outcomes merged into totals).
  all_merged <- lroc_fit(study, noloc = 5)
  roc <- study
  roc$correct <- study$correct + study$incorrect
  roc$incorrect[] <- 0L
  roc$noloc <- 5L
  expect_equal(coef(all_merged), coef(lroc_fit(roc)), tolerance = 1e-12)

  # Outside the study's own number to the number of categories: ignored,
  # with a warning.
  expect_warning(same <- lroc_fit(study, noloc = 6), "noloc = 6 ignored")
  expect_identical(same$report, lroc_fit(study)$report)
  expect_warning(lroc_fit(study, noloc = 0), "noloc = 0 ignored")
  expect_silent(lroc_fit(study, noloc = 1))
  expect_error(lroc_fit(study, noloc = 1.5), "'noloc'")
})

test_that("empty categories are dropped before the fit, as the console program does", {
  study <- read_study(example_file("reader_a"))
  # An extra empty category between categories 2 and 3.
  gap <- study
  gap$labels <- c(study$labels[1:2], " 2.5            ", study$labels[3:5])
  gap$incorrect <- rbind(study$incorrect[1:2, ], 0L, study$incorrect[3:5, ])
  gap$correct <- rbind(study$correct[1:2, ], 0L, study$correct[3:5, ])
  fit <- lroc_fit(gap)
  expect_identical(nrow(fit$fitted$correct), 5L)
  expect_identical(fit$report, lroc_fit(study)$report)
})

test_that("a study can be given by its file name", {
  expect_identical(lroc_fit(example_file("reader_a"))$report,
                   lroc_fit(read_study(example_file("reader_a")))$report)
  expect_error(lroc_fit(42), "must be a study")
})

test_that("the stopping criterion reaches the iteration", {
  study <- read_study(example_file("reader_a"))
  loose <- lroc_fit(study)
  tight <- lroc_fit(study, criterion = 1e-7)
  expect_true(tight$converged)
  expect_lte(tight$stopping_index, 1e-7)
  expect_gt(tight$iterations, loose$iterations)
  expect_equal(coef(tight), coef(loose), tolerance = 1e-3)
  expect_error(lroc_fit(study, criterion = "small"), "'criterion'")
})

test_that("a study without target distributions fits its boundaries alone", {
  path <- write_data_file(c("LROCDATA", "OBSERVER: Z", "CONDITION: none", "REPLICATION: 1",
                            "NDIST: 0", "NCAT: 3", "NOLOC: 3", "Non-target distribution",
                            sprintf(" %-16s %s", 1:3, c("10", "20", "30"))))
  fit <- lroc_fit(path)
  expect_identical(names(coef(fit)), c("b1", "b2"))
  # The non-target distribution is N(0, 1): its boundaries are the normal
  # quantiles of the cumulative fractions 10/60 and 30/60.
  expect_equal(unname(coef(fit)), qnorm(c(10, 30) / 60), tolerance = 1e-4)
  expect_identical(nrow(fit$areas), 0L)
  expect_identical(dim(fit$curves$tp), c(300L, 0L))
  expect_match(report(fit), "NDIST: 0")
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_invisible(plot(fit))
})
