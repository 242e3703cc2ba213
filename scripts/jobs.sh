#!/usr/bin/env bash
# Prints how many jobs the builds and test runs use: TAMBOURELLE_JOBS when set (a machine
# shared with others), otherwise every core.
set -euo pipefail
jobs="${TAMBOURELLE_JOBS:-$(nproc)}"
if ! [[ $jobs =~ ^[1-9][0-9]*$ ]]; then
  echo "TAMBOURELLE_JOBS must be a whole number of jobs from 1 up, not '$jobs'" >&2
  exit 2
fi
echo "$jobs"
