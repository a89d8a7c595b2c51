#!/usr/bin/env bash
# The main job on a generated sample recording: installs what is missing, builds,
# then runs the tool chain in a fresh folder and shows what each step wrote.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/setup.sh"
install_missing
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$ROOT/scripts/chain.sh" "$ROOT/build" "${1:-$ROOT/demo-run}"
