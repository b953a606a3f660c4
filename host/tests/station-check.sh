#!/usr/bin/env bash
# The installer's one-command check of a station's camera, as the README gives it: VeskWorkbench
# with the demonstration configuration presses Take Picture by itself once the dialog is
# connected, and must exit 0 having filed one decodable picture 800 pixels high.
#   station-check.sh WORKBENCH DEMO_FOLDER
set -euo pipefail
workbench="$1"
demo="$2"
folder="$(mktemp -d)"
trap 'rm -rf "$folder"' EXIT
mkdir -p "$folder/captures/import" "$folder/runtime"
chmod 700 "$folder/runtime"
cd "$folder"
export VESK_REGISTRY="$folder/registry.ini" XDG_RUNTIME_DIR="$folder/runtime"
timeout -k 5 120 "$workbench" --config "$demo/workbench.ini" --station Demo --shoot-after 2
djpeg -pnm -outfile picture.pnm captures/import/1.jpg
size="$(head -c 64 picture.pnm | sed -n 2p)"
echo "station check: 1.jpg decodes as ${size}"
[ "${size#* }" = "800" ]
