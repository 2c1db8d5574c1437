#!/usr/bin/env bash
# scripts/setup installs every command that the tests and scripts call, so that a fresh
# Debian 12 machine needs nothing else: for each command of the table below that a file under
# tests/, scripts/, .ci/ or cmake/ calls, its Debian package must be in setup's list.
# Commands of Debian's essential packages (coreutils, dpkg, gzip, bsdutils, diffutils ...) are
# on every system and are not in the table. The benchmarks are run by hand and say themselves
# what they need (bench/compare_cutecom.py: CuteCom, Xvfb, xdotool).
# Usage: tests/setup_covers.sh   (prints one line per fault, exits 1 if there is any)
set -euo pipefail
root=$(realpath -- "$(dirname "$0")/..")

# command → the Debian package that has it
table=(
    cmake:cmake ctest:cmake ninja:ninja-build g++:g++ pkg-config:pkg-config
    clang++:clang ld.lld:lld git:git python3:python3 junitparser:python3-junitparser
    lupdate:qt6-l10n-tools lrelease:qt6-l10n-tools mbpoll:mbpoll ser2net:ser2net
    dpkg-shlibdeps:dpkg-dev groff:groff-base man:man-db desktop-file-validate:desktop-file-utils
    appstreamcli:appstream rsvg-convert:librsvg2-bin xvfb-run:xvfb Xvfb:xvfb
)

# The packages between "packages=(" and ")" in scripts/setup, one a line.
mapfile -t listed < <(sed -n '/^packages=(/,/^)/{/^packages=(/d;/^)/d;s/#.*//;p}' \
    "$root/scripts/setup" | tr -s ' \t' '\n' | sed '/^$/d')
((${#listed[@]} > 0)) || { echo "setup_covers: no package list in scripts/setup"; exit 1; }
declare -A installs
for package in "${listed[@]}"; do installs[$package]=1; done

mapfile -t files < <(cd "$root" && find tests scripts .ci cmake -type f \
    ! -path scripts/setup ! -path tests/setup_covers.sh ! -path 'tests/*/corpus/*')
faults=0
for entry in "${table[@]}"; do
    command=${entry%%:*} package=${entry#*:}
    # A call: the command as a word of its own, not part of a longer name or a path's file.
    callers=$(cd "$root" && grep -lE -- "(^|[^[:alnum:]_./-])${command//+/\\+}([^[:alnum:]_.-]|$)" \
        "${files[@]}" || true)
    [[ -n $callers ]] || continue
    if [[ -z ${installs[$package]:-} ]]; then
        echo "setup_covers: $command (called in $(echo $callers | tr ' ' ',')) needs the" \
            "package $package, which scripts/setup does not install"
        faults=$((faults + 1))
    fi
done
((faults == 0)) || exit 1
echo "setup_covers: scripts/setup installs the package of every command the tests and scripts call"
