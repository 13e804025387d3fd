# The condition a call stops with, or NULL.
caught <- function(expr) tryCatch({
  expr
  NULL
}, varnel_error = function(e) e)

expect_varnel_error <- function(expr, kind, number, message) {
  e <- caught(expr)
  expect_s3_class(e, c("varnel_error", "error", "condition"))
  expect_identical(e$kind, kind)
  expect_identical(e$number, number)
  expect_identical(conditionMessage(e), message)
  expect_identical(e$status, if (kind == "numerical_stop") 2L else 1L)
  invisible(e)
}

test_that("data file faults carry the console program's number and text", {
  # The valid file first, so that each case below differs from it only in
  # the fault.
  expect_s3_class(read_study(write_data_file(data_file())), "varnel_study")
  cases <- list(
    list(number = 1L, lines = list("1" = "LROCDAT")),
    list(number = 2L, lines = list("2" = "OBSERVER A")),
    list(number = 3L, lines = list("3" = "CONDITON: B")),
    list(number = 5L, lines = list("5" = "NDISTS: 1")),
    list(number = 6L, lines = list("6" = "NCATS: 3")),
    list(number = 7L, lines = list("7" = "NOLOC: 4")),
    list(number = 8L, lines = list("10" = sprintf(" %-16s %s", "2", "-15 0"))),
    list(number = 8L, lines = list("15" = sprintf(" %-16s %s", "3", "19"))),
    list(number = 9L, lines = list("5" = "NDIST: 16")),
    list(number = 10L, lines = list("6" = "NCAT: 18"))
  )
  for (case in cases) {
    path <- write_data_file(data_file(case$lines))
    expect_varnel_error(read_study(path), "bad_data", case$number,
                        paste0("Input file has errors (", case$number, ")"))
    # lroc_fit reads a file name the same way.
    expect_varnel_error(lroc_fit(path), "bad_data", case$number,
                        paste0("Input file has errors (", case$number, ")"))
  }
})

test_that("files that cannot be opened or end early", {
  e <- expect_varnel_error(read_study(file.path(tempdir(), "no-such-file.lrc")), "open_failed", 0L,
                           "Error opening input file: No such file or directory")
  expect_s3_class(e, "error")
  expect_varnel_error(read_study(write_data_file(data_file()[1:12])), "read_failed", 0L,
                      "Error reading input file: unexpected end of file")
  expect_error(read_study(c("a", "b")), "one file name")
  expect_error(read_study(NA_character_), "one file name")
})

test_that("studies that cannot be fitted", {
  study <- read_study(write_data_file(data_file()))
  # Every image in one category.
  one <- study
  one$correct[] <- 0L
  one$incorrect[] <- 0L
  one$correct[2L, ] <- c(40L, 40L)
  expect_varnel_error(lroc_fit(one), "too_few_categories", 0L,
                      "There are less than two non-empty categories")
  # A second target distribution without cases.
  two <- study
  two$correct <- cbind(study$correct, 0L)
  two$incorrect <- cbind(study$incorrect, 0L)
  expect_varnel_error(lroc_fit(two), "empty_target", 2L, "Target distribution 2 has no cases")
  # Counts the data file reader would refuse.
  negative <- study
  negative$incorrect[2L, 2L] <- -1
  expect_varnel_error(lroc_fit(negative), "bad_data", 8L,
                      "Study has errors (8): target distribution 1, category 2: negative count")
  big <- study
  big$correct[3L, 1L] <- 3e9
  expect_varnel_error(lroc_fit(big), "bad_data", 8L,
                      "Study has errors (8): non-target distribution, category 3: count beyond 2,147,483,647")
  # Settings.
  expect_varnel_error(lroc_fit(study, chance = 1.5), "bad_settings", 1L,
                      "Chance value of target 1 must be 0.0 to 1.0")
  expect_varnel_error(lroc_fit(study, criterion = NaN), "bad_settings", 0L,
                      "The stopping criterion must be a number")
})

test_that("a broken study object is an argument error, not a library error", {
  study <- read_study(write_data_file(data_file()))
  broken <- study
  broken$correct <- broken$correct[-1L, ]
  expect_error(lroc_fit(broken), "not a valid varnel_study")
  e <- tryCatch(lroc_fit(broken), error = function(e) e)
  expect_false(inherits(e, "varnel_error"))
  fractional <- study
  fractional$correct[1L, 1L] <- 2.5
  expect_error(lroc_fit(fractional), "whole numbers")
  missing <- study
  missing$observer <- NULL
  expect_error(lroc_fit(missing), "not a valid varnel_study")
})
