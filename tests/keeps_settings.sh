#!/usr/bin/env bash
# A usage error leaves the user's settings as they were, byte for byte: the program
# stops before it reads, forgets or writes them.
# Usage: tests/keeps_settings.sh PROGRAM   (with XDG_CONFIG_HOME pointing at a test folder)
set -euo pipefail
program=$1
file=$XDG_CONFIG_HOME/StepperBench/StepperBench.conf
mkdir -p "$(dirname "$file")"
printf '[window]\ngeometry=@ByteArray(kept)\n[options]\nreplyTimeout=777\n' >"$file"
cp "$file" "$file.before"
for arguments in "--port bogus" "--reset-settings --port COM1" "--port COM12=/dev/null"; do
    status=0
    # shellcheck disable=SC2086
    "$program" $arguments >/dev/null 2>&1 || status=$?
    if ((status != 2)); then
        echo "stepperbench $arguments: exit status $status, not 2"
        exit 1
    fi
    if ! cmp -s "$file" "$file.before"; then
        echo "stepperbench $arguments: the settings file changed"
        exit 1
    fi
done
