#!/usr/bin/env bash
# Builds the image-loading fuzz target with clang (libFuzzer, AddressSanitizer,
# UndefinedBehaviorSanitizer), replays the committed regression inputs, then
# fuzzes for the given time.
#
#   tools/fuzz.sh [SECONDS] [more libFuzzer arguments]     (default 600 seconds)
#
# A finding (crash, leak, sanitizer report, a run over one second) is written
# to $VARNHOLT_FUZZ_BUILD_DIR/findings/ and the script fails; copy the file to
# tests/fuzz/regressions/ once it is fixed. The corpus the fuzzer grows stays
# in the build folder; the seeds are tests/fuzz/corpus/.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-600}"
shift || true
# Absolute: the fuzz target works in a scratch folder of its own.
build="$(realpath -m "${VARNHOLT_FUZZ_BUILD_DIR:-$root/build-fuzz}")"

"$root/tools/setup.sh" clang libclang-rt-14-dev
cmake -S "$root" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DVARNHOLT_FUZZ=ON \
      -DVARNHOLT_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target varnholt_fuzz_image -j"$(nproc)"

fuzzer="$build/varnholt_fuzz_image"
mkdir -p "$build/fuzz-corpus" "$build/findings"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"

shopt -s nullglob
regressions=("$root"/tests/fuzz/regressions/*)
if ((${#regressions[@]})); then
    echo "fuzz: replaying ${#regressions[@]} regression inputs"
    "$fuzzer" -timeout=1 -rss_limit_mb=2048 "${regressions[@]}"
fi

echo "fuzz: fuzzing for $seconds seconds"
"$fuzzer" -max_total_time="$seconds" -timeout=1 -rss_limit_mb=2048 -max_len=16384 \
          -dict="$root/tests/fuzz/image.dict" -print_final_stats=1 \
          -artifact_prefix="$build/findings/" "$@" \
          "$build/fuzz-corpus" "$root/tests/fuzz/corpus"
