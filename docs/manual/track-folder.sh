#!/bin/sh
# Sets up, tracks and tabulates a folder of trial videos without a display.
#
#   track-folder.sh VIDEO-FOLDER EXPERIMENT.EXP [POOL.POL]
#
# Each video is one subject's trial, named after the file (RAT01.avi is subject RAT01),
# in the order of the file names (names without blanks). The pool's rim is found in the first video (check
# calibration.png in the folder); the experiment is created with a 60-second limit and
# platform 1; each video is tracked into its subject's trial, with a preview picture beside
# it; the experiment's table is built beside EXPERIMENT.EXP. The home folder is
# $TARNWELL_HOME (else ~/.local/share/tarnwell); TARNWELL_CLI names the tool if it is not
# on the PATH.
set -eu
cli=${TARNWELL_CLI:-tarnwell-cli}
folder=$1        # the videos
experiment=$2    # the experiment to create, such as ~/data/WEEK1.EXP
pool=${3:-}      # a pool setup (.POL); else the home's
list="$folder/videos.txt"; subjects="$folder/subjects.txt"
: >"$list"; : >"$subjects"
for video in "$folder"/*.avi "$folder"/*.mp4 "$folder"/*.mkv; do
  [ -e "$video" ] || continue
  name=$(basename "$video"); id=${name%.*}
  printf '%s %s\n' "$name" "$id" >>"$list"
  printf '%s\n' "$id" >>"$subjects"
done
first=$(head -n 1 "$list")
"$cli" calibrate "$folder/${first% *}" --picture "$folder/calibration.png"
"$cli" create-experiment "$experiment" --subjects "$subjects" ${pool:+--pool "$pool"} --max-time 60 --platform 1
"$cli" track --list "$list" --experiment "$experiment" --preview "$folder"
