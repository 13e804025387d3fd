# The Van Dyke study's components for the empirical AUC as the compare
# report prints them (README; K* = 114 cases).
vandyke_components <- list(var = 8.022883e-04, cov1 = 3.466137e-04, cov2 = 3.440748e-04,
                           cov3 = 2.390284e-04, var_tr = 2.004025e-04, pilot_cases = 114)

test_that("the Van Dyke sample size: 163 cases for 10 readers", {
  # Hillis, Obuchowski and Berbaum (2011): 80% power for the difference
  # 0.0438 with 10 readers, random readers and cases.
  n <- study_power(vandyke_components, readers = 10, power = 0.8, effect = 0.0438)
  rrrc <- n[n$analysis == "random_readers_random_cases", ]
  expect_identical(rrrc$cases, 163L)
  expect_gte(rrrc$power, 0.8)
  expect_true(rrrc$monotone)
  # One case fewer falls short.
  p <- study_power(vandyke_components, readers = 10, cases = 162:163, effect = 0.0438)
  p <- p[p$analysis == "random_readers_random_cases", ]
  expect_lt(p$power[1L], 0.8)
  expect_identical(p$power[2L], rrrc$power)
  expect_identical(names(n)[1:6], c("readers", "target_power", "max_cases", "cases", "monotone",
                                    "note"))
})

test_that("at the pilot's own size, lambda is the statistic its analysis observed", {
  cmp <- study_compare(extdata("vandyke_cases.csv"), fom = "wilcoxon")
  cv <- cmp$covariances
  # VarTR for planning: max(MS(TR) - Var + Cov1 + max(Cov2 - Cov3, 0), 0).
  var_tr <- max(cv$ms_tr - cv$var + cv$cov1 + max(cv$cov2 - cv$cov3, 0), 0)
  components <- list(var = cv$var, cov1 = cv$cov1, cov2 = cv$cov2, cov3 = cv$cov3,
                     var_tr = var_tr, modality_means = cmp$modality_covariances$mean,
                     pilot_cases = cmp$cases$cases)
  p <- study_power(components, readers = 5, cases = 114)
  expect_identical(p$case_ratio, rep(1, 3L))
  # The effect is the difference of the two modality means, first - second.
  expect_within(p$effect, rep(0.897037 - 0.940837, 3L), 1e-6)
  for (analysis in p$analysis) {
    observed <- cmp$tests[cmp$tests$analysis == analysis, ]
    predicted <- p[p$analysis == analysis, ]
    expect_equal(predicted$lambda, observed$statistic, tolerance = 1e-10, label = analysis)
    expect_equal(predicted$ddf, observed$ddf, tolerance = 1e-10, label = analysis)
  }
  # The sample size from the study's own components.
  n <- study_power(components, readers = 10, power = 0.8, effect = 0.0438)
  expect_identical(n$cases[n$analysis == "random_readers_random_cases"], 163L)
})

test_that("a reference reader's components, and a grid of plans", {
  reference <- c(var = 0.0047, cov2 = 0.0025, var_r = 0.002, pilot_cases = 100, mean_psi = 0.1)
  p <- study_power(reference, readers = c(4, 8), cases = c(100, 400))
  expect_identical(nrow(p), 8L)
  expect_identical(unique(p$analysis), c("reference_random_readers_random_cases",
                                         "reference_random_readers_fixed_cases"))
  expect_identical(p$readers, rep(c(4L, 8L), each = 4L))
  expect_identical(p$cases, rep(rep(c(100L, 400L), each = 2L), 2L))
  expect_identical(p$effect, rep(0.1, 8L))
  # More readers or cases never lower the power of the fixed-cases test at
  # these sizes, and more readers raise it.
  fc <- p[p$analysis == "reference_random_readers_fixed_cases", ]
  expect_true(all(fc$power[3:4] > fc$power[1:2]))
  expect_identical(p$reason, rep("", 8L))
})

test_that("analyses without a number say why", {
  # A one-reader pilot leaves Cov2, Cov3 and VarTR undefined.
  one <- list(var = 8e-4, cov1 = 3e-4, cov2 = NA, cov3 = NA, var_tr = NA, pilot_cases = 50)
  p <- study_power(one, readers = 5, cases = 100, effect = 0.05)
  rrrc <- p[p$analysis == "random_readers_random_cases", ]
  expect_true(is.nan(rrrc$power))
  expect_match(rrrc$reason, ".")
})

test_that("component and plan faults", {
  expect_power_error <- function(expr, pattern) {
    e <- tryCatch(expr, varnel_error = function(e) e)
    expect_s3_class(e, "varnel_error")
    expect_match(conditionMessage(e), pattern)
  }
  bad <- vandyke_components
  bad$var <- -1
  expect_power_error(study_power(bad, readers = 5, cases = 100, effect = 0.05), ".")
  expect_power_error(study_power(vandyke_components, readers = 1, cases = 100, effect = 0.05),
                     ".")
  # No effect: none given and no pilot means.
  expect_power_error(study_power(vandyke_components, readers = 5, cases = 100), ".")
  expect_error(study_power(vandyke_components, readers = 5), "'cases'")
  expect_error(study_power(vandyke_components[-1L], readers = 5, cases = 100), "lacks var")
  expect_error(study_power(c(vandyke_components, var_r = 1), readers = 5, cases = 100),
               "not both")
  expect_error(study_power(vandyke_components, readers = 5.5, cases = 100), "'readers'")
  expect_error(study_power(vandyke_components, readers = 5, power = c(0.8, 0.9)), "'power'")
})

# A text report without its line naming the pilot's file.
without_pilot_line <- function(text) sub("(^|\n)Pilot: [^,\n]*,", "\\1Pilot: ,", text)

expected_file <- function(name) {
  path <- test_path("expected", name)
  readChar(path, file.size(path), useBytes = TRUE)
}

test_that("power from a pilot equals the command's: 163 cases for the Van Dyke study", {
  p <- study_power(extdata("vandyke_cases.csv"), fom = "wilcoxon", readers = 10, power = 0.8,
                   effect = 0.0438)
  expect_s3_class(p, "varnel_power")
  expect_identical(p$cases[p$analysis == "random_readers_random_cases"], 163L)
  expect_identical(report(p, format = "csv")[[1L]], expected_file("vandyke_power.csv"))
  expect_identical(without_pilot_line(attr(p, "text")),
                   without_pilot_line(expected_file("vandyke_power.txt")))
  printed <- paste0(paste(capture.output(print(p)), collapse = "\n"), "\n")
  expect_identical(printed, attr(p, "text"))
  # The components and the table bit for bit as the JSON report has them.
  e <- expected_json("vandyke_power")
  comp <- attr(p, "components")
  for (k in c("var", "cov1", "cov2", "cov3", "var_tr")) {
    expect_identical(comp[[k]], json_value(e, paste0("components.", k)), label = k)
  }
  expect_identical(comp$modality_means, json_array(e, "components.modality_means"))
  s <- json_array(e, "smallest_cases")
  expect_identical(p$analysis, s$analysis)
  expect_identical(p$cases, as.integer(s$cases))
  for (k in c("power", "lambda", "ndf", "ddf", "critical_value", "denominator")) {
    expect_json_numbers(p[[k]], s[[paste0("power.", k)]], k)
  }
  # The same from the components study_compare gives, and from a data frame.
  from_components <- study_power(comp, readers = 10, power = 0.8, effect = 0.0438)
  expect_identical(as.data.frame(from_components), as.data.frame(p))
  expect_identical(as.data.frame(study_power(vandyke(), fom = "wilcoxon", readers = 10,
                                             power = 0.8, effect = 0.0438)), as.data.frame(p))
  # A subset is a plain data frame.
  expect_identical(class(p[1:2, ]), "data.frame")
})

test_that("a model-based pilot with a reference reader equals the command's", {
  given <- character()
  p <- withCallingHandlers(
    study_power(lroc_cases, fom = "model-alroc", reference = "R01", modality = "M2",
                readers = c(4, 8), cases = c(100, 200), threads = 2),
    warning = function(w) {
      given <<- c(given, conditionMessage(w))
      invokeRestart("muffleWarning")
    })
  # The pilot's fit warnings, as R warnings and as the attribute; the
  # command's JSON has the same.
  w <- attr(p, "warnings")
  expect_true(nrow(w) > 0L)
  expect_identical(given, w$message)
  expect_identical(w$kind, json_array(expected_json("lroc_cases_power_reference"),
                                      "pilot.warnings")$kind)
  expect_identical(nrow(attr(study_power(vandyke(), fom = "wilcoxon", readers = 10, cases = 100),
                             "warnings")), 0L)
  expect_identical(attr(p, "comparison"), "reference")
  expect_identical(attr(p, "pilot")$reference_modality, "M2")
  expect_identical(report(p, format = "csv")[[1L]], expected_file("lroc_cases_power_reference.csv"))
  expect_identical(without_pilot_line(attr(p, "text")),
                   without_pilot_line(expected_file("lroc_cases_power_reference.txt")))
  e <- expected_json("lroc_cases_power_reference")
  comp <- attr(p, "components")
  expect_identical(comp$var, json_value(e, "components.var_psi"))
  expect_identical(comp$var_r, json_value(e, "components.var_r_psi"))
  # The components are those of the comparison's reference analysis.
  cmp <- suppressWarnings(study_compare(lroc_cases, fom = "model-alroc", reference = "R01",
                                        threads = 2))
  r <- cmp$reference[cmp$reference$modality == "M2", ][1L, ]
  expect_identical(comp$var, r$var)
  expect_identical(comp$cov2, r$cov2)
  expect_identical(comp$mean_psi, r$estimate)
})

test_that("the power picture, plot and reports", {
  p <- study_power(vandyke_components, readers = c(5, 10), cases = c(100, 200), effect = 0.0438)
  svg <- attr(p, "pictures")
  expect_identical(names(svg), c("random_readers_random_cases", "fixed_readers_random_cases",
                                 "random_readers_fixed_cases"))
  file <- tempfile(fileext = ".svg")
  expect_identical(write_svg(p, file, analysis = "fixed_readers_random_cases"), file)
  expect_identical(readChar(file, file.size(file), useBytes = TRUE),
                   svg[["fixed_readers_random_cases"]])
  expect_match(svg[[1L]], "^<\\?xml[^\n]*\n<svg .*</svg>\n$")
  expect_error(write_svg(p, file, analysis = "none"), "'analysis'")
  json <- report(p, format = "json")
  expect_match(json, "\"comparison\": \"modalities\"")
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off(), add = TRUE)
  expect_identical(plot(p), p)
  n <- study_power(vandyke_components, readers = 10, power = 0.8, effect = 0.0438)
  expect_identical(plot(n, analysis = "random_readers_fixed_cases"), n)
  expect_error(plot(n, analysis = "none"), "'analysis'")
})

test_that("pilot and component arguments are not mixed", {
  expect_error(study_power(vandyke_components, readers = 5, cases = 100, effect = 0.05,
                           fom = "wilcoxon"), "'fom' goes with a pilot")
  expect_error(study_power(lroc_cases, readers = 5, cases = 100), "'fom'")
  expect_error(study_power(vandyke_components, readers = 5, cases = 100, effect = 0.05,
                           reference = "R1"), "'reference'")
  e <- tryCatch(study_power(lroc_cases, fom = "wilcoxon", readers = 5, cases = 100,
                            reference = "R01", modality = "M9"), varnel_error = function(e) e)
  expect_s3_class(e, "varnel_error")
  expect_match(conditionMessage(e), "M9")
})
