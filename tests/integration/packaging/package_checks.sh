#!/usr/bin/env bash
# Checks of the Debian package, run on the package itself: built with cpack from the build
# folder, unpacked into a scratch root, and its files validated and started there.
# Usage: package_checks.sh CHECK BUILD_DIR SOURCE_DIR APP_ID
set -euo pipefail

check=$1
build=$2
source=$3
app_id=$4
work=$build/package-test
root=$work/root
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

need() {
    command -v "$1" >/dev/null || fail "$1 is not installed (scripts/deps.sh test installs it)"
}

# xml_get FILE PATH [ATTRIBUTE]: the text (or the attribute) of every element that the
# ElementTree path matches, one a line; fails on a file that is not well-formed XML.
xml_get() {
    python3 - "$@" <<'PY'
import sys
import xml.etree.ElementTree as ET
path, query = sys.argv[1], sys.argv[2]
attribute = sys.argv[3] if len(sys.argv) > 3 else None
try:
    root = ET.parse(path).getroot()
except (ET.ParseError, OSError) as error:
    sys.exit(f"{path}: {error}")
for element in root.iterfind(query, {"m": "http://www.freedesktop.org/standards/shared-mime-info"}):
    print(element.get(attribute, "") if attribute else (element.text or "").strip())
PY
}

deb_file() {
    local debs=("$work"/tarnwick2000_"$version"_*.deb)
    [ -f "${debs[0]}" ] || fail "no package in $work: the build check makes it"
    echo "${debs[0]}"
}

# Builds the package and unpacks it.
check_build() {
    need cpack
    need dpkg-deb
    need dpkg-shlibdeps
    rm -rf "$work"
    mkdir -p "$work"
    (cd "$build" && cpack -G DEB -B "$work" --config "$build/CPackConfig.cmake") >"$work/cpack.log" 2>&1 ||
        { cat "$work/cpack.log"; fail "cpack failed"; }
    local deb
    deb=$(deb_file)
    dpkg-deb -x "$deb" "$root"
    dpkg-deb -I "$deb"
}

# The control data: the name, the section, and the libraries dpkg-shlibdeps found next to the
# plugins named by hand.
check_control() {
    local deb depends
    deb=$(deb_file)
    [ "$(dpkg-deb -f "$deb" Package)" = tarnwick2000 ] || fail "package name"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"
    [ "$(dpkg-deb -f "$deb" Section)" = net ] || fail "section"
    [ -n "$(dpkg-deb -f "$deb" Maintainer)" ] || fail "no maintainer"
    [ -n "$(dpkg-deb -f "$deb" Description)" ] || fail "no description"
    depends=$(dpkg-deb -f "$deb" Depends)
    echo "Depends: $depends"
    for lib in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6network6 \
        libqt6dbus6 libcanberra0 libqt6sql6-sqlite qt6-qpa-plugins libqt6svg6 xdg-utils; do
        grep -Eq "(^|, )${lib//+/\\+}( |,|$)" <<<"$depends" || fail "Depends lacks $lib"
    done
    grep -q sound-theme-freedesktop <<<"$(dpkg-deb -f "$deb" Recommends)" ||
        fail "Recommends lacks the sound theme"
    # apt accepts the package: every dependency exists on this system's Debian.
    need apt-get
    local plan
    plan=$(apt-get install -s --no-install-recommends "$deb" 2>&1) ||
        fail "apt-get refuses the package: $plan"
    grep -q "^Inst tarnwick2000 " <<<"$plan" || fail "apt-get would not install it: $plan"
}

# Only the program's own files, under the places a Debian package may use.
check_contents() {
    local deb files bad
    deb=$(deb_file)
    local listing
    listing=$(dpkg-deb -c "$deb")
    files=$(awk '{print $6}' <<<"$listing" | sed 's|^\./|/|' | grep -v '/$')
    ! awk '$2 != "root/root"' <<<"$listing" | grep -q . || fail "files not owned by root"
    ! awk '$1 ~ /^-/ && $1 != "-rw-r--r--" && $6 !~ /^\.\/usr\/bin\//' <<<"$listing" | grep -q . ||
        fail "data files that are not 0644"
    ! awk '$6 ~ /^\.\/usr\/bin\/./ && $1 != "-rwxr-xr-x"' <<<"$listing" | grep -q . ||
        fail "programs that are not 0755"
    bad=$(grep -Ev '^/usr/(bin/(tarnwick2000|tarnwick-ftp)|share/(applications|metainfo|mime/packages|icons/hicolor|man/man1|doc/tarnwick2000|tarnwick2000)/)' <<<"$files" || true)
    [ -z "$bad" ] || fail "files that are not the program's: $bad"
    ! grep -Eiq 'gtest|gmock|/test_|bench' <<<"$files" || fail "test files in the package"
    for f in /usr/bin/tarnwick2000 /usr/bin/tarnwick-ftp \
        "/usr/share/applications/$app_id.desktop" "/usr/share/metainfo/$app_id.metainfo.xml" \
        "/usr/share/mime/packages/$app_id.xml" "/usr/share/icons/hicolor/scalable/apps/$app_id.svg" \
        /usr/share/man/man1/tarnwick2000.1.gz /usr/share/man/man1/tarnwick-ftp.1.gz \
        /usr/share/doc/tarnwick2000/copyright; do
        grep -qxF "$f" <<<"$files" || fail "$f missing from the package"
    done
    # The help collection, when the build makes one, is installed with the program.
    if [ -f "$build/share/tarnwick2000/help/tarnwick2000.qhc" ]; then
        grep -qxF /usr/share/tarnwick2000/help/tarnwick2000.qhc <<<"$files" ||
            fail "the help collection is not in the package"
        grep -qxF /usr/share/tarnwick2000/help/tarnwick2000.qch <<<"$files" ||
            fail "the help document is not in the package"
    fi
}

check_desktop_entry() {
    need desktop-file-validate
    local entry=$root/usr/share/applications/$app_id.desktop
    desktop-file-validate "$entry" || fail "desktop-file-validate"
    local output
    output=$(desktop-file-validate "$entry" 2>&1)
    [ -z "$output" ] || fail "desktop-file-validate remarks: $output"
    value() { sed -n "s/^$1=//p" "$entry"; }
    [ -x "$root/usr/bin/$(value Exec | cut -d' ' -f1)" ] || fail "Exec names no installed program"
    [ "$(value Icon)" = "$app_id" ] || fail "Icon is not the desktop id"
    [ "$(value Categories)" = "Network;FileTransfer;" ] || fail "Categories"
    [ -n "$(value Keywords)" ] || fail "no Keywords"
    # The program opens no files given to it, so the entry claims no file type.
    [ -z "$(value MimeType)" ] || fail "MimeType claims files the program cannot open"
}

check_metainfo() {
    need appstreamcli
    local info=$root/usr/share/metainfo/$app_id.metainfo.xml
    appstreamcli validate --no-net --pedantic --explain "$info" || fail "appstreamcli validate"
    local output
    output=$(appstreamcli validate --no-net --pedantic "$info" 2>&1)
    grep -q '^✔ Validation was successful\.$' <<<"$output" || fail "validator remarks: $output"
    [ "$(xml_get "$info" id)" = "$app_id" ] || fail "component id"
    [ "$(xml_get "$info" "launchable[@type='desktop-id']")" = "$app_id.desktop" ] ||
        fail "launchable"
    [ -f "$root/usr/share/applications/$app_id.desktop" ] ||
        fail "the launchable desktop entry is not installed"
    [ "$(xml_get "$info" "releases/release[1]" version)" = "$version" ] ||
        fail "the newest release is not $version"
    [ "$(xml_get "$info" provides/binary | sort | xargs)" = "tarnwick-ftp tarnwick2000" ] ||
        fail "the metainfo does not provide both programs"
    for binary in $(xml_get "$info" provides/binary); do
        [ -x "$root/usr/bin/$binary" ] || fail "provided binary $binary not installed"
    done
}

# The package's MIME type as the desktop's database sees it: *.twx resolves to it.
check_mime() {
    need update-mime-database
    local package=$root/usr/share/mime/packages/$app_id.xml
    local db=$work/mime-db
    rm -rf "$db"
    mkdir -p "$db/packages"
    cp "$package" "$db/packages/"
    update-mime-database "$db" >/dev/null 2>&1 || fail "update-mime-database refused the package"
    local type
    type=$(xml_get "$package" m:mime-type type) || fail "not well-formed: $package"
    [ -n "$type" ] || fail "no MIME type in $package"
    grep -qxF "$type:*.twx" "$db/globs" || fail "*.twx does not resolve to $type"
    grep -qF 'Tarnwick 2000 Account Export File' "$db/${type%%/*}/${type#*/}.xml" ||
        fail "the type's comment"
}

# The man pages render without a warning, and tarnwick-ftp's page names every option the
# program's usage text lists.
check_man_pages() {
    need man
    need groff
    local page text warnings
    for name in tarnwick2000 tarnwick-ftp; do
        page=$root/usr/share/man/man1/$name.1.gz
        [ -f "$page" ] || fail "$page missing"
        warnings=$(zcat "$page" | LC_ALL=C.UTF-8 groff -ww -z -man 2>&1)
        [ -z "$warnings" ] || fail "groff warns on $name.1: $warnings"
        warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)
        [ -z "$warnings" ] || fail "man warns on $name.1: $warnings"
        text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null | col -bx)
        grep -q "^NAME" <<<"$text" || fail "$name.1 has no NAME section"
    done
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/tarnwick-ftp.1.gz" | col -bx)
    local options
    options=$("$root/usr/bin/tarnwick-ftp" --help | grep -Eo '^  --[a-z-]+' | sed 's/^ *//')
    [ -n "$options" ] || fail "tarnwick-ftp --help lists no option"
    for option in $options; do
        grep -qe "$option" <<<"$text" || fail "tarnwick-ftp.1 does not document $option"
    done
    for command in ls get put mkdir rmdir rm mv pwd; do
        grep -Eq "^ +$command " <<<"$text" || fail "tarnwick-ftp.1 does not document $command"
    done
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$root/usr/share/man/man1/tarnwick2000.1.gz" | col -bx)
    grep -q TARNWICK2000_SETTINGS <<<"$text" || fail "tarnwick2000.1 lacks TARNWICK2000_SETTINGS"
    grep -q -- "-setup" <<<"$text" || fail "tarnwick2000.1 lacks -setup"
}

# Every hicolor size is a PNG of that size.
check_icons() {
    local png header
    for size in 16 22 24 32 48 64 128 256 512; do
        png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png
        [ -f "$png" ] || fail "$png missing"
        header=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
        [ "$header" = 89504e470d0a1a0a ] || fail "$png is not a PNG"
        read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$png")
        [ "$width" = "$size" ] && [ "$height" = "$size" ] ||
            fail "$png is ${width}x$height, not ${size}x$size"
    done
    xml_get "$root/usr/share/icons/hicolor/scalable/apps/$app_id.svg" . >/dev/null ||
        fail "the scalable icon is not well-formed"
}

# The installed programs start from the unpacked tree on the system's libraries: the program
# shows its main window (a screenshot of it is written) and ends with 0, tarnwick-ftp answers.
check_start() {
    local run=$work/start
    rm -rf "$run"
    mkdir -p "$run/home" "$run/config" "$run/data" "$run/runtime"
    chmod 700 "$run/runtime"
    # Settings that exist already: no first start, whose setup sheet would come first.
    printf '[Options]\nConfirm=1\n' >"$run/settings.ini"
    local out code=0
    out=$(cd "$run/home" && env HOME="$run/home" XDG_CONFIG_HOME="$run/config" XDG_DATA_HOME="$run/data" \
        XDG_RUNTIME_DIR="$run/runtime" TARNWICK2000_SETTINGS="$run/settings.ini" \
        XDG_DATA_DIRS="$run/data" XDG_CACHE_HOME="$run/cache" TARNWICK2000_TRACE=1 \
        QT_QPA_PLATFORM=offscreen TARNWICK2000_SCREENSHOT="$run/window.png" \
        TARNWICK2000_SCREENSHOT_SIZE=800x600 \
        timeout 60 "$root/usr/bin/tarnwick2000" 2>&1) || code=$?
    echo "$out"
    [ "$code" = 0 ] || fail "tarnwick2000 ended with $code"
    grep -qxF "screenshot $run/window.png" <<<"$out" || fail "no screenshot reported"
    [ "$(od -An -tx1 -N4 "$run/window.png" | tr -d ' \n')" = 89504e47 ] ||
        fail "the screenshot is not a PNG"
    # The installed program finds the installed help collection beside it, not the build's.
    grep -qxF "help $root/usr/share/tarnwick2000/help/tarnwick2000.qhc" <<<"$out" ||
        fail "the installed program does not find its help collection"
    [ "$("$root/usr/bin/tarnwick-ftp" --version)" = "tarnwick-ftp $version" ] ||
        fail "tarnwick-ftp --version"
}

"check_$check"
