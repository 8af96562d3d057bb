#!/usr/bin/env bash
# Builds the suite and runs every test: once as built, once more under
# AddressSanitizer and UndefinedBehaviorSanitizer. Installs what is missing.
# SUITE_WERROR=ON makes compiler warnings errors (the CI sets it).
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
werror=${SUITE_WERROR:-OFF}

dirs="link;instrument;ui;testsupport;sim;reader;limits;inputs;contacts;memory;text;commission;dataview;viewer;snapshot;cli"

cmake -S . -B build -DCMAKE_BUILD_TYPE=Debug -DSUITE_WERROR="$werror" -DSUITE_DIRS="$dirs"
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")

cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DSUITE_SANITIZE=ON -DSUITE_WERROR="$werror" -DSUITE_DIRS="$dirs"
cmake --build build-asan -j"$jobs"
(cd build-asan && ctest --output-on-failure -j"$jobs")
