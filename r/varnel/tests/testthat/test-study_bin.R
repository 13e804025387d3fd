test_that("study_bin makes the command's tables and data files", {
  bins <- study_bin(lroc_cases)
  expect_s3_class(bins, "varnel_binning")
  expect_identical(bins$rule, "distinct_ratings")
  expect_identical(bins$categories$label, as.character(1:6))
  expect_identical(bins$categories$upper, c(1:5, Inf))
  # Every rating of the study falls into one category.
  expect_identical(sum(bins$categories$ratings), nrow(lroc_cases))
  expect_identical(bins$categories$ratings,
                   as.vector(table(factor(lroc_cases$rating, levels = 1:6))))
  expect_identical(dim(bins$studies), c(5L, 2L))
  expect_identical(dimnames(bins$studies),
                   list(reader = sprintf("R%02d", 1:5), modality = c("M1", "M2")))
  expect_identical(bins$tables$file, names(bins$data_files))
  expect_identical(bins$tables$file[c(1L, 10L)], c("01_R01_M1.lrc", "10_R05_M2.lrc"))
  # The data files the bin command writes, byte for byte.
  for (file in c("01_R01_M1.lrc", "10_R05_M2.lrc")) {
    path <- test_path("expected", "bin", file)
    expect_identical(bins$data_files[[file]], readChar(path, file.size(path), useBytes = TRUE))
  }
  # Each table is its data file read back (which keeps the blank after the
  # keywords' colons and the labels' padding).
  for (i in c(3L, 10L)) {
    path <- tempfile(fileext = ".lrc")
    writeChar(bins$data_files[[i]], path, eos = NULL)
    file <- read_study(path)
    table <- bins$studies[[bins$tables$reader[i], bins$tables$modality[i]]]
    expect_identical(trimws(c(file$observer, file$condition)), c(table$observer, table$condition))
    expect_identical(file[c("noloc", "incorrect", "correct")], table[c("noloc", "incorrect", "correct")])
  }
  # The counts per table: 50 ratings of cases without and 50 with a target.
  expect_identical(bins$tables$normal_ratings, rep(50L, 10L))
  expect_identical(bins$tables$target_ratings, rep(50L, 10L))
  # R03's lowest two categories hold target ratings without localization.
  expect_identical(bins$tables$noloc[bins$tables$reader == "R03"], c(2L, 2L))
  printed <- capture.output(print(bins))
  expect_match(printed[1L], "^cases: 5 readers, 2 modalities, 100 cases")
  expect_identical(paste0(paste(printed, collapse = "\n"), "\n"), bins$text)
})

test_that("cutpoints and quantile categories", {
  bins <- study_bin(lroc_cases, cutpoints = c(2, 4))
  expect_identical(bins$rule, "cutpoints")
  expect_identical(bins$categories$label, c("<=2", "(2,4]", ">4"))
  expect_identical(bins$categories$lower, c(-Inf, 2, 4))
  expect_identical(nrow(bins$studies[["R01", "M1"]]$correct), 3L)
  q <- study_bin(two_classes(), categories = 5)
  expect_identical(q$rule, "quantiles")
  # With unlocalized target ratings, category 1 is their group.
  expect_true(q$noloc_group)
  expect_identical(nrow(q$categories), 5L)
  expect_identical(ncol(q$studies[[1L, 1L]]$correct), 3L)
  e <- tryCatch(study_bin(lroc_cases, categories = 18), varnel_error = function(e) e)
  expect_match(conditionMessage(e), "categories 18")
})
