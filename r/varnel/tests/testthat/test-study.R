test_that("read_study gives the file's identifiers and counts", {
  study <- read_study(example_file("reader_a"))
  expect_s3_class(study, "varnel_study")
  expect_identical(trimws(c(study$observer, study$condition, study$replication)),
                   c("Reader A", "Baseline", "1"))
  expect_identical(study$noloc, 1L)
  expect_identical(dimnames(study$correct), list(as.character(1:5), c("non-target", "target 1")))
  # The table of examples/reader_a.lrc: the non-target counts (category 1
  # a single count, the others two, the second 0), then the target's missed
  # and hit counts (category 1 a total).
  expect_identical(unname(study$correct[, 1L]), c(40L, 0L, 0L, 0L, 0L))
  expect_identical(unname(study$incorrect[, 1L]), c(0L, 25L, 15L, 12L, 8L))
  expect_identical(unname(study$incorrect[, 2L]), c(0L, 6L, 5L, 3L, 1L))
  expect_identical(unname(study$correct[, 2L]), c(10L, 4L, 9L, 15L, 27L))
  expect_identical(trimws(study$labels), as.character(1:5))
  # CRLF and LF line ends read alike.
  expect_identical(read_study(example_file("reader_a_lf")), study)
})

test_that("a study prints its identifiers and its table", {
  printed <- capture.output(print(read_study(example_file("two_targets_chance"))))
  expect_identical(printed[1L], paste0("LROC rating data: observer \"Reader B\", condition ",
                                       "\"Two lesion sizes, 4 locations\", replication \"1\""))
  expect_identical(printed[2L], "2 target distributions, 6 rating categories, 1 without localization data")
  expect_match(printed[3L], "label non-target t1 missed t1 hit t2 missed t2 hit")
  expect_length(printed, 3L + 6L)
})
