#' Plot a comparison: a forest plot
#'
#' Draws, in base graphics, each reader's FOM per modality with its interval
#' (case jackknife, normal theory) and the readers' average per modality
#' (random readers and cases); beside it, with a reference reader, each
#' reader's psi (reader FOM minus the reference's) with its interval and
#' their mean, or with two or more modalities the modality differences of
#' the random readers and cases analysis, with the margin's line when one
#' was given.  The library's own SVG pictures are written by [write_svg()].
#'
#' @param x A comparison from [study_compare()].
#' @param target The target class to show (by default the first analysed).
#' @param col Colours of the modalities (recycled); by default the palette's
#'   colours 2, 3, ...
#' @param ... Further graphical parameters for [graphics::plot.default()].
#' @return `x`, invisibly.
#' @export
#' @examples
#' cmp <- study_compare(lroc_cases, fom = "wilcoxon", reference = "R01", margin = 0.05)
#' plot(cmp)
plot.varnel_compare <- function(x, target = NULL, col = NULL, ...) {
  if (is.null(target)) target <- x$cases$target[1L]
  if (!target %in% x$cases$target) {
    stop("'target' must be one of the analysed target classes: ",
         paste(x$cases$target, collapse = ", "), call. = FALSE)
  }
  foms <- x$foms[x$foms$target == target, ]
  modalities <- unique(foms$modality)
  col <- rep_len(if (is.null(col)) seq_along(modalities) + 1L else col, length(modalities))
  # Left: the FOMs, one row per reader and modality, then the averages.
  rows <- data.frame(label = paste(foms$reader, foms$modality), estimate = foms$fom,
                     lower = foms$lower, upper = foms$upper,
                     colour = col[match(foms$modality, modalities)], mean = FALSE,
                     stringsAsFactors = FALSE)
  means <- x$modality_means[x$modality_means$target == target &
                              x$modality_means$analysis == "random_readers_random_cases", ]
  if (nrow(means) > 0L) {
    rows <- rbind(rows, data.frame(label = paste("Mean", means$modality), estimate = means$estimate,
                                   lower = means$lower, upper = means$upper,
                                   colour = col[match(means$modality, modalities)],
                                   mean = TRUE, stringsAsFactors = FALSE))
  }
  ref <- x$reference[x$reference$target == target &
                       x$reference$analysis == "random_readers_random_cases", ]
  if (nrow(ref) > 0L) {
    rows <- rbind(rows, data.frame(label = paste("Mean", ref$modality), estimate = ref$readers_mean,
                                   lower = ref$readers_mean_lower, upper = ref$readers_mean_upper,
                                   colour = col[match(ref$modality, modalities)],
                                   mean = TRUE, stringsAsFactors = FALSE))
  }
  # Right: psi against the reference, or the modality differences.
  right <- NULL
  if (nrow(ref) > 0L) {
    psi <- x$psi[x$psi$target == target, ]
    right <- data.frame(label = paste(psi$reader, psi$modality), estimate = psi$psi,
                        lower = psi$lower, upper = psi$upper,
                        colour = col[match(psi$modality, modalities)], mean = FALSE,
                        stringsAsFactors = FALSE)
    right <- rbind(right, data.frame(label = paste("Mean psi", ref$modality),
                                     estimate = ref$estimate, lower = ref$lower, upper = ref$upper,
                                     colour = col[match(ref$modality, modalities)], mean = TRUE,
                                     stringsAsFactors = FALSE))
    right_title <- paste("psi against", ref$reference[1L])
  } else {
    d <- x$differences[x$differences$target == target &
                         x$differences$analysis == "random_readers_random_cases", ]
    if (nrow(d) > 0L) {
      right <- data.frame(label = paste(d$first, "-", d$second), estimate = d$estimate,
                          lower = d$lower, upper = d$upper, colour = "black", mean = TRUE,
                          stringsAsFactors = FALSE)
      right_title <- "Modality differences"
    }
  }
  if (!is.null(right)) {
    old <- graphics::par(mfrow = c(1L, 2L))
    on.exit(graphics::par(old))
  }
  forest_panel(rows, paste0(x$fom, ", target class ", target), x$fom, NA, NULL, ...)
  if (!is.null(right)) {
    forest_panel(right, right_title, "Difference", 0, if (is.null(x$margin)) NULL
                 else if (nrow(ref) > 0L) x$margin else -x$margin, ...)
  }
  invisible(x)
}

# One panel of a forest plot: a row per estimate with its interval, the
# first at the top, averages as diamonds; a dotted line at `zero` and a dashed one at `margin`.
forest_panel <- function(rows, main, xlab, zero, margin, ...) {
  n <- nrow(rows)
  y <- rev(seq_len(n))
  range <- range(c(rows$lower, rows$upper, rows$estimate, zero, margin), finite = TRUE,
                 na.rm = TRUE)
  old <- graphics::par(mar = c(4.1, max(4.1, 0.55 * max(nchar(rows$label)) + 1), 3.1, 1.1))
  on.exit(graphics::par(old))
  graphics::plot(NA, xlim = range, ylim = c(0.5, n + 0.5), yaxt = "n", ylab = "", xlab = xlab,
                 main = main, ...)
  graphics::axis(2, at = y, labels = rows$label, las = 1, cex.axis = 0.8)
  if (!is.na(zero)) graphics::abline(v = zero, lty = 3)
  if (!is.null(margin)) graphics::abline(v = margin, lty = 2)
  graphics::segments(rows$lower, y, rows$upper, y, col = rows$colour)
  graphics::points(rows$estimate, y, pch = ifelse(rows$mean, 18, 16), col = rows$colour)
}

#' Plot power against cases
#'
#' Draws, in base graphics, the power of one analysis against the number of
#' cases, one line per planned number of readers, with marks at the planned
#' numbers of cases (or at the smallest number found) and the target power
#' dashed.  The library's own SVG picture is written by [write_svg()].
#'
#' @param x A result of [study_power()].
#' @param analysis The analysis (`x$analysis`); by default random readers and
#'   cases.
#' @param col Colours of the reader counts (recycled).
#' @param ... Further graphical parameters for [graphics::plot.default()].
#' @return `x`, invisibly.
#' @export
#' @examples
#' vandyke <- list(var = 8.022883e-04, cov1 = 3.466137e-04, cov2 = 3.440748e-04,
#'                 cov3 = 2.390284e-04, var_tr = 2.004025e-04, pilot_cases = 114)
#' plot(study_power(vandyke, readers = c(5, 10), power = 0.8, effect = 0.0438))
plot.varnel_power <- function(x, analysis = NULL, col = NULL, ...) {
  table <- as.data.frame(x)
  if (is.null(analysis)) analysis <- table$analysis[1L]
  if (!analysis %in% table$analysis) {
    stop("'analysis' must be one of ", paste(unique(table$analysis), collapse = ", "),
         call. = FALSE)
  }
  rows <- table[table$analysis == analysis, ]
  readers <- unique(rows$readers)
  col <- rep_len(if (is.null(col)) seq_along(readers) + 1L else col, length(readers))
  target <- if (is.null(rows$target_power)) NA_real_ else rows$target_power[1L]
  marked <- rows$cases[!is.na(rows$cases)]
  hi <- if (is.na(target)) max(rows$cases) else if (length(marked) > 0L) ceiling(1.5 * max(marked))
        else 200
  lo <- if (is.na(target)) min(rows$cases) else 2L
  if (lo == hi) {
    lo <- max(2L, lo %/% 2L)
    hi <- 2L * hi
  }
  grid <- unique(round(seq(lo, hi, length.out = 80L)))
  # The curves from the components the result used, with its plan.
  comp <- attr(x, "components")
  effect <- if (isTRUE(attr(x, "effect_from_pilot"))) NULL else attr(x, "effect")
  modalities <- if (attr(x, "comparison") == "modalities") attr(x, "modalities")
  curves <- as.data.frame(study_power(comp, readers = readers, cases = grid, effect = effect,
                                      alpha = attr(x, "alpha"), modalities = modalities))
  curves <- curves[curves$analysis == analysis, ]
  graphics::plot(NA, xlim = c(lo, hi), ylim = c(0, 1), xlab = "Cases", ylab = "Power",
                 main = gsub("_", " ", analysis), ...)
  if (!is.na(target)) graphics::abline(h = target, lty = 2)
  for (j in seq_along(readers)) {
    k <- curves$readers == readers[j]
    graphics::lines(curves$cases[k], curves$power[k], col = col[j])
    m <- rows$readers == readers[j] & !is.na(rows$cases)
    graphics::points(rows$cases[m], rows$power[m], col = col[j], pch = 16)
  }
  graphics::legend("bottomright", legend = paste(readers, "readers"), col = col, lty = 1,
                   bty = "n")
  invisible(x)
}

#' Write the library's SVG pictures
#'
#' The pictures `varnel-study` draws, as SVG files: for a comparison, per
#' analysed target class t `forest_target<t>.svg` (each reader's FOM with its
#' interval, the averages, psi against a reference reader, the modality
#' differences, the margin) and per modality
#' `operating_points_target<t>_<NN>_<modality>.svg` (the readers' operating
#' points and, for a model-based FOM, the fitted curves), as its `--plot`
#' option writes them into a folder; for a power result, power against cases
#' of one analysis, as its `--plot` option draws it.  The texts are also in
#' the results (`x$pictures`, `attr(x, "pictures")`).
#'
#' @param x A comparison from [study_compare()] or a result of
#'   [study_power()].
#' @param path For a comparison, the folder to write into (made if missing;
#'   files of the same names are replaced); for a power result, the file.
#' @param analysis For a power result: the analysis (by default random
#'   readers and cases, or the reference reader's).
#' @param ... Ignored.
#' @return The paths of the files written, invisibly.
#' @export
#' @examples
#' cmp <- study_compare(lroc_cases, fom = "wilcoxon", reference = "R01")
#' dir <- file.path(tempdir(), "pictures")
#' write_svg(cmp, dir)
#' list.files(dir)
write_svg <- function(x, path, ...) UseMethod("write_svg")

#' @rdname write_svg
#' @export
write_svg.varnel_compare <- function(x, path, ...) {
  one_path(path)
  if (!dir.exists(path) && !dir.create(path, recursive = TRUE)) {
    stop("the folder ", path, " cannot be made", call. = FALSE)
  }
  files <- file.path(path, names(x$pictures))
  for (i in seq_along(files)) {
    write_text(x$pictures[[i]], files[i])
  }
  invisible(files)
}

#' @rdname write_svg
#' @export
write_svg.varnel_power <- function(x, path, analysis = NULL, ...) {
  one_path(path)
  pictures <- attr(x, "pictures")
  if (is.null(analysis)) analysis <- names(pictures)[1L]
  if (!is.character(analysis) || length(analysis) != 1L || !analysis %in% names(pictures)) {
    stop("'analysis' must be one of ", paste(names(pictures), collapse = ", "), call. = FALSE)
  }
  write_text(pictures[[analysis]], path)
  invisible(path)
}

one_path <- function(path) {
  if (!is.character(path) || length(path) != 1L || is.na(path) || !nzchar(path)) {
    stop("'path' must be the name of one file or folder", call. = FALSE)
  }
}

# The text in UTF-8, as it is (no line ends added or translated).
write_text <- function(text, file) {
  con <- file(file, open = "wb")
  on.exit(close(con))
  writeBin(charToRaw(enc2utf8(text)), con)
}
