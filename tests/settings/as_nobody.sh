#!/bin/sh
# Runs a test binary as the unprivileged user nobody, from a copy it can reach whatever the
# permissions of the build folder, beside a file and a folder of root's that it must not be
# able to write, and a file it may write in a folder of root's. Exits 77 (skipped) when we are not
# root and cannot switch users.
set -eu
[ "$(id -u)" = 0 ] || exit 77
command -v setpriv >/dev/null || exit 77
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$1" "$work/tests"
shift
mkdir "$work/open" "$work/closed" "$work/shared"
printf old > "$work/open/kelvado.ini"
printf old > "$work/shared/kelvado.ini"
chmod 755 "$work" "$work/tests" "$work/closed" "$work/shared"
chmod 777 "$work/open"
chmod 644 "$work/open/kelvado.ini"
chmod 666 "$work/shared/kelvado.ini"
KELVADO_FOREIGN_FILE="$work/open/kelvado.ini" KELVADO_FOREIGN_FOLDER="$work/closed" \
  KELVADO_OPEN_FILE_IN_FOREIGN_FOLDER="$work/shared/kelvado.ini" TMPDIR=/tmp \
  setpriv --reuid=65534 --regid=65534 --clear-groups "$work/tests" "$@"
