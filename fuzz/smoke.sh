#!/usr/bin/env bash
# Builds the fuzz targets with clang and runs each for a fixed number of inputs from a fixed seed, so
# a reader that starts to crash on odd input fails the test run; the fixtures seed the corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${SW_FUZZ_RUNS:-20000}

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSW_WARNINGS_AS_ERRORS=ON -DSW_BUILD_FUZZ=ON \
    -DSW_BUILD_GUI=OFF -DSW_BUILD_TESTS=OFF -DSW_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)"

corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
run() {
    local target=$1
    shift
    mkdir -p "$corpus/$target"
    echo "fuzz: $target ($runs runs)"
    "./build-fuzz/fuzz/bin/$target" -seed=1 -runs="$runs" -max_len=65536 "$corpus/$target" "$@" tests/fixtures \
        >"$corpus/$target.log" 2>&1 || { tail -n 40 "$corpus/$target.log"; exit 1; }
}
run fuzz_language_file fuzz/language_file_seeds
run fuzz_settings_files fuzz/settings_files_seeds
run fuzz_scl_loader -dict=fuzz/scl_loader.dict
run fuzz_image_files -dict=fuzz/image_files.dict fuzz/image_files_seeds
run fuzz_job_file fuzz/job_file_seeds
run fuzz_version_answer fuzz/version_answer_seeds
run fuzz_mms_decoder fuzz/mms_decoder_seeds
run fuzz_mms_server fuzz/mms_server_seeds
run fuzz_csv_reader fuzz/csv_reader_seeds
