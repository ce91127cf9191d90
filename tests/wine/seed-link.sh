#!/usr/bin/env bash
# e:\autorun.inf is a symbolic link to d:\precious.inf, which holds something worth keeping.
set -euo pipefail
sandbox=$1
echo "keep me" >"$sandbox/d/precious.inf"
ln -s "$sandbox/d/precious.inf" "$sandbox/e/autorun.inf"
