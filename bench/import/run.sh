#!/usr/bin/env bash
# Import benchmarks: the sign of a 2 GB file and the import of 20 clips, each against a shell
# baseline run in the same invocation, and the import's peak memory.
set -euo pipefail
BUILD=${1:?usage: run.sh BUILD_DIR}
exec "$BUILD/bench/import/import_bench"
