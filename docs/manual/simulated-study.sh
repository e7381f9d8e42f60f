#!/bin/sh
# A whole study recorded from the simulated unit, to try the study level without animals.
#
#   simulated-study.sh FOLDER
#
# Two groups of six simulated mice (WT learning at rate 0.12, KO at 0.05) swim four trials a
# day for five days toward platform 1, then one probe trial without it on day 6. Each day
# is one experiment (WT1.EXP .. WT6.EXP, KO1.EXP .. KO6.EXP), recorded with
# `tarnwell-cli run --simulator` in a home folder of its own (FOLDER/home); then the study
# sheet FOLDER/study.csv is analysed into FOLDER/results (tables and study.pdf). The mice
# learn: their latencies fall over the days, their swims turn direct, and on the probe
# they keep to platform 1's quadrant. TARNWELL_CLI names the tool if it is not on the PATH.
set -eu
cli=${TARNWELL_CLI:-tarnwell-cli}
folder=$1
home="$folder/home"
mkdir -p "$home"
printf 'file,animal,group,day,kind,goal\n' >"$folder/study.csv"
# Each mouse is listed once per trial: its trials of a day are subjects 1, 7, 13, 19 ...
subjects() {
  : >"$home/SUBJECTS.INI"
  n=0
  for trial in $(seq "$2"); do
    for mouse in 1 2 3 4 5 6; do
      n=$((n + 1))
      printf 'Row %d Col 1 = "%s%d"\r\n' "$n" "$1" "$mouse" >>"$home/SUBJECTS.INI"
    done
  done
}
for group in WT KO; do
  # Each group its seed (WT1 and KO1 are different mice) and its learning rate.
  if [ "$group" = WT ]; then seed=1 rate=0.12; else seed=2 rate=0.05; fi
  for day in 1 2 3 4 5 6; do
    platform=1 kind=acquisition trials=4
    if [ "$day" = 6 ]; then platform=0 kind=probe trials=1; fi
    subjects "$group" "$trials"
    printf '[Windows Tarnwell Experiment Setup]\r\nData File = ""\r\nMaximum Time = 60\r\nActive Platform = %d\r\nDistance from Start = 10\r\n' \
      "$platform" >"$home/DEFAULT.CFG"
    "$cli" --home "$home" run "$folder/$group$day.EXP" --simulator --seed "$seed" \
      --day "$day" --learning-rate "$rate" --previous-goal 1 --yes >/dev/null
    printf '%s%d.EXP,,%s,%d,%s,1\n' "$group" "$day" "$group" "$day" "$kind" >>"$folder/study.csv"
  done
done
"$cli" study "$folder/study.csv" --out "$folder/results"
