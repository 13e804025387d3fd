# A study whose model-based comparison takes some seconds: 20 readers, 2
# modalities, 100 normal cases and 100 of each of 3 target classes,
# continuous ratings in 17 categories (about 9,000 distinct refits).
long_study <- function() {
  set.seed(11)
  classes <- 3L
  n <- 100L * (classes + 1L)
  truth <- rep(0:classes, each = 100L)
  g <- expand.grid(case = seq_len(n), modality = 1:2, reader = 1:20)
  t <- truth[g$case]
  data.frame(reader = sprintf("R%02d", g$reader), modality = paste0("M", g$modality),
             case = sprintf("C%04d", g$case), truth = t,
             rating = stats::rnorm(nrow(g), ifelse(t > 0, 0.5 + 0.5 * t, 0)),
             localized = ifelse(t > 0, as.integer(stats::runif(nrow(g)) < 0.7), NA))
}

long_compare <- function(cases) {
  study_compare(cases, fom = "model-alroc", categories = 17, threads = 2)
}

test_that("an elapsed time limit stops a long call between fits, its threads ended", {
  skip_if_not(dir.exists("/proc/self/task"), "threads are counted in /proc/self/task")
  cases <- long_study()
  before <- thread_count()
  # R checks the limit where it checks for Ctrl-C: in the progress callback.
  setTimeLimit(elapsed = 0.5, transient = TRUE)
  on.exit(setTimeLimit(), add = TRUE)
  e <- tryCatch(long_compare(cases), error = function(e) e)
  setTimeLimit()
  expect_s3_class(e, "error")
  expect_false(inherits(e, "varnel_error"))
  expect_match(conditionMessage(e), "time limit")
  expect_identical(thread_count(), before)
  # The package works on afterwards.
  expect_s3_class(suppressWarnings(study_compare(lroc_cases, fom = "model-auc", threads = 2)),
                  "varnel_compare")
})

test_that("an interrupt (SIGINT, as Ctrl-C sends) stops a long call, its threads ended", {
  skip_on_os("windows")
  skip_if_not(dir.exists("/proc/self/task"), "threads are counted in /proc/self/task")
  cases <- long_study()
  before <- thread_count()
  system(sprintf("sh -c 'sleep 0.5; kill -INT %d' > /dev/null 2>&1 &", Sys.getpid()))
  handled <- "no"
  # A calling handler runs where R signals the interrupt (on this thread,
  # while the fits run); the exiting one after the threads have ended.
  result <- tryCatch(
    withCallingHandlers(long_compare(cases), interrupt = function(e) handled <<- "yes"),
    interrupt = function(e) "interrupted"
  )
  expect_identical(result, "interrupted")
  expect_identical(handled, "yes")
  expect_identical(thread_count(), before)
  expect_s3_class(study_fit(lroc_cases, threads = 2), "data.frame")
})
