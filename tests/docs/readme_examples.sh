#!/usr/bin/env bash
# Runs every command of the README's fenced sh blocks, block by block in README
# order, in one scratch folder, with the built programs on PATH, as a user who
# pastes them would:   readme_examples.sh SOURCE_DIR BUILD_DIR
# The set-up commands: scripts/demo.sh runs the chain against this build (what
# the demo runs once it has built), scripts/test.sh is skipped (it runs this
# test), and "build" is this build, installed into a HOME inside the scratch
# folder. No display: Qt offscreen, standard input at its end (phaseview's key).
set -euo pipefail
SRC=$(cd "$1" && pwd)
BUILD=$(cd "$2" && pwd)
SCRATCH=$(mktemp -d "${TMPDIR:-/tmp}/readme-examples.XXXXXX")
trap 'rm -rf "$SCRATCH"' EXIT
mkdir -p "$SCRATCH/home" "$SCRATCH/scripts" "$SCRATCH/.blocks"
ln -s "$BUILD" "$SCRATCH/build"
printf '#!/bin/sh\nexec "%s/scripts/chain.sh" "%s" "${1:-demo-run}"\n' "$SRC" "$BUILD" >"$SCRATCH/scripts/demo.sh"
printf '#!/bin/sh\necho "scripts/test.sh runs this test: left out"\n' >"$SCRATCH/scripts/test.sh"
chmod +x "$SCRATCH"/scripts/*.sh
export HOME=$SCRATCH/home PATH=$BUILD/bin:$PATH QT_QPA_PLATFORM=offscreen
unset DISPLAY WAYLAND_DISPLAY

awk -v dir="$SCRATCH/.blocks" '/^```sh[[:space:]]*$/ { n++; on = 1; next }
  /^```/ { on = 0; next }
  on { print > (dir "/" n ".sh") }' "$SRC/README.md"
blocks=$(ls "$SCRATCH/.blocks" | wc -l)
cd "$SCRATCH" && [ "$blocks" -gt 0 ]  # none at all: the extraction is broken
for ((i = 1; i <= blocks; i++)); do
  echo "== block $i of $blocks"
  sed 's/^/   $ /' ".blocks/$i.sh"
  if ! bash -euo pipefail ".blocks/$i.sh" </dev/null; then
    echo "README.md: block $i failed" >&2
    exit 1
  fi
done
