#!/usr/bin/env bash
# Pictures of imported recordings for the README, taken with the
# screenshots program on a private X display:
#   example-alignment.png  examples/smile.c3d as captured (green) and with
#                          the head held still by its head markers (red),
#                          at the end of the recording
#   openface-smile.png     smile_demo.csv from the shared test recordings:
#                          the smile at its broadest, 5.9 s in (green),
#                          over the face at rest, 0.5 s in (red)
#
#   tools/imported-screenshots.sh BUILD-FOLDER OUTPUT-FOLDER TESTDATA-FOLDER
set -euo pipefail
build=$1 out=$2 testdata=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
import=$build/mienscope-import

# A data root with the sample recordings, then sm1, sm2 and line.dat replaced.
data_root() {
  mkdir -p "$work/$1/face-data" "$work/$1/shots"
  cp face-data/*.dat "$work/$1/face-data/"
  rm "$work/$1/face-data/sm1.dat" "$work/$1/face-data/sm2.dat" "$work/$1/face-data/line.dat"
}

data_root example
grep -v '^rigid' examples/face24.set > "$work/example/no-rigid.set"
"$import" --markers "$work/example/no-rigid.set" examples/smile.c3d "$work/example/face-data/sm1.dat" 2>/dev/null
"$import" --markers examples/face24.set --line-file "$work/example/face-data/line.dat" examples/smile.c3d \
  "$work/example/face-data/sm2.dat" 2>/dev/null
"$build/screenshots" "$work/example/shots" "$work/example" >/dev/null
cp "$work/example/shots/exhibit1-frame179-both.png" "$out/example-alignment.png"
echo "$out/example-alignment.png"

smile=$testdata/openface/smile_demo.csv
if [ ! -f "$smile" ]; then
  echo "no $smile beside this checkout: openface-smile.png is not taken"
  exit 0
fi
data_root openface
"$import" --line-file "$work/openface/face-data/line.dat" --to 5.9 "$smile" "$work/openface/face-data/sm1.dat" 2>/dev/null
"$import" --to 0.5 "$smile" "$work/openface/face-data/sm2.dat" 2>/dev/null
"$build/screenshots" "$work/openface/shots" "$work/openface" >/dev/null
cp "$work/openface/shots/exhibit1-frame179-both.png" "$out/openface-smile.png"
echo "$out/openface-smile.png"
