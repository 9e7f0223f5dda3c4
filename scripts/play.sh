#!/bin/sh
# Installs what is missing, builds, generates the assets and starts the game.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build"
exec ./jadeturtle
