#!/bin/sh
# Installs the build tree into a fresh prefix, moves the prefix (the package
# must not depend on where it was installed), then builds and runs a C host
# against it twice: found by CMake and by pkg-config.
# usage: install_package.sh BUILD_DIR SOURCE_DIR LIBDIR BINDIR CC CMAKE NINJA VERSION [TOOL...]
set -eu
build=$(cd "$1" && pwd) src=$(cd "$2" && pwd) libdir=$3 bindir=$4 cc=$5 cmake=$6 ninja=$7 version=$8
shift 8

work=$build/install-test
staged=$work/staged
prefix=$work/prefix
lib=$prefix/$libdir

fail() { echo "install_package: $*" >&2; exit 1; }
# Prints the command's output only when it fails.
quiet() {
    log=$work/last.log
    "$@" >"$log" 2>&1 || { cat "$log" >&2; fail "failed: $*"; }
}

rm -rf "$work"
mkdir -p "$work"
quiet "$cmake" --install "$build" --prefix "$staged"
mv "$staged" "$prefix"

for f in "$lib/libvek_comm2.so.$version" include/vek_comm2.h include/vek_host.h \
         "$lib/libvek_client.so.$version" include/vek_client.h include/vek/client.hpp python/vek/__init__.py \
         "$lib/cmake/vek_comm2/vek_comm2Config.cmake" "$lib/cmake/vek_comm2/vek_comm2ConfigVersion.cmake" \
         "$lib/cmake/vek_comm2/vek_comm2Targets.cmake" "$lib/pkgconfig/vek_comm2.pc"; do
    case $f in /*) ;; *) f=$prefix/$f ;; esac
    [ -f "$f" ] || fail "not installed: $f"
done
major=${version%%.*}
[ "$(readlink "$lib/libvek_comm2.so.$major")" = "libvek_comm2.so.$version" ] || fail "bad link libvek_comm2.so.$major"
[ "$(readlink "$lib/libvek_comm2.so")" = "libvek_comm2.so.$major" ] || fail "bad link libvek_comm2.so"
readelf -d "$lib/libvek_comm2.so.$version" | grep -q "(SONAME).*\[libvek_comm2\.so\.$major\]" \
    || fail "SONAME is not libvek_comm2.so.$major"
if [ -n "$(find "$prefix" -name '*.a')" ]; then fail "a static archive was installed"; fi

# Only the installed library may be found, by either host.
LD_LIBRARY_PATH=$lib
export LD_LIBRARY_PATH

quiet "$cmake" -S "$src/tests/install/consumer" -B "$work/consumer" -G Ninja \
    -DCMAKE_MAKE_PROGRAM="$ninja" -DCMAKE_C_COMPILER="$cc" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF
grep -qxF "vek_comm2_DIR:PATH=$lib/cmake/vek_comm2" "$work/consumer/CMakeCache.txt" \
    || fail "find_package did not use the installed package"
quiet "$cmake" --build "$work/consumer"
quiet "$work/consumer/host"
# The client example without a device: it loads and says how to use it.
status=0
"$work/consumer/client_host" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "client_host (CMake) exited $status, not 2"

PKG_CONFIG_PATH=$lib/pkgconfig
export PKG_CONFIG_PATH
unset PKG_CONFIG_SYSROOT_DIR PKG_CONFIG_LIBDIR || true
command -v pkg-config >/dev/null || fail "pkg-config is not installed"
[ "$(pkg-config --modversion vek_comm2)" = "$version" ] || fail "pkg-config version is not $version"
flags=$(pkg-config --cflags --libs vek_comm2) || fail "pkg-config --cflags --libs failed"
# shellcheck disable=SC2086 # the flags are words
quiet "$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "$src/tests/install/host.c" $flags -o "$work/host_pc"
quiet "$work/host_pc"
[ -f "$lib/pkgconfig/vek_client.pc" ] || fail "not installed: vek_client.pc"
flags=$(pkg-config --cflags --libs vek_client) || fail "pkg-config vek_client failed"
# shellcheck disable=SC2086 # the flags are words
quiet "$cc" -std=c99 -Wall -Wextra -Wpedantic -Werror "$src/examples/read_write.c" $flags -o "$work/client_pc"
status=0
"$work/client_pc" >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "client_pc (pkg-config) exited $status, not 2"
# The Python package finds the installed library by itself.
python=$(command -v /usr/bin/python3 || command -v python3 || true)
if [ -n "$python" ]; then
    env -u LD_LIBRARY_PATH PYTHONPATH="$prefix/python" PYTHONDONTWRITEBYTECODE=1 "$python" -c \
        'import vek; lib = vek.Library(); lib.close()' >"$work/python.log" 2>&1 \
        || { cat "$work/python.log" >&2; fail "the installed Python package does not load"; }
fi

for tool in "$@"; do
    [ -x "$prefix/$bindir/$tool" ] || fail "tool not installed: $tool"
    page=$(find "$prefix" -path "*/man1/$tool.1")
    [ -n "$page" ] || fail "manual page not installed: $tool.1"
    if grep -q "$build" "$page"; then fail "$tool.1 names the build folder $build"; fi
done
for tool in "$@"; do
    case $tool in
    vekmdm)
        out=$("$prefix/$bindir/vekmdm" fields) || fail "vekmdm fields failed"
        [ -n "$out" ] || fail "vekmdm fields printed nothing"
        ;;
    vekhost)
        # Found through its own rpath, without LD_LIBRARY_PATH.
        found=$(env -u LD_LIBRARY_PATH ldd "$prefix/$bindir/vekhost" | sed -n 's/^[[:space:]]*libvek_comm2\.so\.[0-9]* => \([^ ]*\) .*/\1/p')
        [ -n "$found" ] || fail "installed vekhost does not find libvek_comm2"
        [ "$(realpath "$found")" = "$(realpath "$lib/libvek_comm2.so.$version")" ] \
            || fail "installed vekhost loads $found"
        ;;
    esac
done
echo "install_package: ok ($prefix)"
