# The shipped examples, the answers the end-to-end tests give the console
# program for each (as lroc_fit arguments), and its expected files, which
# scripts/build-r-package copies in from tests/e2e/golden.
examples <- list(
  reader_a = list(),
  reader_a_lf = list(),
  roc_only = list(),
  two_categories = list(),
  ten_targets = list(),
  full_capacity = list(),
  two_targets_chance = list(chance = 0.25)
)

example_file <- function(name) system.file("extdata", paste0(name, ".lrc"), package = "varnel")

fit_example <- function(name) do.call(lroc_fit, c(list(example_file(name)), examples[[name]]))

golden <- function(name, ext = "report") {
  path <- test_path("golden", paste0(name, ".", ext))
  readChar(path, file.size(path), useBytes = TRUE)
}

# The numbers of a report line: the line is the first at or after line
# `from` whose text (leading blanks ignored) begins with `label`; its values
# are the blank-separated fields after the label.  Returns the values and the
# line's index, so that the next search can start below it.
report_row <- function(lines, label, from = 1L) {
  hits <- which(startsWith(trimws(lines, "left"), label))
  i <- hits[hits >= from][1L]
  if (is.na(i)) stop("no line ", label, " below line ", from)
  rest <- substring(trimws(lines[i], "left"), nchar(label) + 1L)
  fields <- strsplit(trimws(rest), "[[:space:]]+")[[1L]]
  list(values = suppressWarnings(as.numeric(fields)), line = i)
}

# One block of the report: the rows with the given labels, in order, below
# the block's heading.  Returns a named list of value vectors.
report_block <- function(lines, heading, labels) {
  at <- report_row(lines, heading)$line
  out <- list()
  for (k in seq_along(labels)) {
    row <- report_row(lines, labels[[k]], at + 1L)
    out[[names(labels)[k]]] <- row$values
    at <- row$line
  }
  out
}

# A value printed with `decimals` decimals equals x up to its rounding.
expect_printed <- function(x, printed, decimals) {
  expect_equal(length(x), length(printed))
  expect_true(all(abs(x - printed) <= 0.51 * 10^-decimals),
              label = paste(format(x), "printed as", format(printed), collapse = "; "))
}

# A data file of one target distribution and three categories with the
# given lines replaced (a named list: line number -> text), as text lines.
data_file <- function(replace = list()) {
  row <- function(label, counts) sprintf(" %-16s %s", label, counts)
  lines <- c("LROCDATA", "OBSERVER: A", "CONDITION: B", "REPLICATION: 1", "NDIST: 1", "NCAT: 3",
             "NOLOC: 1", "Non-target distribution", row("1", "20"), row("2", "15 0"),
             row("3", "5 0"), "Target distribution 1", row("1", "4"), row("2", "6 9"),
             row("3", "2 19"))
  for (k in names(replace)) lines[as.integer(k)] <- replace[[k]]
  lines
}

write_data_file <- function(lines) {
  path <- tempfile(fileext = ".lrc")
  writeLines(lines, path)
  path
}
