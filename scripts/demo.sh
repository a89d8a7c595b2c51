#!/usr/bin/env bash
# The main job on a generated sample recording: installs what is missing, builds,
# then sends a text through the tool chain in a fresh folder, shows what each
# step wrote and the decoded message beside the text that was sent. TEXT, POLY
# and the other settings of scripts/chain.sh pass through the environment.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/setup.sh"
install_missing
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
exec "$ROOT/scripts/chain.sh" "$ROOT/build" "${1:-$ROOT/demo-run}"
