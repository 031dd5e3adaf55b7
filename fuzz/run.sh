#!/usr/bin/env bash
# Builds the fuzz targets with the `fuzz` preset and runs each for DURATION_SECONDS, starting
# from the seed corpus in fuzz/corpus/<target>/. Exits non-zero when a target crashes, hangs,
# leaks or breaks one of its checks; the reproducer is then in build-fuzz/artifacts/.
#
#   fuzz/run.sh [DURATION_SECONDS]      (default 30 per target)
#
# Before fuzzing, every file in fuzz/regressions/<target>/ is run once as a regression test.
# Inputs libFuzzer finds go to build-fuzz/corpus/<target>/ (kept between runs, never into the
# source tree); the receive target's data directories go under /dev/shm (or /tmp) and are
# removed afterwards.
set -euo pipefail

duration="${1:-30}"
if ! [[ "$duration" =~ ^[0-9]+$ ]] || [ "$duration" -lt 1 ]; then
  echo "usage: $0 DURATION_SECONDS" >&2
  exit 2
fi

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
cmake --preset fuzz
cmake --build --preset fuzz

build="$root/build-fuzz"
scratch_parent=/tmp
[ -d /dev/shm ] && scratch_parent=/dev/shm
export KESTRAND_FUZZ_DIR
KESTRAND_FUZZ_DIR="$(mktemp -d "$scratch_parent/kestrand-fuzz-run-XXXXXX")"
trap 'rm -rf "$KESTRAND_FUZZ_DIR"' EXIT

status=0
for target in receive_fuzz field_reader_fuzz raw_reader_fuzz csv_reader_fuzz notes_fuzz \
  whole_upload_fuzz; do
  name="${target%_fuzz}"
  exe="$build/bin/$target"
  seeds="$root/fuzz/corpus/$name"
  work="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  mkdir -p "$work" "$artifacts"

  regressions="$root/fuzz/regressions/$name"
  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    echo "== $target: regression inputs in $regressions"
    if ! "$exe" -runs=1 "$regressions"/*; then
      echo "!! $target fails on a regression input" >&2
      status=1
      continue
    fi
  fi

  echo "== $target: fuzzing for $duration s"
  if ! "$exe" -max_total_time="$duration" -timeout=20 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts/" "$work" "$seeds"; then
    echo "!! $target found a failure; reproducer(s) in $artifacts:" >&2
    ls -l "$artifacts" >&2
    status=1
  fi
done
exit "$status"
