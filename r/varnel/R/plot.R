#' Plot the fitted ROC and LROC curves
#'
#' Draws the fitted ROC curve (true-positive against false-positive
#' fraction) and the fitted LROC curve (fraction of target images rated
#' above the threshold and correctly localized) of every target, with the
#' observed operating points of the counts, in base graphics.  With chance
#' values, the chance-adjusted LROC curves are drawn dashed.  LROC points are
#' shown only above the categories without localization data.
#'
#' @param x A fit from [lroc_fit()].
#' @param which The panels: `"roc"`, `"lroc"` or both (side by side).
#' @param col Colours of the targets (recycled); by default the palette's
#'   colours 2, 3, ...
#' @param main Titles of the panels (recycled); by default "ROC" and "LROC".
#' @param ... Further graphical parameters for [graphics::plot.default()]
#'   (e.g. `cex`, `las`).
#' @return `x`, invisibly.
#' @export
#' @examples
#' fit <- lroc_fit(system.file("extdata", "two_targets_chance.lrc", package = "varnel"),
#'                 chance = 0.25)
#' plot(fit)
#' plot(fit, which = "lroc", main = "LROC curves")
plot.varnel_fit <- function(x, which = c("roc", "lroc"), col = NULL, main = NULL, ...) {
  which <- match.arg(which, several.ok = TRUE)
  main <- rep_len(if (is.null(main)) toupper(which) else main, length(which))
  targets <- ncol(x$curves$tp)
  col <- rep_len(if (is.null(col)) seq_len(max(targets, 1L)) + 1L else col, targets)
  if (length(which) == 2L) {
    old <- graphics::par(mfrow = c(1L, 2L))
    on.exit(graphics::par(old))
  }
  fp <- x$curves$fp
  for (k in seq_along(which)) {
    lroc <- which[k] == "lroc"
    graphics::plot(NA, xlim = c(0, 1), ylim = c(0, 1), xaxs = "i", yaxs = "i",
                   xlab = "False-positive fraction",
                   ylab = if (lroc) "Correct-localization fraction" else "True-positive fraction",
                   main = main[k], ...)
    if (!lroc) {
      graphics::abline(0, 1, col = "grey", lty = 3)
    }
    for (t in seq_len(targets)) {
      graphics::lines(fp, if (lroc) x$curves$ctp[, t] else x$curves$tp[, t], col = col[t])
      if (lroc && x$chance_entered) {
        graphics::lines(fp, x$curves$ctp_adjusted[, t], col = col[t], lty = 2)
      }
      p <- observed_points(x, t, lroc)
      graphics::points(p$fp, p$tp, col = col[t])
    }
    if (targets > 0L) {
      area <- if (lroc) x$areas$area_lroc else x$areas$area_roc
      graphics::legend("bottomright", bty = "n", col = col, lty = 1, pch = 1,
                       legend = sprintf("target %d: %s %.4f", seq_len(targets),
                                        if (lroc) "AreaLROC" else "AreaROC", area))
    }
  }
  invisible(x)
}

# Observed operating points of target t: for each threshold, from the
# highest category down, the fractions of non-target and of target images
# rated at or above it (for LROC, target images correctly localized).  ROC
# points leave out the trivial (1, 1) below the lowest category; LROC points
# need localization counts in every category at or above the threshold,
# which a target has above the categories without localization unless its
# chance value is 1 (its localization data unused).
observed_points <- function(x, t, lroc = FALSE) {
  incorrect <- x$counts$incorrect
  correct <- x$counts$correct
  categories <- nrow(correct)
  normal <- incorrect[, 1L] + correct[, 1L]
  target <- incorrect[, t + 1L] + correct[, t + 1L]
  if (lroc) {
    counted <- correct[, t + 1L]
    lowest <- if (x$chance[t] < 1) x$fitted$noloc + 1L else categories + 1L
  } else {
    counted <- target
    lowest <- 2L
  }
  if (lowest > categories) {
    return(data.frame(fp = numeric(0), tp = numeric(0)))
  }
  k <- categories:lowest
  data.frame(fp = cumsum(normal[k]) / sum(normal), tp = cumsum(counted[k]) / sum(target))
}
