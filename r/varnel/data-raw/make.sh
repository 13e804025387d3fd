#!/usr/bin/env bash
# The package's example data and its tests' expected files, made with the
# project's programs from BUILD_DIR (gen_cases, varnel-study):
#  - lroc_cases: a study drawn from the LROC model with a fixed seed (5
#    readers, 2 modalities, 50 cases without and 50 with a target, ratings 1
#    to 6, no localization recorded for target cases rated 2 or lower), as
#    inst/extdata/lroc_cases.csv and the data set data/lroc_cases.rda;
#  - tests/testthat/data/two_classes.csv: a study with two target classes
#    and continuous ratings (quantile categories);
#  - tests/testthat/data/three_modalities.csv: a study of three modalities
#    (Holm-adjusted modality differences);
#  - tests/testthat/expected/: what varnel-study prints for these studies and
#    for the Van Dyke study (tests/data/vandyke), its JSON reports and CSV
#    files flattened by flatten.py (numbers as hexadecimal floats, exact).
# Run it again when the programs' output changes.
#   r/varnel/data-raw/make.sh BUILD_DIR
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: r/varnel/data-raw/make.sh BUILD_DIR" >&2
  exit 1
fi
build=$(cd "$1" && pwd)
pkg=$(cd "$(dirname "$0")/.." && pwd)
root=$(cd "$pkg/../.." && pwd)
flatten=$pkg/data-raw/flatten.py
study=$build/varnel-study
expected=$pkg/tests/testthat/expected

mkdir -p "$pkg/inst/extdata" "$pkg/data" "$pkg/tests/testthat/data" "$expected"
"$build/gen_cases" -r 5 -m 2 -n 50 -t 50 --mu 1.3,1.9 --levels 6 --var-reader 0.1 \
  --var-case 0.3 --var-reader-case 0.1 --var-modality-case 0.1 --no-mark-at-or-below 2 -s 7 \
  -o "$pkg/inst/extdata/lroc_cases.csv"
"$build/gen_cases" -r 3 -m 2 -n 60 -t 40,40 --mu 1.8,2.4,1.2,1.6 --levels 0 --var-case 0.2 \
  --var-reader-case 0.1 --no-mark-at-or-below -0.5 -s 1 \
  -o "$pkg/tests/testthat/data/two_classes.csv"
"$build/gen_cases" -r 4 -m 3 -n 30 -t 30 --mu 1.5,1.7,2.2 --levels 0 --var-case 0.2 \
  --var-reader-case 0.1 -s 3 -o "$pkg/tests/testthat/data/three_modalities.csv"
Rscript -e '
  args <- commandArgs(TRUE)
  lroc_cases <- utils::read.csv(args[1], colClasses = c(reader = "character",
    modality = "character", case = "character", truth = "integer", rating = "numeric",
    localized = "integer"))
  save(lroc_cases, file = args[2], compress = "xz", version = 2)
' "$pkg/inst/extdata/lroc_cases.csv" "$pkg/data/lroc_cases.rda"

# A compare run: the text report (the study named by its file name), the
# JSON report flattened and the jackknife values.
compare() {
  local dir=$1 file=$2 name=$3
  shift 3
  (cd "$dir" && "$study" compare "$file" --quiet "$@" > "$expected/$name.txt")
  (cd "$dir" && "$study" compare "$file" --quiet --format json --jackknife "$work/jk.csv" "$@" \
     > "$work/report.json")
  python3 "$flatten" json "$work/report.json" > "$expected/$name.tsv"
  python3 "$flatten" csv "$work/jk.csv" > "$expected/${name}_jackknife.csv"
}
# A fit run: the results as JSON, flattened.
fit() {
  local dir=$1 file=$2 name=$3
  shift 3
  (cd "$dir" && "$study" fit "$file" --quiet --format json "$@" > "$work/results.json")
  python3 "$flatten" json "$work/results.json" > "$expected/$name.tsv"
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
vandyke=$root/tests/data/vandyke
extdata=$pkg/inst/extdata
compare "$vandyke" vandyke_cases.csv vandyke_wilcoxon --fom wilcoxon
compare "$vandyke" vandyke_cases.csv vandyke_wilcoxon_reference --fom wilcoxon --reference R3 \
  --alpha 0.1
# The same FOMs as without the reference reader.
rm "$expected/vandyke_wilcoxon_reference_jackknife.csv"
compare "$extdata" lroc_cases.csv lroc_cases_model_alroc --fom model-alroc --reference R01 -j 2
compare "$pkg/tests/testthat/data" two_classes.csv two_classes_pcl --fom model-pcl@0.3 \
  --reference R02 --categories 6 --chance 0.1,0.2 -j 2
fit "$extdata" lroc_cases.csv lroc_cases_fit -j 2
fit "$extdata" lroc_cases.csv lroc_cases_fit_options --cutpoints 2,4 --chance 0.1 \
  --criterion 1e-5 --noloc 2 -j 2
fit "$pkg/tests/testthat/data" two_classes.csv two_classes_fit --categories 5 --chance 0.1,0.2 -j 2
# The options of the trust and report work: binning scope, localization,
# goodness-of-fit bootstrap with its seed, non-inferiority margin, Holm with
# three modalities.
compare "$vandyke" vandyke_cases.csv vandyke_wilcoxon_margin --fom wilcoxon --reference R3 \
  --margin 0.05
rm "$expected/vandyke_wilcoxon_margin_jackknife.csv"
compare "$pkg/tests/testthat/data" three_modalities.csv three_modalities_wilcoxon --fom wilcoxon \
  --margin 0.03
compare "$extdata" lroc_cases.csv lroc_cases_model_auc --fom model-auc -j 2
compare "$extdata" lroc_cases.csv lroc_cases_model_auc_options --fom model-auc --localization use \
  --gof-bootstrap 10 --seed 3 --margin 0.05 -j 2
compare "$pkg/tests/testthat/data" two_classes.csv two_classes_auc_reader --fom model-auc \
  --binning reader --categories 6 --target 1 -j 2
fit "$pkg/tests/testthat/data" two_classes.csv two_classes_fit_reader --categories 5 \
  --binning reader --gof-bootstrap 20 --seed 5 -j 2
# Power from a pilot: its report as text and CSV, and its JSON flattened.
power() {
  local dir=$1 file=$2 name=$3
  shift 3
  (cd "$dir" && "$study" power "$file" --quiet "$@" > "$expected/$name.txt")
  (cd "$dir" && "$study" power "$file" --quiet --format csv "$@" > "$expected/$name.csv")
  (cd "$dir" && "$study" power "$file" --quiet --format json "$@" > "$work/power.json")
  python3 "$flatten" json "$work/power.json" > "$expected/$name.tsv"
}
power "$vandyke" vandyke_cases.csv vandyke_power --fom wilcoxon --readers 10 --power 0.8 \
  --effect 0.0438
power "$extdata" lroc_cases.csv lroc_cases_power_reference --fom model-alroc --reference R01 \
  --modality M2 --readers 4,8 --cases 100,200 -j 2
"$study" bin "$extdata/lroc_cases.csv" --out "$work/bin" > /dev/null
rm -rf "$expected/bin"
mkdir -p "$expected/bin"
cp "$work/bin/01_R01_M1.lrc" "$work/bin/10_R05_M2.lrc" "$expected/bin/"
