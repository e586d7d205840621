#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-builds velantis.exe, velantis-cli.exe and the tests for 64-bit Windows into build-win/
# with the Qt 6.4.2 MinGW-w64 kit (../shared/toolchains), warnings as errors, then lays out
# build-win/velantis-VERSION-win64/ (and its .zip), which runs on a Windows PC as it is: the
# programs, the Qt and MinGW runtime DLLs, the plugins they load and a font for the reports.
# Usage: scripts/build-windows.sh   (VELANTIS_WIN_KIT=path/to/qt-6.4.2-mingw-w64.tar.xz to
#                                    take the kit from elsewhere)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=$root/build-win
kit=${VELANTIS_WIN_KIT:-$root/../shared/toolchains/qt-6.4.2-mingw-w64.tar.xz}

# qt6-base-dev-tools: the kit runs Debian's own moc, rcc and uic; googletest: its sources are
# built for MinGW below.
bash scripts/deps.sh g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev qt6-base-dev-tools \
    googletest zip
# The setup program: NSIS builds it, icoutils makes the icon, osslsigncode signs when asked.
bash scripts/deps.sh nsis icoutils osslsigncode

start=$(date +%s)
mkdir -p "$out"

# The kit, unpacked once (again only when the archive changes).
if [ ! -x "$out/qt/bin/qt-cmake" ] || [ "$kit" -nt "$out/qt/.unpacked" ]; then
    [ -f "$kit" ] || { echo "build-windows: no Qt kit at $kit" >&2; exit 1; }
    echo "Unpacking $kit" >&2
    rm -rf "$out/qt"
    tar xf "$kit" -C "$out"
    touch "$out/qt/.unpacked"
fi

# GoogleTest from Debian's sources, built once with the same compilers.
if [ ! -f "$out/gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    nice -n 5 cmake -S /usr/src/googletest -B "$out/gtest-build" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$out/toolchain-mingw64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_INSTALL_PREFIX="$out/gtest" >/dev/null
    nice -n 5 ninja -C "$out/gtest-build" -j2 install >/dev/null
fi

# The program's icon for Explorer, the taskbar and Alt+Tab: 16, 32, 48 and 256 pixels in one
# .ico, from the PNGs the Linux build draws (VELANTIS_LINUX_BUILD, else build/, configured here
# when it is not yet). Replaced only when it changes, so velantis.exe is not linked again for it.
make_icon() {
    local linux=${VELANTIS_LINUX_BUILD:-$root/build}
    if [ ! -f "$linux/build.ninja" ]; then
        nice -n 5 cmake -S "$root" -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    fi
    nice -n 5 ninja -C "$linux" -j2 velantis_icons >/dev/null
    local pngs=$linux/packaging/hicolor
    mkdir -p "$out/app"
    icotool -c -o "$out/velantis.ico.new" "$pngs/16x16/apps/velantis.png" \
        "$pngs/32x32/apps/velantis.png" "$pngs/48x48/apps/velantis.png" \
        -r "$pngs/256x256/apps/velantis.png"
    if cmp -s "$out/velantis.ico.new" "$out/app/velantis.ico"; then
        rm "$out/velantis.ico.new"
    else
        mv "$out/velantis.ico.new" "$out/app/velantis.ico"
    fi
}
make_icon

if [ ! -f "$out/app/CMakeCache.txt" ]; then
    nice -n 5 "$out/qt/bin/qt-cmake" -S "$root" -B "$out/app" -G Ninja \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_COMPILE_WARNING_AS_ERROR=ON \
        -DVELANTIS_BENCH=OFF -DGTest_DIR="$out/gtest/lib/cmake/GTest" >/dev/null
fi
nice -n 5 ninja -C "$out/app" -j2

# The folder for Windows: the programs, every DLL they load (followed through the import tables
# of the programs, the plugins and the DLLs themselves), the plugins Qt loads by name, and Qt Sql
# with its SQLite driver for the test archive and its PostgreSQL driver for the department's
# server (qsqlpsql.dll, which brings libpq.dll and OpenSSL's libssl-3-x64.dll and
# libcrypto-3-x64.dll from the kit).
version=$(sed -n 's/^project(velantis VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=velantis-$version-win64
dist=$out/$name
rm -rf "$dist" "$out/$name.zip"
mkdir -p "$dist/platforms" "$dist/styles" "$dist/sqldrivers"
cp "$out/app/src/app/velantis.exe" "$out/app/src/velantis-cli.exe" "$dist/"
# qoffscreen: velantis-cli draws report pages without a display.
cp "$out/qt/plugins/platforms/qwindows.dll" "$out/qt/plugins/platforms/qoffscreen.dll" \
    "$dist/platforms/"
cp "$out/qt/plugins/styles/qwindowsvistastyle.dll" "$dist/styles/"
cp "$out/qt/plugins/sqldrivers/qsqlite.dll" "$out/qt/plugins/sqldrivers/qsqlpsql.dll" \
    "$dist/sqldrivers/"
cp "$out/qt/bin/Qt6Sql.dll" "$dist/"
# Qt's own dialog texts in Chinese (the kit has no translations; Debian's are of the same Qt
# release). The programs look for them in translations/ beside themselves.
mkdir -p "$dist/translations"
cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$dist/translations/"
# Beside the programs and tests in the build tree too, where the tests run them under Wine.
for dir in src src/app tests; do
    mkdir -p "$out/app/$dir/translations"
    cp /usr/share/qt6/translations/qtbase_zh_CN.qm "$out/app/$dir/translations/"
done

# A font for the report's Chinese text. velantis-cli draws its reports on Qt's offscreen
# platform, which on Windows sees none of the system's fonts: the programs load SimSun (or
# Microsoft YaHei, SimHei) from the Windows font folder themselves, and where none is there (an
# English Windows without its East Asian fonts, Wine) fonts/wqy-microhei.ttc beside them.
# WenQuanYi Micro Hei (Debian's fonts-wqy-microhei, Apache-2.0 or GPL-3 with the font exception):
# 5.2 MB for all of GBK's Chinese characters, where WenQuanYi Zen Hei takes 16.8 MB; a subset
# to GB2312 would save some 2 MB of the zip but lose characters a station's name may hold.
font=$out/fonts/wqy-microhei.ttc
if [ ! -f "$font" ]; then
    mkdir -p "$out/fonts"
    if [ -f /usr/share/fonts/truetype/wqy/wqy-microhei.ttc ]; then
        cp /usr/share/fonts/truetype/wqy/wqy-microhei.ttc "$font.new"
        cp /usr/share/doc/fonts-wqy-microhei/copyright "$out/fonts/wqy-microhei-copyright.txt"
    else # not installed: taken from Debian's package without installing it
        rm -rf "$out/fonts/deb"
        mkdir -p "$out/fonts/deb"
        (cd "$out/fonts/deb" && apt-get download -q fonts-wqy-microhei 2>/dev/null)
        dpkg-deb -x "$out"/fonts/deb/fonts-wqy-microhei_*.deb "$out/fonts/deb/root"
        cp "$out/fonts/deb/root/usr/share/fonts/truetype/wqy/wqy-microhei.ttc" "$font.new"
        cp "$out/fonts/deb/root/usr/share/doc/fonts-wqy-microhei/copyright" \
            "$out/fonts/wqy-microhei-copyright.txt"
        rm -rf "$out/fonts/deb"
    fi
    mv "$font.new" "$font"
fi
mkdir -p "$dist/fonts"
cp "$font" "$out/fonts/wqy-microhei-copyright.txt" "$dist/fonts/"
# Beside the programs and tests in the build tree too.
for dir in src src/app tests; do
    mkdir -p "$out/app/$dir/fonts"
    cp "$font" "$out/app/$dir/fonts/"
done

gcc_dir=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
search=("$out/qt/bin" "$gcc_dir" /usr/x86_64-w64-mingw32/lib)
declare -A seen=()
deploy() {
    local dll
    for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'); do
        [ -n "${seen[${dll,,}]:-}" ] && continue
        seen[${dll,,}]=1
        local dir
        for dir in "${search[@]}"; do
            if [ -f "$dir/$dll" ]; then
                cp "$dir/$dll" "$dist/"
                deploy "$dist/$dll"
                break
            fi
        done # not found: a DLL of Windows itself
    done
}
for f in "$dist"/*.exe "$dist"/*/*.dll "$dist/Qt6Sql.dll"; do
    deploy "$f"
done
# The server's driver is loaded by name, its libraries only through it: a kit without them (one
# from before the driver was added) would give a folder that cannot reach the server.
for f in sqldrivers/qsqlpsql.dll libpq.dll libssl-3-x64.dll libcrypto-3-x64.dll; do
    [ -f "$dist/$f" ] || { echo "build-windows: $f did not land in $dist (kit $kit)" >&2; exit 1; }
done
# Symbols are of no use on the user's PC: without them the folder is half the size.
x86_64-w64-mingw32-strip --strip-unneeded "$dist"/*.exe "$dist"/*.dll "$dist"/*/*.dll

# Signing, when a certificate is given: the programs here, the uninstaller and the setup program
# below, each checked after signing (packaging/windows/sign.sh).
sign_tool=
if [ -n "${VELANTIS_SIGN_PKCS12:-}" ] || [ -n "${VELANTIS_SIGN_PASSWORD_FILE:-}" ]; then
    if [ -z "${VELANTIS_SIGN_PKCS12:-}" ] || [ -z "${VELANTIS_SIGN_PASSWORD_FILE:-}" ]; then
        echo "build-windows: signing needs both VELANTIS_SIGN_PKCS12 and" \
            "VELANTIS_SIGN_PASSWORD_FILE" >&2
        exit 1
    fi
    sign_tool=$root/packaging/windows/sign.sh
    for exe in "$dist"/*.exe; do
        bash "$sign_tool" "$exe"
    done
else
    echo "build-windows: unsigned build (VELANTIS_SIGN_PKCS12 and VELANTIS_SIGN_PASSWORD_FILE" \
        "sign it)" >&2
fi

(cd "$out" && zip -qr "$name.zip" "$name")

# The setup program: the folder above, file by file; the uninstaller removes exactly these files
# (packaging/windows/velantis.nsi).
make_setup() {
    local files=$out/setup-files.nsh unfiles=$out/setup-unfiles.nsh dir file
    : >"$files"
    : >"$unfiles"
    while IFS= read -r dir; do
        dir=${dir#.}
        echo "SetOutPath \"\$INSTDIR${dir//\//\\}\"" >>"$files"
        while IFS= read -r file; do
            echo "File \"$dist$dir/$file\"" >>"$files"
            echo "Delete \"\$INSTDIR${dir//\//\\}\\$file\"" >>"$unfiles"
        done < <(cd "$dist$dir" && find . -maxdepth 1 -type f -printf '%f\n' | sort)
    done < <(cd "$dist" && find . -type d | sort)
    # Sub-folders, deepest first, and only when empty.
    while IFS= read -r dir; do
        dir=${dir#.}
        echo "RMDir \"\$INSTDIR${dir//\//\\}\"" >>"$unfiles"
    done < <(cd "$dist" && find . -mindepth 1 -type d | sort -r)
    local setup=$out/$name-setup.exe
    rm -f "$setup"
    makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DFILES="$files" -DUNFILES="$unfiles" \
        -DICON="$out/app/velantis.ico" -DLICENSE="$root/LICENSE" -DOUTFILE="$setup" \
        ${sign_tool:+-DSIGN="bash $sign_tool"} "$root/packaging/windows/velantis.nsi" >&2
    if [ -n "$sign_tool" ]; then
        bash "$sign_tool" "$setup"
    fi
    echo "build-windows: $name-setup.exe: $(du -sh "$setup" | cut -f1)" >&2
}
make_setup
echo "build-windows: $(($(date +%s) - start)) s; $dist: $(du -sh "$dist" | cut -f1)," \
    "$name.zip: $(du -sh "$out/$name.zip" | cut -f1)" >&2
