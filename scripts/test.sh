#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, then
#   1. the unit tests once more under AddressSanitizer and UndefinedBehaviorSanitizer,
#   2. each libFuzzer target for a bounded time (clang),
#   3. the whole test suite of the normal build (GUI tests on Qt's offscreen platform).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
source "$ROOT/scripts/setup.sh"
install_missing

FUZZ_SECONDS=${FUZZ_SECONDS:-45}
export QT_QPA_PLATFORM=offscreen
export CTEST_OUTPUT_ON_FAILURE=1

echo "== formatting (clang-format, .clang-format at the root)"
git -C "$ROOT" ls-files -z '*.cpp' '*.h' | (cd "$ROOT" && xargs -0 clang-format --dry-run -Werror)

echo "== sanitizer build (address, undefined)"
configure_and_build "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DORVANE_SANITIZE=ON \
  -DORVANE_GUI=OFF -DORVANE_BENCH=OFF
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$ROOT/build-asan" --parallel "$(nproc)" -LE gui

echo "== fuzz build (clang, libFuzzer)"
configure_and_build "$ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DORVANE_FUZZ=ON \
  -DORVANE_GUI=OFF -DORVANE_TESTS=OFF -DORVANE_BENCH=OFF \
  -DCMAKE_CXX_COMPILER=clang++
fuzzers=("$ROOT"/build-fuzz/bin/fuzz_*)
[ -x "${fuzzers[0]}" ] || { echo "no fuzz targets were built" >&2; exit 1; }
for f in "${fuzzers[@]}"; do
  name=$(basename "$f")
  corpus="$ROOT/build-fuzz/corpus/$name"
  mkdir -p "$corpus"
  dirs=("$corpus")
  [ -d "$ROOT/fuzz/seeds/$name" ] && dirs+=("$ROOT/fuzz/seeds/$name")
  echo "-- $name for ${FUZZ_SECONDS}s"
  log="$ROOT/build-fuzz/$name.log"
  if ! (cd "$ROOT/build-fuzz" && "$f" -max_total_time="$FUZZ_SECONDS" "${dirs[@]}" >"$log" 2>&1); then
    tail -n 60 "$log"
    echo "$name found a fault (input saved in build-fuzz/)" >&2
    exit 1
  fi
  grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs)' "$log" | tail -n 1 || true
done

echo "== build and all tests"
configure_and_build "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir "$ROOT/build" --parallel "$(nproc)"
