# A small study: 3 readers, 2 modalities, 4 cases (2 without a target).
small_cases <- function() {
  g <- expand.grid(case = 1:4, modality = c("A", "B"), reader = c("r1", "r2", "r3"),
                   stringsAsFactors = FALSE)
  g$truth <- ifelse(g$case > 2, 1L, 0L)
  g$rating <- g$case + (g$reader == "r2") * 0.5
  g$localized <- ifelse(g$truth == 1, 1L, NA)
  g[c("reader", "modality", "case", "truth", "rating", "localized")]
}

expect_cases_error <- function(cases, message) {
  e <- tryCatch(study_bin(cases), varnel_error = function(e) e)
  expect_s3_class(e, "varnel_error")
  expect_identical(e$kind, "bad_input")
  expect_identical(conditionMessage(e), message)
}

test_that("faults of a data frame name the row and the column", {
  cases <- small_cases()
  expect_s3_class(study_bin(cases), "varnel_binning")
  bad <- cases
  bad$rating[7L] <- NA
  expect_cases_error(bad, "cases: row 7: rating \"\" is not a number")
  bad <- cases
  bad$rating <- as.character(bad$rating)
  bad$rating[3L] <- "abc"
  expect_cases_error(bad, "cases: row 3: rating \"abc\" is not a number")
  bad <- cases
  bad$rating[2L] <- Inf
  expect_cases_error(bad, "cases: row 2: rating \"inf\" is not a finite number")
  bad <- cases
  bad$truth[4L] <- 16
  expect_cases_error(bad, paste0("cases: row 4: truth \"16\" is not 0 (no target) or a ",
                                 "target class from 1 to 15"))
  bad <- cases
  bad$truth[9L] <- 1
  expect_cases_error(bad, paste0("cases: row 9: case \"1\" has truth 1 here but truth 0 on ",
                                 "row 1; a case has one truth in all its rows"))
  bad <- cases
  bad$localized[4L] <- 2
  expect_cases_error(bad, paste0("cases: row 4: localized \"2\" is not 1 (correct), 0 ",
                                 "(incorrect) or empty (not recorded)"))
  bad <- cases
  bad$reader[5L] <- NA
  expect_cases_error(bad, paste0("cases: row 5: empty reader name; every row needs a ",
                                 "reader, a modality and a case"))
  bad <- cases
  bad$modality <- factor(bad$modality)
  bad$modality[6L] <- NA
  expect_cases_error(bad, paste0("cases: row 6: empty modality name; every row needs a ",
                                 "reader, a modality and a case"))
  bad <- cases
  bad$case[10L] <- 1L
  expect_cases_error(bad, paste0("cases: row 10: reader \"r2\", modality \"A\", case \"1\" ",
                                 "is rated a second time (first on row 9); give one row per ",
                                 "reader, modality and case"))
  expect_cases_error(cases[0L, ], "cases: the columns hold no rows; give one row per rating")
})

test_that("missing, doubled and unusable columns", {
  cases <- small_cases()
  expect_cases_error(cases[names(cases) != "truth"],
                     paste0("cases: no \"truth\" column; the data frame needs the columns ",
                            "reader, modality, case, truth and rating and optionally localized"))
  doubled <- cbind(cases, cases["rating"])
  expect_cases_error(doubled, "cases: the column \"rating\" appears twice")
  listed <- cases
  listed$rating <- as.list(listed$rating)
  expect_cases_error(listed, paste0("cases: the column \"rating\" holds list values; ",
                                    "give numbers, texts or TRUE/FALSE"))
  # Other columns are ignored; without localized the study is ROC data:
  # every category without localization.
  cases$note <- "x"
  roc <- study_bin(cases[names(cases) != "localized"])
  expect_identical(roc$tables$noloc, rep(nrow(roc$categories), 6L))
})

test_that("identifiers and values of every type read as the CSV reader reads texts", {
  cases <- small_cases()
  base <- study_fit(cases, threads = 1)
  typed <- cases
  typed$reader <- factor(typed$reader, levels = c("r3", "r2", "r1"))
  typed$truth <- typed$truth == 1
  typed$localized <- typed$localized == 1
  typed$rating <- as.character(typed$rating)
  expect_identical(study_fit(typed, threads = 1), base)
  # Whole numbers as identifiers, without exponent.
  numbered <- cases
  numbered$case <- numbered$case * 1e5
  expect_identical(unique(study_compare(numbered, fom = "wilcoxon")$jackknife$case),
                   c("100000", "200000", "300000", "400000"))
  # Names in UTF-8 from another encoding.
  latin <- cases
  name <- "r\xe9"
  Encoding(name) <- "latin1"
  latin$reader[latin$reader == "r1"] <- name
  expect_identical(study_fit(latin, threads = 1)$reader[1L], "r\u00e9")
})

test_that("a CSV file's faults name the file and line", {
  path <- tempfile(fileext = ".csv")
  writeLines(c("reader,modality,case,truth,rating", "a,m,c1,0,1", "a,m,c2,1,x"), path)
  e <- tryCatch(study_compare(path, fom = "wilcoxon"), varnel_error = function(e) e)
  expect_identical(conditionMessage(e), paste0(path, ":3: rating \"x\" is not a number"))
  expect_error(study_compare(c(path, path), fom = "wilcoxon"), "'cases'")
})

test_that("column names match as the CSV reader matches them, values as it reads them", {
  cases <- small_cases()
  renamed <- cases
  names(renamed) <- c(" Reader", "MODALITY ", "Case", "\tTruth", "RATING", " Localized ")[
    match(names(cases), c("reader", "modality", "case", "truth", "rating", "localized"))]
  expect_identical(study_bin(renamed)$tables, study_bin(cases)$tables)
  # The CSV file of the same frame with those names reads alike.
  file <- tempfile(fileext = ".csv")
  utils::write.csv(renamed, file, row.names = FALSE, quote = FALSE, na = "")
  expect_identical(study_bin(file)$data_files, study_bin(renamed)$data_files)
  # Two columns that fold to one name are refused.
  twice <- cbind(cases, Rating = cases$rating)
  expect_cases_error(twice, "cases: the column \"rating\" appears twice")
  # Texts as the CSV reader takes them: 1.0/0.0, TRUE/FALSE, NA in any case.
  texts <- cases
  texts$truth <- ifelse(cases$truth == 1, "1.0", "0.0")
  texts$localized <- ifelse(is.na(cases$localized), "na",
                            ifelse(cases$localized == 1, "TRUE", "false"))
  expect_identical(study_bin(texts)$data_files, study_bin(cases)$data_files)
})
