#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program on a data folder
# (created when it does not exist). Usage: scripts/start.sh [DATA_FOLDER]
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
folder="${1:-$HOME/curanote-data}"
bash "$root/scripts/deps.sh" --run-only
bash "$root/scripts/build.sh"
mkdir -p "$folder"
cd "$folder"
exec "$root/build/bin/curanote"
