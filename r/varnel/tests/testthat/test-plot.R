test_that("observed operating points cumulate the counts from the highest category down", {
  fit <- fit_example("reader_a")
  # examples/reader_a.lrc: 100 non-target images (40 25 15 12 8 by
  # category), 80 target images (totals 10 10 14 18 28, of which correctly
  # localized 4 9 15 27 in categories 2 to 5; category 1 has no localization).
  roc <- varnel:::observed_points(fit, 1L)
  expect_equal(roc$fp, c(8, 20, 35, 60) / 100)
  expect_equal(roc$tp, c(28, 46, 60, 70) / 80)
  lroc <- varnel:::observed_points(fit, 1L, lroc = TRUE)
  expect_equal(lroc$fp, c(8, 20, 35, 60) / 100)
  expect_equal(lroc$tp, c(27, 42, 51, 55) / 80)
  # Without localization data there are no LROC points.
  expect_identical(nrow(varnel:::observed_points(fit_example("roc_only"), 1L, lroc = TRUE)), 0L)
  two <- lroc_fit(example_file("two_targets_chance"), chance = c(0.25, 1))
  expect_identical(nrow(varnel:::observed_points(two, 1L, lroc = TRUE)), 5L)
  expect_identical(nrow(varnel:::observed_points(two, 2L, lroc = TRUE)), 0L)
})

test_that("plot draws both panels and returns the fit", {
  fit <- fit_example("two_targets_chance")
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off())
  expect_invisible(out <- plot(fit))
  expect_identical(out, fit)
  # Both panels side by side, and the layout restored afterwards.
  expect_identical(graphics::par("mfrow"), c(1L, 1L))
  expect_silent(plot(fit, which = "lroc", main = "LROC"))
  expect_error(plot(fit, which = "both"), "should be one of")
  # The fitted curves run from (1, 1) to (0, 0).
  expect_identical(range(fit$curves$fp), c(0, 1))
  expect_identical(fit$curves$tp[c(1L, 300L), 1L], c(1, 0))
})

test_that("a comparison's pictures: the forest plot and the library's SVG files", {
  cmp <- study_compare(lroc_cases, fom = "wilcoxon", reference = "R01", margin = 0.05)
  expect_identical(names(cmp$pictures),
                   c("forest_target1.svg", "operating_points_target1_01_M1.svg",
                     "operating_points_target1_02_M2.svg"))
  for (svg in cmp$pictures) {
    expect_match(svg, "^<\\?xml[^\n]*\n<svg .*</svg>\n$")
    expect_identical(lengths(regmatches(svg, gregexpr("<text", svg))),
                     lengths(regmatches(svg, gregexpr("</text>", svg))))
  }
  dir <- file.path(tempfile(), "pictures")
  files <- write_svg(cmp, dir)
  expect_identical(sort(list.files(dir)), sort(names(cmp$pictures)))
  expect_identical(readChar(files[1L], file.size(files[1L]), useBytes = TRUE),
                   cmp$pictures[[1L]])
  grDevices::pdf(NULL)
  on.exit(grDevices::dev.off(), add = TRUE)
  expect_identical(plot(cmp), cmp)
  modalities <- study_compare(lroc_cases, fom = "wilcoxon")
  expect_identical(plot(modalities), modalities)
  expect_error(plot(cmp, target = 2), "'target'")
  expect_error(write_svg(cmp, c("a", "b")), "'path'")
})
