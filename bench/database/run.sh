#!/usr/bin/env bash
# bench/database/run.sh BUILD_DIR: listing a 10,000-row library against the sqlite3 tool.
set -euo pipefail
exec "$1/bench/database/database_bench"
