#!/usr/bin/env bash
# Builds the .deb as `make package` does, then reads it as dpkg does: its
# name, its dependencies (the runtime libraries, no development packages)
# and the files it installs.
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
deb=$build/mienscope_${version}_$(dpkg --print-architecture).deb
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}
[ -f "$deb" ] || { echo "FAIL: no $deb; the folder holds: $(ls "$build")"; exit 1; }
dpkg-deb --info "$deb"
depends=$(dpkg-deb --field "$deb" Depends)
# freeglut, GLU, and GL through libglvnd (libopengl0 and libglx0) or libgl1.
for library in libglut3.12 libglu1-mesa 'libopengl0|libgl1'; do
  grep -Eq "(^|, )($library)( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -q -- '-dev' <<<"$depends" && fail "Depends names a development package: $depends"
# mienscope-render: EGL, FFmpeg, giflib and the caption's font; it draws
# with no display, so neither GLUT nor GLX is among its libraries.
for library in libegl1 libavcodec59 libgif7 fonts-dejavu-core; do
  grep -Eq "(^|, )$library( |,|$)" <<<"$depends" || fail "Depends lacks $library: $depends"
done
unpacked=$build/unpacked
rm -rf "$unpacked" && dpkg-deb -x "$deb" "$unpacked"
needed=$(objdump -p "$unpacked/usr/bin/mienscope-render" | awk '/NEEDED/ {print $2}')
grep -Eq 'libglut|libGLX|libGL\.so' <<<"$needed" && fail "mienscope-render needs a display library: $needed"
recommends=$(dpkg-deb --field "$deb" Recommends)
grep -q 'gnuplot-nox' <<<"$recommends" || fail "Recommends lacks gnuplot-nox: $recommends"
contents=$(dpkg-deb --contents "$deb" | awk '{print $NF}')
for file in usr/bin/mienscope usr/bin/mienscope-import usr/bin/mienscope-measure usr/bin/mienscope-average usr/bin/mienscope-render \
  usr/share/mienscope/face-data/line.dat usr/share/mienscope/face-data/sm1.dat usr/share/mienscope/face-data/sm2.dat \
  usr/share/mienscope/face-data/smaa.dat usr/share/mienscope/face-data/smnn.dat usr/share/mienscope/face-data/smll.dat \
  usr/share/mienscope/face-data/smnl.dat usr/share/mienscope/face-data/smpcu.dat usr/share/mienscope/face-data/smpcd.dat \
  usr/share/mienscope/examples/smile.c3d usr/share/mienscope/examples/face24.set \
  usr/share/mienscope/examples/openface-24.set usr/share/man/man1/mienscope.1 usr/share/man/man1/mienscope-import.1 usr/share/man/man1/mienscope-measure.1 usr/share/man/man1/mienscope-average.1 usr/share/man/man1/mienscope-render.1 \
  usr/share/doc/mienscope/README.md; do
  grep -qx "./$file" <<<"$contents" || fail "the package does not install /$file"
done
grep -q '/usr/share/mienscope/face-data' <(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/man/man1/mienscope.1) ||
  fail "the viewer's manual page does not name /usr/share/mienscope/face-data"
[ $failed -eq 0 ] && echo "$deb: name, dependencies and files as expected"
exit $failed
