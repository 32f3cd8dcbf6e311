#!/usr/bin/env bash
# Builds the three .deb files as `make package` does, then reads them as
# dpkg does: their names, their dependencies (the runtime libraries, no
# development packages; the viewer's package without what only pictures,
# videos and tracking need), their descriptions, the files they install and
# their manual pages' synopses; then lintian, which must find no error and
# no warning.
#
#   tests/check_package.sh SOURCE-FOLDER PACKAGE-BUILD-FOLDER
set -u
source=$1 build=$2
if ! make -C "$source" --no-print-directory package PACKAGE_BUILD="$build" >"$build.log" 2>&1; then
  tail -30 "$build.log"
  echo "make package failed; the log is $build.log"
  exit 1
fi
version=$(sed -n 's/^project(mienscope VERSION \([0-9.]*\) .*/\1/p' "$source/CMakeLists.txt")
arch=$(dpkg --print-architecture)
base=$build/mienscope_${version}_$arch.deb render=$build/mienscope-render_${version}_$arch.deb
track=$build/mienscope-track_${version}_$arch.deb
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
has() { # has FIELD-VALUE PACKAGE...: each of them among the comma-separated dependencies
  local depends=$1
  shift
  for p in "$@"; do
    grep -Eq "(^|, )($p)( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
  done
}
for deb in "$base" "$render" "$track"; do
  [ -f "$deb" ] || { echo "FAIL: no $deb; the folder holds: $(ls "$build")"; exit 1; }
  dpkg-deb --info "$deb"
  grep -q -- '-dev' <<<"$(dpkg-deb --field "$deb" Depends)" && fail "$deb depends on a development package"
done
for deb in "$base" "$render"; do
  grep -q 'gnuplot-nox' <<<"$(dpkg-deb --field "$deb" Recommends)" || fail "$deb does not recommend gnuplot-nox"
done

# The viewer and the programs around it: freeglut, GLU and GL, and nothing that only drawing offscreen or
# encoding videos needs.
depends=$(dpkg-deb --field "$base" Depends)
has "$depends" libglut3.12 libglu1-mesa 'libopengl0|libgl1'
grep -Eq 'libavcodec|libegl1|libgif|fonts-dejavu|libdlib' <<<"$depends" &&
  fail "mienscope needs what only mienscope-render or mienscope-track does: $depends"
# mienscope-render: EGL, FFmpeg, giflib, the caption's font, and mienscope of the same version.
depends=$(dpkg-deb --field "$render" Depends)
has "$depends" libegl1 libavcodec59 libgif7 fonts-dejavu-core "mienscope \\(= $version\\)"
# mienscope-track: FFmpeg and dlib's 68-point model (dlib's detector and templates are compiled in), and no
# display library.
depends=$(dpkg-deb --field "$track" Depends)
has "$depends" libavcodec59 libavformat59 libswscale6 libdlib-data
grep -Eq 'libglut|libegl1|libgl1' <<<"$depends" && fail "mienscope-track needs a display library: $depends"
grep -q 'mienscope-track' <<<"$(dpkg-deb --field "$track" Description)" || fail "mienscope-track's description does not name it"
description=$(dpkg-deb --field "$base" Description)
for program in mienscope-import mienscope-measure mienscope-average mienscope-compare; do
  grep -q "$program" <<<"$description" || fail "mienscope's description does not name $program"
done
description=$(dpkg-deb --field "$render" Description)
for program in mienscope-render mienscope-report; do
  grep -q "$program" <<<"$description" || fail "mienscope-render's description does not name $program"
done

unpacked=$build/unpacked
rm -rf "$unpacked" && dpkg-deb -x "$render" "$unpacked"
for program in mienscope-render mienscope-report; do
  needed=$(objdump -p "$unpacked/usr/bin/$program" | awk '/NEEDED/ {print $2}')
  grep -Eq 'libglut|libGLX|libGL\.so' <<<"$needed" && fail "$program needs a display library: $needed"
done
contents() { dpkg-deb --contents "$1" | awk '{print $NF}'; }
base_files=$(contents "$base") render_files=$(contents "$render") track_files=$(contents "$track")
for file in usr/bin/mienscope usr/bin/mienscope-import usr/bin/mienscope-measure usr/bin/mienscope-average \
  usr/bin/mienscope-compare usr/share/mienscope/face-data/line.dat usr/share/mienscope/face-data/sm1.dat \
  usr/share/mienscope/face-data/sm2.dat usr/share/mienscope/face-data/smaa.dat usr/share/mienscope/face-data/smnn.dat \
  usr/share/mienscope/face-data/smll.dat usr/share/mienscope/face-data/smnl.dat usr/share/mienscope/face-data/smpcu.dat \
  usr/share/mienscope/face-data/smpcd.dat usr/share/mienscope/examples/smile.c3d usr/share/mienscope/examples/face24.set \
  usr/share/mienscope/examples/openface-24.set usr/share/man/man1/mienscope.1.gz usr/share/man/man1/mienscope-import.1.gz \
  usr/share/man/man1/mienscope-measure.1.gz usr/share/man/man1/mienscope-average.1.gz \
  usr/share/man/man1/mienscope-compare.1.gz usr/share/doc/mienscope/README.md usr/share/doc/mienscope/LICENSE \
  usr/share/doc/mienscope/copyright usr/share/doc/mienscope/changelog.gz; do
  grep -qx "./$file" <<<"$base_files" || fail "mienscope does not install /$file"
done
for file in usr/bin/mienscope-render usr/bin/mienscope-report usr/share/man/man1/mienscope-render.1.gz \
  usr/share/man/man1/mienscope-report.1.gz usr/share/doc/mienscope-render/copyright \
  usr/share/doc/mienscope-render/changelog.gz; do
  grep -qx "./$file" <<<"$render_files" || fail "mienscope-render does not install /$file"
  grep -qx "./$file" <<<"$base_files" && fail "mienscope installs /$file too"
done
for file in usr/bin/mienscope-track usr/share/man/man1/mienscope-track.1.gz usr/share/doc/mienscope-track/copyright \
  usr/share/doc/mienscope-track/changelog.gz; do
  grep -qx "./$file" <<<"$track_files" || fail "mienscope-track does not install /$file"
  grep -qx "./$file" <<<"$base_files$render_files" && fail "another package installs /$file too"
done
copyright=$(dpkg-deb --fsys-tarfile "$base" | tar -xO ./usr/share/doc/mienscope/copyright)
head -1 <<<"$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "the copyright file is not in Debian's machine-readable format"
grep -q '^License: Expat' <<<"$copyright" || fail "the copyright file names no MIT (Expat) licence"
grep -q '/usr/share/mienscope/face-data' <(dpkg-deb --fsys-tarfile "$base" | tar -xO ./usr/share/man/man1/mienscope.1.gz | gzip -dc) ||
  fail "the viewer's manual page does not name /usr/share/mienscope/face-data"

# Every manual page's SYNOPSIS holds all its usage lines, the last being "--help | --version", so that
# none falls into DESCRIPTION; read with roff's fonts, escapes and quotes taken out.
for deb in "$base" "$render" "$track"; do
  for page in $(contents "$deb" | grep '^\./usr/share/man/man1/.*\.1\.gz$'); do
    synopsis=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO "$page" | gzip -dc | sed -n '/^\.SH SYNOPSIS/,/^\.SH /p' |
      sed -e 's/\\f[BIR]//g' -e 's/\\[,\/&]//g' -e 's/\\-/-/g' -e 's/"//g' | tr -s ' ')
    grep -q -- '--help | --version' <<<"$synopsis" || fail "$page: the SYNOPSIS lacks its last usage line: $synopsis"
  done
done
readme=$(dpkg-deb --fsys-tarfile "$base" | tar -xO ./usr/share/doc/mienscope/README.md)
grep -q '](docs/screenshots/' <<<"$readme" && fail "the installed README links pictures that are not installed"
grep -q '^\*Picture (in the source tree): Exhibit 1 at start-up' <<<"$readme" ||
  fail "the installed README lost its pictures' descriptions"

# As Debian checks its own packages: no error and no warning.
lintian --fail-on error,warning "$base" "$render" "$track" >"$build/lintian.log" 2>&1 ||
  fail "lintian: $(grep -v 'running with root privileges' "$build/lintian.log")"
grep -E '^[EW]: ' "$build/lintian.log" && fail "lintian reports errors or warnings"

[ $failed -eq 0 ] && echo "$base, $render and $track: names, dependencies, descriptions and files as expected"
exit $failed
