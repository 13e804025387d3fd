# What varnel-study printed for the test studies (tests/testthat/expected,
# made by data-raw/make.sh): its text reports, its JSON reports flattened to
# "key<TAB>type<TAB>value" lines with numbers as hexadecimal floats (read
# back exactly), and its jackknife files with hexadecimal values.

extdata <- function(name) system.file("extdata", name, package = "varnel")

# The Van Dyke study as a data frame.
vandyke <- function() utils::read.csv(extdata("vandyke_cases.csv"), colClasses = "character")

# The two-class study of the tests, as a data frame and as its file.
two_classes_file <- function() test_path("data", "two_classes.csv")
two_classes <- function() utils::read.csv(two_classes_file(), colClasses = "character")

# A flattened JSON report: a named list of numbers, texts, TRUE/FALSE and
# NULL (JSON null: NaN or an infinite value).
expected_json <- function(name) {
  lines <- readLines(test_path("expected", paste0(name, ".tsv")), encoding = "UTF-8")
  fields <- strsplit(lines, "\t", fixed = TRUE)
  value <- function(f) {
    text <- if (length(f) > 2L) f[3L] else ""
    switch(f[2L], n = as.numeric(text), s = text, b = text == "true", null = NULL)
  }
  stats::setNames(lapply(fields, value), vapply(fields, `[`, "", 1L))
}

# The entries below `prefix` ("analyses.0"), keys without it.
json_at <- function(values, prefix) {
  hit <- startsWith(names(values), paste0(prefix, "."))
  stats::setNames(values[hit], substring(names(values)[hit], nchar(prefix) + 2L))
}

# One entry; a number stands for NA where the JSON has null.
json_value <- function(values, key) {
  if (!key %in% names(values)) stop("no ", key, " in the expected report")
  v <- values[[key]]
  if (is.null(v)) NA_real_ else v
}

# An array below `prefix`: a vector of its scalar entries (JSON arrays of
# numbers or texts), or for an array of objects a data frame with a column
# per key of the objects ("differences.0.first" gives column "first").
json_array <- function(values, prefix) {
  v <- json_at(values, prefix)
  index <- as.integer(sub("\\..*$", "", names(v)))
  field <- ifelse(grepl(".", names(v), fixed = TRUE), sub("^[0-9]+\\.", "", names(v)), "")
  n <- if (length(index) > 0L) max(index) + 1L else 0L
  column <- function(f) {
    hit <- field == f
    x <- vector("list", n)
    x[index[hit] + 1L] <- v[hit]
    texts <- vapply(x, is.character, NA)
    if (any(texts)) return(vapply(x, function(e) if (is.null(e)) NA_character_ else e, ""))
    if (any(vapply(x, is.logical, NA))) return(vapply(x, function(e) if (is.null(e)) NA else e, NA))
    vapply(x, function(e) if (is.null(e)) NA_real_ else e, 0)
  }
  fields <- unique(field)
  if (identical(fields, "")) return(column(""))
  data.frame(stats::setNames(lapply(fields, column), fields), check.names = FALSE,
             stringsAsFactors = FALSE)
}

# R's numbers against the JSON's: equal bit for bit, and where the JSON has
# null (NA here), NaN or infinite.
expect_json_numbers <- function(actual, expected, label = "") {
  actual <- unname(actual)
  expected <- unname(expected)
  expect_identical(length(actual), length(expected), label = label)
  expect_identical(is.na(expected), !is.finite(actual), label = label)
  expect_identical(actual[!is.na(expected)], expected[!is.na(expected)], label = label)
}

# Numbers equal to published figures up to their rounding: within
# `tolerance` (half a unit of the last printed digit).
expect_within <- function(actual, expected, tolerance) {
  expect_identical(length(actual), length(expected))
  expect_true(all(abs(actual - expected) <= tolerance),
              label = paste(format(actual, digits = 10), "against", format(expected),
                            collapse = "; "))
}

# A jackknife file: target (when the study has several target classes),
# reader, modality, case, value.
expected_jackknife <- function(name) {
  path <- test_path("expected", paste0(name, "_jackknife.csv"))
  jk <- utils::read.csv(path, colClasses = "character", encoding = "UTF-8")
  jk$value <- as.numeric(jk$value)
  if (!is.null(jk$target)) jk$target <- as.integer(jk$target)
  jk
}

# A text report with its lines "MRMC comparison of SOURCE" left out (the
# report's first, and the empirical counterpart's): the source is the file's
# name for the command, "cases" or a path here.
report_body <- function(text) gsub("(^|\n)MRMC comparison of [^\n]*\n", "\\1", text)

expected_text <- function(name) {
  path <- test_path("expected", paste0(name, ".txt"))
  readChar(path, file.size(path), useBytes = TRUE)
}

# Every table of a study_compare result against the command's JSON report
# and text report of the same study and options, and a jackknife file.
expect_compare_matches <- function(cmp, name, jackknife = name) {
  e <- expected_json(name)
  expect_compare_json(cmp, e, name)
  expect_fits_json(cmp, json_at(e, "model_fits"), name)

  jk <- expected_jackknife(jackknife)
  got <- cmp$jackknife
  if (is.null(jk$target)) {
    expect_true(all(got$target == got$target[1L]))
  } else {
    expect_identical(got$target, jk$target)
  }
  expect_identical(got$reader, jk$reader)
  expect_identical(got$modality, jk$modality)
  expect_identical(got$case, jk$case)
  expect_identical(got$value, jk$value)

  expect_identical(report_body(cmp$text), report_body(expected_text(name)))
}

# The non-inferiority columns of rows (ni_...) against the JSON's objects
# below "non_inferiority" (columns "non_inferiority.bound", ... of a
# json_array, or the entries of one analysis), NA without a margin.
expect_ni_json <- function(rows, get, margin, label) {
  for (k in c("bound", "t", "p", "confidence_bound")) {
    actual <- rows[[paste0("ni_", k)]]
    if (is.null(margin)) {
      expect_true(all(is.na(actual)), label = paste(label, k))
    } else {
      expect_json_numbers(actual, get(paste0("non_inferiority.", k)), paste(label, "ni", k))
    }
  }
  expect_identical(rows$ni_rejected,
                   if (is.null(margin)) rep(NA, nrow(rows)) else get("non_inferiority.rejected"),
                   label = paste(label, "ni rejected"))
}

# The analyses of a study_compare result against the entries of a JSON
# report (`e`, keys from "source" and "analyses" down).
expect_compare_json <- function(cmp, e, name) {
  expect_identical(cmp$alpha, json_value(e, "alpha"))
  expect_identical(cmp$fom, json_value(e, "fom"))
  margin <- if (is.null(e[["margin"]])) NULL else json_value(e, "margin")
  expect_identical(cmp$margin, margin)
  analyses <- unique(as.integer(sub("^analyses\\.([0-9]+)\\..*$", "\\1",
                                    grep("^analyses\\.", names(e), value = TRUE))))
  expect_identical(nrow(cmp$cases), length(analyses))
  for (a in analyses) {
    at <- json_at(e, paste0("analyses.", a))
    target <- json_value(at, "target_class")
    label <- paste0(name, ", target class ", target)
    readers <- json_array(at, "readers")
    modalities <- json_array(at, "modalities")
    cases <- cmp$cases[cmp$cases$target == target, ]
    expect_identical(c(cases$cases, cases$normal_cases, cases$target_cases),
                     as.integer(c(json_value(at, "cases.total"), json_value(at, "cases.normal"),
                                  json_value(at, "cases.target"))), label = label)
    foms <- cmp$foms[cmp$foms$target == target, ]
    expect_identical(foms$reader, rep(readers, each = length(modalities)), label = label)
    expect_identical(foms$modality, rep(modalities, times = length(readers)), label = label)
    table <- unlist(lapply(seq_along(readers) - 1L, function(r) {
      json_array(at, paste0("fom_table.", r))
    }))
    expect_json_numbers(foms$fom, table, label)
    ef <- json_array(at, "foms")
    expect_identical(paste(foms$reader, foms$modality), paste(ef$reader, ef$modality),
                     label = label)
    for (k in c("std_error", "lower", "upper")) {
      expect_json_numbers(foms[[k]], ef[[k]], paste(label, "FOM", k))
    }

    mc <- json_at(at, "modality_comparison")
    covariances <- cmp$covariances[cmp$covariances$target == target, ]
    if (length(mc) == 0L) {
      expect_identical(nrow(covariances), 0L, label = label)
    } else {
      expect_identical(covariances$readers, length(json_array(mc, "readers")), label = label)
      expect_json_numbers(
        unlist(covariances[c("var", "cov1", "cov2", "cov3", "ms_t", "ms_r", "ms_tr", "var_r",
                             "var_tr")], use.names = FALSE),
        vapply(c("covariances.var", "covariances.cov1", "covariances.cov2", "covariances.cov3",
                 "mean_squares.t", "mean_squares.r", "mean_squares.tr",
                 "variance_components.reader", "variance_components.modality_reader"),
               function(k) json_value(mc, k), 0), label)
      within <- cmp$modality_covariances[cmp$modality_covariances$target == target, ]
      expected_within <- json_array(mc, "modality_covariances")
      expect_identical(within$modality, modalities, label = label)
      expect_json_numbers(within$mean, json_array(mc, "modality_means"), label)
      expect_json_numbers(within$var, expected_within$var, label)
      expect_json_numbers(within$cov2, expected_within$cov2, label)
      expect_json_numbers(within$ms_r, json_array(mc, "modality_ms_r"), label)
      for (analysis in c("random_readers_random_cases", "fixed_readers_random_cases",
                         "random_readers_fixed_cases")) {
        x <- json_at(mc, analysis)
        l <- paste(label, analysis)
        test <- cmp$tests[cmp$tests$target == target & cmp$tests$analysis == analysis, ]
        expect_identical(test$statistic_name, json_value(x, "statistic_name"), label = l)
        expect_json_numbers(c(test$statistic, test$ndf, test$ddf, test$p),
                            c(json_value(x, "statistic"), json_value(x, "ndf"),
                              json_value(x, "ddf"), json_value(x, "p")), l)
        d <- cmp$differences[cmp$differences$target == target &
                               cmp$differences$analysis == analysis, ]
        ed <- json_array(x, "differences")
        expect_identical(c(d$first, d$second), c(ed$first, ed$second), label = l)
        for (k in c("estimate", "std_error", "df", "t", "p", "lower", "upper")) {
          expect_json_numbers(d[[k]], ed[[k]], paste(l, k))
        }
        # Holm over the pairs with three or more modalities, else NaN.
        if (length(modalities) >= 3L) {
          expect_json_numbers(d$p_holm, ed$p_holm, paste(l, "p_holm"))
        } else {
          expect_true(all(is.nan(d$p_holm)), label = paste(l, "p_holm"))
        }
        expect_ni_json(d, function(k) ed[[k]], margin, l)
        if (!is.null(margin) && length(modalities) >= 3L) {
          expect_json_numbers(d$ni_p_holm, ed[["non_inferiority.p_holm"]], paste(l, "ni p_holm"))
        }
        m <- cmp$modality_means[cmp$modality_means$target == target &
                                  cmp$modality_means$analysis == analysis, ]
        em <- json_array(x, "means")
        expect_identical(m$modality, em$modality, label = l)
        for (k in c("estimate", "std_error", "df", "lower", "upper")) {
          expect_json_numbers(m[[k]], em[[k]], paste(l, k))
        }
      }
    }

    ref <- json_at(at, "reference_analyses")
    rows <- cmp$reference[cmp$reference$target == target, ]
    psi <- cmp$psi[cmp$psi$target == target, ]
    count <- if (length(ref) > 0L) max(as.integer(sub("\\..*$", "", names(ref)))) + 1L else 0L
    expect_identical(nrow(rows), 2L * count, label = label)
    for (j in seq_len(count) - 1L) {
      x <- json_at(ref, as.character(j))
      modality <- json_value(x, "modality")
      l <- paste(label, "reference analysis in", modality)
      r <- rows[rows$modality == modality, ]
      expect_identical(r$reference, rep(json_value(x, "reference"), 2L), label = l)
      expect_identical(r$readers, rep(length(json_array(x, "readers")), 2L), label = l)
      for (k in c("reference_fom", "readers_mean", "ms_r", "var", "cov2", "ms_den")) {
        expect_json_numbers(r[[k]], rep(json_value(x, k), 2L), paste(l, k))
      }
      for (k in c("std_error", "lower", "upper")) {
        expect_json_numbers(r[[paste0("reference_", k)]],
                            rep(json_value(x, paste0("reference_estimate.", k)), 2L), paste(l, k))
      }
      for (k in c("std_error", "df", "lower", "upper")) {
        expect_json_numbers(r[[paste0("readers_mean_", k)]],
                            rep(json_value(x, paste0("readers_mean_estimate.", k)), 2L),
                            paste(l, k))
      }
      for (analysis in c("random_readers_random_cases", "random_readers_fixed_cases")) {
        one <- r[r$analysis == analysis, ]
        expect_json_numbers(
          unlist(one[c("estimate", "std_error", "df", "t", "p", "lower", "upper")],
                 use.names = FALSE),
          vapply(c("estimate", "std_error", "df", "t", "p", "lower", "upper"),
                 function(k) json_value(x, paste0(analysis, ".", k)), 0), paste(l, analysis))
        expect_ni_json(one, function(k) json_value(x, paste0(analysis, ".", k)), margin,
                       paste(l, analysis))
      }
      p <- psi[psi$modality == modality, ]
      expect_identical(p$reader, json_array(x, "readers"), label = l)
      expect_json_numbers(p$psi, json_array(x, "psi"), paste(l, "psi"))
      expect_identical(p$fom, foms$fom[foms$modality == modality & foms$reader %in% p$reader],
                       label = l)
      rd <- json_array(x, "reader_differences")
      expect_identical(p$reader, rd$reader, label = l)
      expect_json_numbers(p$psi, rd$estimate, paste(l, "psi"))
      for (k in c("std_error", "df", "t", "p", "p_holm", "lower", "upper")) {
        expect_json_numbers(p[[k]], rd[[k]], paste(l, "psi", k))
      }
    }
  }
}

# The fits of a model-based comparison, its warnings and its empirical
# counterpart against the JSON report's "model_fits" entries (`e`, keys
# without the prefix; empty for an empirical FOM).
expect_fits_json <- function(cmp, e, name) {
  if (length(e) == 0L) {
    expect_identical(nrow(cmp$fits), 0L, label = name)
    expect_identical(nrow(cmp$warnings), 0L, label = name)
    expect_null(cmp$empirical)
    expect_null(cmp$localization)
    return(invisible())
  }
  expect_identical(cmp$localization, json_value(e, "localization"))
  classes <- unique(as.integer(sub("^classes\\.([0-9]+)\\..*$", "\\1",
                                   grep("^classes\\.", names(e), value = TRUE))))
  expect_identical(sort(unique(cmp$fits$target)),
                   vapply(classes, function(i) as.integer(json_value(e, paste0("classes.", i,
                                                                              ".target_class"))),
                          0L))
  for (i in classes) {
    target <- json_value(e, paste0("classes.", i, ".target_class"))
    label <- paste0(name, " fits, target class ", target)
    fits <- cmp$fits[cmp$fits$target == target, ]
    tables <- json_array(e, paste0("classes.", i, ".tables"))
    expect_identical(nrow(fits), nrow(tables), label = label)
    expect_identical(fits$empirical_fom,
                     rep(json_value(e, paste0("classes.", i, ".empirical_fom")), nrow(fits)),
                     label = label)
    for (k in names(tables)) {
      if (is.numeric(fits[[k]])) {
        expect_json_numbers(as.double(fits[[k]]), tables[[k]], paste(label, k))
      } else {
        expect_identical(fits[[k]], tables[[k]], label = paste(label, k))
      }
    }
  }
  w <- json_array(e, "warnings")
  expect_identical(cmp$warnings$kind, if (length(w)) w$kind else character(), label = name)
  expect_identical(cmp$warnings$message, if (length(w)) w$message else character(),
                   label = name)
  if (json_value(e, "binning_scope") == "reader") {
    expect_null(cmp$binning)
    b <- json_array(e, "binning")
    expect_identical(names(cmp$reader_binnings), b$reader, label = name)
    for (i in seq_along(b$reader)) {
      expect_identical(cmp$reader_binnings[[i]]$upper,
                       json_array(e, paste0("binning.", i - 1L, ".upper_bounds")), label = name)
    }
  } else {
    expect_null(cmp$reader_binnings)
    expect_identical(cmp$binning$upper, json_array(e, "binning.upper_bounds"), label = name)
  }
  empirical <- json_at(e, "empirical_analysis")
  if (length(empirical) == 0L) {
    expect_null(cmp$empirical)
  } else {
    expect_s3_class(cmp$empirical, "varnel_compare")
    expect_compare_json(cmp$empirical, empirical, paste(name, "empirical"))
  }
}

# A study_fit result against the command's JSON results table: the same
# columns in the same order, texts and numbers equal bit for bit, null where
# R has NA (not given) or NaN.
expect_fit_matches <- function(fits, name) {
  e <- expected_json(name)
  rows <- json_array(e, "results")
  expect_identical(names(fits), names(rows))
  expect_identical(nrow(fits), nrow(rows))
  for (k in names(fits)) {
    if (is.numeric(fits[[k]])) {
      expect_json_numbers(as.double(fits[[k]]), rows[[k]], paste(name, k))
    } else {
      expect_identical(fits[[k]], rows[[k]], label = paste(name, k))
    }
  }
  settings <- attr(fits, "settings")
  expect_identical(settings$criterion, json_value(e, "criterion"))
  expect_identical(settings$chance, json_array(e, "chance"))
  expect_identical(settings$noloc, as.integer(json_value(e, "noloc")))
  # The study's categories, or each reader's own (binning "reader").
  readers <- json_array(e, "reader_binnings")
  if (length(readers) == 0L) {
    binning <- attr(fits, "binning")
    expect_identical(binning$upper, json_array(e, "binning.upper_bounds"))
    expect_identical(binning$labels, json_array(e, "binning.labels"))
    expect_null(attr(fits, "reader_binnings"))
  } else {
    expect_null(attr(fits, "binning"))
    expect_identical(names(attr(fits, "reader_binnings")), readers$reader)
    for (i in seq_along(readers$reader)) {
      b <- attr(fits, "reader_binnings")[[i]]
      expect_identical(b$upper, json_array(e, paste0("reader_binnings.", i - 1L, ".upper_bounds")))
      expect_identical(b$labels, json_array(e, paste0("reader_binnings.", i - 1L, ".labels")))
    }
  }
}

# Threads of this process (Linux).
thread_count <- function() length(list.files("/proc/self/task"))
