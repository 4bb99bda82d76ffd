#!/usr/bin/env bash
# build-gtk-windows.sh: GTK+ 2 for 64-bit Windows, cross-built with mingw-w64 from Debian's own
# source packages, into a prefix outside the clone named after the source versions:
#   ${XDG_CACHE_HOME:-$HOME/.cache}/qn718/gtk2-win64-<key>
# A prefix that is complete is reused; the last line printed is always the prefix.
# Needs what `tools/install-deps.sh --windows` installs (and its deb-src entries).
# Stand-ins of our own (tools/gtk-windows/): libintl (no translations: the program has its own
# texts) and, when at-spi2-core's source cannot be fetched, ATK (nothing reads it on Windows).
# iconv is Windows' own, through GLib. A log of the build goes to the prefix's build.log.
set -Eeuo pipefail
here=$(cd "$(dirname "$0")" && pwd)
triple=x86_64-w64-mingw32
jobs=${QN718_JOBS:-2}
packages=(libffi pcre2 glib2.0 libpng1.6 pixman fribidi harfbuzz cairo pango1.0 gdk-pixbuf
          gtk+2.0)

cache=${XDG_CACHE_HOME:-$HOME/.cache}/qn718
mkdir -p "$cache"
# One build at a time per machine; a second caller waits and then reuses the result.
exec 9>"$cache/.gtk-build.lock"
flock 9

# The way the chain is built; raise it with any change to the steps below so that machines
# build a new prefix instead of reusing one built the old way.
recipe=1

# The key: the exact source versions apt would fetch, the compiler, the headers we build
# against, the recipe and the stand-ins.
describe() {
  echo "recipe $recipe"
  for p in "${packages[@]}" at-spi2-core; do
    apt-get source --print-uris -qq "$p" 2>/dev/null | awk '{print $2}' | grep '\.dsc$' ||
      { echo "build-gtk-windows.sh: no source package $p (deb-src entries?)" >&2; return 1; }
  done
  dpkg-query -W -f='${Package} ${Version}\n' libz-mingw-w64-dev gcc-mingw-w64-x86-64-posix \
    mingw-w64-x86-64-dev libatk1.0-dev
  cat "$here"/gtk-windows/*
}
description=$(describe)
key=$(sha256sum <<<"$description" | cut -c1-16)
prefix=$cache/gtk2-win64-$key
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

# Prefixes of other keys that never completed are left-overs of interrupted builds.
for old in "$cache"/gtk2-win64-* "$cache"/work-*; do
  case $old in *"-$key") continue ;; esac
  [ -f "$old/.complete" ] || rm -rf "$old"
done

started=$(date +%s)
work=$cache/work-$key
# An interrupted build of the same key goes on from its last finished step.
mkdir -p "$prefix"/{bin,lib/pkgconfig,include,share,.steps} "$work/src"
log=$prefix/build.log
echo "Building GTK+ 2 for Windows into $prefix (log: $log)" >&2
exec 3>&2 4>&1 >>"$log" 2>&1
trap 'echo "build-gtk-windows.sh: failed; see $log" >&3; tail -n 30 "$log" >&3' ERR

step() { echo "=== $* ($(($(date +%s) - started)) s)"; echo "--- $*" >&3; }
# done_step NAME: true when NAME finished in an earlier run; finish_step NAME records it.
done_step() { [ -f "$prefix/.steps/$1" ]; }
finish_step() { touch "$prefix/.steps/$1"; }

# ---- Tools: compilers, a pkg-config that sees only the prefix, a meson cross file ----
export CC=$triple-gcc-posix CXX=$triple-g++-posix AR=$triple-ar RANLIB=$triple-ranlib \
  STRIP=$triple-strip WINDRES=$triple-windres RC=$triple-windres
cat >"$work/pkg-config" <<EOF
#!/bin/sh
PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig:$prefix/share/pkgconfig" PKG_CONFIG_PATH= \\
  exec pkg-config "\$@"
EOF
chmod +x "$work/pkg-config"
export PKG_CONFIG=$work/pkg-config
export CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib"
cat >"$work/cross.ini" <<EOF
[binaries]
c = '$CC'
cpp = '$CXX'
ar = '$AR'
strip = '$STRIP'
windres = '$WINDRES'
pkgconfig = '$PKG_CONFIG'
[host_machine]
system = 'windows'
cpu_family = 'x86_64'
cpu = 'x86_64'
endian = 'little'
[properties]
needs_exe_wrapper = true
[built-in options]
c_args = ['-I$prefix/include']
cpp_args = ['-I$prefix/include']
c_link_args = ['-L$prefix/lib']
cpp_link_args = ['-L$prefix/lib']
EOF

# The .dsc and the original source came (Debian's own part may be missing: see unpack).
downloaded() { ls "$1"/*.dsc "$1"/*.orig.tar.* >/dev/null 2>&1; }

download() {  # download PACKAGE: Debian's source files into $work/download/PACKAGE
  local p=$1 dir=$work/download/$1 version
  downloaded "$dir" && return 0
  # The newest version first; a mirror that lacks it (a security update not mirrored) may
  # still have an earlier one.
  for version in $(apt-cache showsrc --only-source "$p" | awk '/^Version:/ {print $2}' |
                   sort -u -r -V); do
    rm -rf "$dir"
    mkdir -p "$dir"
    (cd "$dir" && apt-get source --download-only -qq "$p=$version") || true
    downloaded "$dir" && return 0
  done
  return 1
}

unpack() {  # unpack PACKAGE: a fresh copy of the source in $work/src/PACKAGE
  local p=$1 dir=$work/download/$1 dsc orig
  dsc=$(ls "$dir"/*.dsc | head -n 1)
  echo "source: $(basename "$dsc")" >>"$prefix/versions.txt"
  rm -rf "$work/src/$p"
  if ! dpkg-source --no-check -x "$dsc" "$work/src/$p" >/dev/null; then
    # A package whose Debian part did not come is built from the original source alone.
    orig=$(ls "$dir"/*.orig.tar.* 2>/dev/null | grep -v '\.asc$' | head -n 1)
    [ -n "$orig" ] || return 1
    echo "$p: Debian's changes not available, building the original source"
    rm -rf "$work/src/$p"
    mkdir -p "$work/src/$p"
    tar -xf "$orig" -C "$work/src/$p" --strip-components=1
  fi
}

meson_build() {  # meson_build PACKAGE OPTIONS...
  local p=$1; shift
  unpack "$p"
  (cd "$work/src/$p" &&
    meson setup _build --cross-file "$work/cross.ini" --prefix "$prefix" --libdir lib \
      --buildtype release --wrap-mode nodownload -Ddefault_library=shared "$@" &&
    ninja -C _build -j "$jobs" && ninja -C _build install)
}

autotools_build() {  # autotools_build PACKAGE OPTIONS...
  local p=$1; shift
  unpack "$p"
  (cd "$work/src/$p" &&
    ./configure --host=$triple --prefix="$prefix" --enable-shared --disable-static "$@" &&
    make -j "$jobs" && make install)
}

build_zlib() {
  local sysroot=/usr/$triple
  sed "s|^prefix=.*|prefix=$sysroot|" "$sysroot/lib/pkgconfig/zlib.pc" \
    >"$prefix/lib/pkgconfig/zlib.pc"
  cp "$sysroot/lib/zlib1.dll" "$prefix/bin/"
}

build_intl() {
  cp "$here/gtk-windows/libintl.h" "$prefix/include/"
  $CC -O2 -shared -o "$prefix/bin/intl.dll" "$here/gtk-windows/intl.c" \
    -Wl,--out-implib,"$prefix/lib/libintl.dll.a"
}

build_libffi() { autotools_build libffi --disable-docs --disable-multi-os-directory; }
build_pcre2() { autotools_build pcre2 --disable-pcre2grep-libz --disable-pcre2grep-libbz2; }
build_glib() {
  meson_build glib2.0 -Dtests=false -Dnls=disabled -Dlibmount=disabled -Dselinux=disabled \
    -Dxattr=false -Dsysprof=disabled -Dlibelf=disabled -Dman=false -Dgtk_doc=false
}
build_libpng() { autotools_build libpng1.6; }
build_pixman() {
  meson_build pixman -Dtests=disabled -Dgtk=disabled -Dlibpng=disabled -Dopenmp=disabled
}
build_fribidi() { meson_build fribidi -Ddocs=false; }
build_harfbuzz() {
  meson_build harfbuzz -Dglib=disabled -Dgobject=disabled -Dcairo=disabled -Dchafa=disabled \
    -Dicu=disabled -Dgraphite=disabled -Dgraphite2=disabled -Dfreetype=disabled \
    -Dgdi=disabled -Ddirectwrite=disabled -Dcoretext=disabled -Dtests=disabled \
    -Ddocs=disabled -Dbenchmark=disabled -Dintrospection=disabled
}
build_cairo() {
  unpack cairo
  (cd "$work/src/cairo" &&
    # _FORTIFY_SOURCE would need the C library's __strcat_chk, which mingw-w64 lacks.
    sed -i '/_FORTIFY_SOURCE/d' build/configure.ac.warnings &&
    autoreconf -fi >/dev/null &&
    ./configure --host=$triple --prefix="$prefix" --enable-shared --disable-static \
      --enable-win32 --enable-win32-font --enable-png --enable-pdf --disable-ft --disable-fc \
      --disable-xlib --disable-xcb --disable-ps --disable-svg --disable-gobject \
      --disable-script --disable-trace --disable-interpreter --disable-gtk-doc &&
    # The Windows .def file lists the exports; Debian's symbol list would clash with it. The
    # tests need FreeType: only the library is built.
    make -C src -j "$jobs" export_symbols= && make -C src install export_symbols=)
}
build_pango() {
  meson_build pango1.0 -Dfontconfig=disabled -Dfreetype=disabled -Dxft=disabled \
    -Dcairo=enabled -Dintrospection=disabled -Dgtk_doc=false -Dinstall-tests=false \
    -Dlibthai=disabled -Dsysprof=disabled
}
build_gdk_pixbuf() {
  meson_build gdk-pixbuf -Dpng=enabled -Djpeg=disabled -Dtiff=disabled \
    -Dbuiltin_loaders=all -Drelocatable=true -Dnative_windows_loaders=false \
    -Dgio_sniffing=false -Dman=false -Dgtk_doc=false -Ddocs=false -Dinstalled_tests=false \
    -Dtests=false -Dintrospection=disabled
}
build_atk() {
  if download at-spi2-core; then
    meson_build at-spi2-core -Datk_only=true -Dintrospection=no -Ddocs=false
    return
  fi
  echo "at-spi2-core's source cannot be fetched: ATK stand-in"
  mkdir -p "$prefix/include/atk-1.0"
  cp -r /usr/include/atk-1.0/atk "$prefix/include/atk-1.0/"
  local version
  version=$(dpkg-query -W -f='${Version}' libatk1.0-dev | sed 's/-.*//')
  $CC -O2 -shared -o "$prefix/bin/libatk-1.0-0.dll" "$here/gtk-windows/atk.c" \
    -I"$prefix/include/atk-1.0" $($PKG_CONFIG --cflags --libs gobject-2.0) \
    -Wl,--out-implib,"$prefix/lib/libatk-1.0.dll.a"
  cat >"$prefix/lib/pkgconfig/atk.pc" <<EOF
prefix=$prefix
libdir=\${prefix}/lib
includedir=\${prefix}/include

Name: Atk
Description: Stand-in for the accessibility toolkit (no screen-reader bridge on Windows)
Version: $version
Requires: gobject-2.0
Libs: -L\${libdir} -latk-1.0
Cflags: -I\${includedir}/atk-1.0
EOF
}
build_gtk() {
  unpack gtk+2.0
  local src=$work/src/gtk+2.0 patch d
  # The file chooser's navigation-button change uses lstat and readlink, which Windows lacks.
  patch=$(ls "$src"/debian/patches/004*.patch 2>/dev/null | head -n 1)
  [ -z "$patch" ] || (cd "$src" && patch -R -p1 <"$patch")
  (cd "$src" && autoreconf -fi >/dev/null)
  (cd "$src" &&
    GLIB_GENMARSHAL=$(command -v glib-genmarshal) GLIB_MKENUMS=$(command -v glib-mkenums) \
    GLIB_COMPILE_RESOURCES=$(command -v glib-compile-resources) \
    ./configure --host=$triple --prefix="$prefix" --enable-shared --disable-static \
      --with-gdktarget=win32 --without-x --disable-cups --disable-papi --disable-gtk-doc \
      --disable-man --disable-introspection --disable-glibtest)
  # Only the libraries and the MS-Windows theme engine: the rest does not cross-build (GTK's
  # own tests need more of ATK than the stand-in has).
  make -C "$src/gdk" -j "$jobs"
  make -C "$src/gdk" install
  make -C "$src/gtk" -j "$jobs" SUBDIRS="theme-bits ."
  make -C "$src/gtk" install SUBDIRS="theme-bits ."
  make -C "$src/modules/engines" -j "$jobs"
  make -C "$src/modules/engines" install
  # The .pc files of the whole tree, made by configure for the win32 target.
  for d in gdk gtk+; do
    cp "$src/$d-2.0.pc" "$prefix/lib/pkgconfig/$d-2.0.pc"
    cp "$src/$d-2.0.pc" "$prefix/lib/pkgconfig/$d-win32-2.0.pc"
  done
  mkdir -p "$prefix/share/themes/MS-Windows/gtk-2.0"
  cp "$src/modules/engines/ms-windows/Theme/gtk-2.0/gtkrc" \
    "$prefix/share/themes/MS-Windows/gtk-2.0/gtkrc"
}
build_runtime() {
  # The compiler's run-time DLLs that the C libraries were linked against.
  local dll found
  for dll in libgcc_s_seh-1.dll libwinpthread-1.dll; do
    found=$($CC -print-file-name=$dll)
    [ -f "$found" ] || found=$(find /usr/lib/gcc/$triple /usr/$triple -name "$dll" | head -n 1)
    cp "$found" "$prefix/bin/"
  done
}

step "Fetching Debian's sources"
for p in "${packages[@]}"; do
  download "$p" || { echo "build-gtk-windows.sh: cannot fetch $p's source" >&3; exit 1; }
done

for s in zlib intl libffi pcre2 glib libpng pixman fribidi harfbuzz cairo pango gdk_pixbuf atk \
         gtk runtime; do
  if done_step "$s"; then
    echo "=== $s: built in an earlier run"
    continue
  fi
  step "$s"
  "build_$s"
  finish_step "$s"
done

rm -rf "$work"
seconds=$(($(date +%s) - started))
echo "$seconds" >>"$prefix/build-seconds"
step "done in $seconds s"
touch "$prefix/.complete"
echo "$prefix" >&4
