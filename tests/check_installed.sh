#!/usr/bin/env bash
# Checks an installed StepperBench the way a desktop, man and a software centre find it:
# the three programs in usr/bin run and report VERSION; each has a manual page that renders
# without warnings and describes every option its --help lists; the desktop entry starts a
# program that is there, and its icon is there as SVG and in every PNG size, each PNG as
# large as its folder says; the AppStream metadata names the desktop entry and the release.
# desktop-file-validate and appstreamcli check the files too, where they are installed.
#
# Usage: tests/check_installed.sh --build DIR VERSION   installs the build tree DIR first
#        tests/check_installed.sh --deb FILE VERSION    unpacks the package FILE first, and
#                                                      checks that its Depends were computed
# Prints one line per fault and exits 1 if there is any.
set -euo pipefail

id=io.github.stepperbench.StepperBench
programs=(stepperbench stepperbench-sim stepperbench-cli)
png_sizes=(16 32 48 64 128 256)

if (($# != 3)) || [[ $1 != --build && $1 != --deb ]]; then
    echo "usage: $0 --build DIR VERSION | --deb FILE VERSION" >&2
    exit 2
fi
kind=$1 source=$2 version=$3

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
root=$work/root
# The programs run below must not read or write the settings of whoever runs this.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/config XDG_DATA_HOME=$work/home/data
export XDG_CACHE_HOME=$work/home/cache XDG_RUNTIME_DIR=$work/home/runtime
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
export QT_QPA_PLATFORM=offscreen LC_ALL=C.UTF-8

faults=0
fault() {
    echo "check_installed: $*" >&2
    faults=$((faults + 1))
}

if [[ $kind == --build ]]; then
    DESTDIR=$root cmake --install "$source" --prefix /usr >"$work/install.log" ||
        { cat "$work/install.log" >&2; exit 1; }
else
    dpkg-deb -x "$source" "$root"
    depends=$(dpkg-deb -f "$source" Depends)
    for library in libqt6core6 libqt6serialport6 libqt6widgets6 libc6; do
        [[ $depends == *"$library"* ]] ||
            fault "Depends of $(basename "$source") lacks $library: '$depends'"
    done
fi
usr=$root/usr

for program in "${programs[@]}"; do
    exe=$usr/bin/$program
    if [[ ! -x $exe ]]; then
        fault "usr/bin/$program is missing or not executable"
        continue
    fi
    reported=$("$exe" --version 2>&1) || fault "$program --version failed: $reported"
    [[ $reported == *" $version" ]] || fault "$program --version says '$reported', not $version"

    page=$usr/share/man/man1/$program.1.gz
    if [[ ! -f $page ]]; then
        fault "usr/share/man/man1/$program.1.gz is missing"
        continue
    fi
    # One very long line per paragraph, so that no option is split at a line end.
    if ! gzip -dc "$page" | groff -man -Tascii -P-cbou -ww -rLL=10000n \
        >"$work/$program.txt" 2>"$work/$program.warnings"; then
        fault "the manual page of $program does not render"
    fi
    [[ ! -s $work/$program.warnings ]] ||
        fault "the manual page of $program has roff warnings: $(cat "$work/$program.warnings")"
    grep -q "^STEPPERBENCH" "$work/$program.txt" && grep -qF "StepperBench $version" \
        "$work/$program.txt" || fault "the manual page of $program lacks its title or version"
    # Every option --help lists is described in the OPTIONS section (headings start a line).
    awk '/^OPTIONS$/ { on = 1; next } /^[A-Z]/ { on = 0 } on' "$work/$program.txt" \
        >"$work/$program.options"
    "$exe" --help >"$work/$program.help" 2>&1 || fault "$program --help failed"
    for option in $(grep -oE -- '--[a-z][a-z-]*[a-z]' "$work/$program.help" | sort -u); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" "$work/$program.options" ||
            fault "the manual page of $program does not describe $option under OPTIONS"
    done
done

desktop=$usr/share/applications/$id.desktop
if [[ -f $desktop ]]; then
    exec_program=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$desktop")
    [[ -n $exec_program && -x $usr/bin/$exec_program ]] ||
        fault "$id.desktop starts '$exec_program', which is not in usr/bin"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [[ $icon == "$id" ]] || fault "$id.desktop names the icon '$icon', not $id"
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$desktop" >"$work/desktop.log" 2>&1 &&
            ! grep -q 'warning:' "$work/desktop.log" ||
            fault "desktop-file-validate: $(cat "$work/desktop.log")"
    fi
else
    fault "usr/share/applications/$id.desktop is missing"
fi

icons=$usr/share/icons/hicolor
[[ -f $icons/scalable/apps/$id.svg ]] || fault "the scalable icon $id.svg is missing"
for size in "${png_sizes[@]}"; do
    png=$icons/${size}x${size}/apps/$id.png
    if [[ ! -f $png ]]; then
        fault "the ${size}x${size} icon is missing"
        continue
    fi
    # A PNG's width and height are the big-endian words at bytes 16 and 20 of its header.
    read -r -a header <<<"$(od -An -tu1 -j16 -N8 "$png")"
    width=$(((header[0] << 24) | (header[1] << 16) | (header[2] << 8) | header[3]))
    height=$(((header[4] << 24) | (header[5] << 16) | (header[6] << 8) | header[7]))
    [[ $(head -c 4 "$png" | od -An -c | tr -d ' ') == '211PNG' ]] ||
        fault "${size}x${size}/apps/$id.png is no PNG"
    ((width == size && height == size)) ||
        fault "${size}x${size}/apps/$id.png is ${width}x${height}"
done

metainfo=$usr/share/metainfo/$id.metainfo.xml
if [[ -f $metainfo ]]; then
    grep -qF "<id>$id</id>" "$metainfo" || fault "the metainfo's id is not $id"
    grep -qF "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
        fault "the metainfo does not launch $id.desktop"
    grep -qE "<release version=\"$version\" date=\"[0-9]{4}-[0-9]{2}-[0-9]{2}\"" "$metainfo" ||
        fault "the metainfo's releases lack $version with its date"
    if command -v appstreamcli >/dev/null; then
        # Also matches the metadata with the desktop entry and icons beside it.
        appstreamcli validate-tree --no-net "$root" >"$work/appstream.log" 2>&1 ||
            fault "appstreamcli validate-tree: $(cat "$work/appstream.log")"
        appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
            fault "appstreamcli validate: $(cat "$work/appstream.log")"
    fi
else
    fault "usr/share/metainfo/$id.metainfo.xml is missing"
fi

if ((faults > 0)); then
    echo "check_installed: $faults fault(s) in $source" >&2
    exit 1
fi
echo "check_installed: $source installs the programs, manual pages, desktop entry, icons" \
    "and metainfo of StepperBench $version"
