#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for the given number of
# seconds (default 30). The settings and EDL targets are seeded with the fixtures of
# tests/fixtures/; when ORVA_EDL_SAMPLES names a folder of real EDL files, the EDL targets are
# seeded with those too. A crash leaves its input in build/fuzz/.
#   ./scripts/fuzz.sh 600        # a long run of every target
#   ./scripts/fuzz.sh 30 fuzz_source_edl
set -euo pipefail
cd "$(dirname "$0")/.."
secs=${1:-30}
shift || true
./scripts/install-deps.sh
cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++ -DORVA_FUZZ=ON -DORVA_BUILD_TESTS=OFF -DORVA_BUILD_BENCH=OFF \
  -DORVA_SANITIZE=address,undefined,fuzzer-no-link >/dev/null
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(fuzz_settings fuzz_source_edl fuzz_standard_edl fuzz_frames fuzz_replies
  fuzz_session_line fuzz_hyperdeck_line)
cmake --build build/fuzz --target "${targets[@]}"
edl_seeds=("$PWD/tests/fixtures/edl")
if [ -n "${ORVA_EDL_SAMPLES:-}" ] && [ -d "$ORVA_EDL_SAMPLES" ]; then
  edl_seeds+=("$(cd "$ORVA_EDL_SAMPLES" && pwd)")
else
  echo "ORVA_EDL_SAMPLES is not set: the EDL targets start from the fixtures alone"
fi
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t
  mkdir -p "$corpus"
  seeds=()
  case $t in
    fuzz_source_edl|fuzz_standard_edl) seeds=("${edl_seeds[@]}") ;;
    fuzz_settings) seeds=("$PWD/tests/fixtures/settings") ;;
  esac
  echo "== $t for ${secs}s"
  log=build/fuzz/$t.log
  if (cd build/fuzz && UBSAN_OPTIONS=halt_on_error=1 ./tests/fuzz/$t -max_total_time="$secs" \
      -max_len=65536 -rss_limit_mb=2048 -print_final_stats=1 "corpus/$t" "${seeds[@]}" \
      >"$t.log" 2>&1); then
    grep -E 'stat::(number_of_executed_units|new_units_added|peak_rss_mb)' "$log" || true
  else
    echo "$t FAILED; its input is saved in build/fuzz (crash-*, leak-*, timeout-*):"
    tail -n 60 "$log"
    exit 1
  fi
done
