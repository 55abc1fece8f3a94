#!/usr/bin/env bash
# Fails when a file under src/transport, src/store, src/core or src/exchange includes a window
# header: a Qt Widgets or Qt Print Support header, or a header of the window layers (ui,
# shell, viewer, composer, addressbook, emoticons). Those layers report to windows through
# signals only, and the command line runs them without any window.
# Usage: scripts/check-layers.sh [SRC_DIR [QT_INCLUDE_DIR]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
src=${1:-$root/src}
qt=${2:-$(dirname "$(find /usr/include -maxdepth 4 -type d -name QtWidgets -print -quit)")}
window_modules=(QtWidgets QtPrintSupport QtOpenGLWidgets)
window_layers='^(ui|shell|viewer|composer|addressbook|emoticons)/'

is_window_header() {
  local name=$1
  [[ $name =~ $window_layers ]] && return 0
  local module
  for module in "${window_modules[@]}"; do
    [[ $name == "$module"/* || $name == "$module" ]] && return 0
    [[ $name != */* && -e "$qt/$module/$name" ]] && return 0
  done
  return 1
}

status=0
while IFS= read -r -d '' file; do
  while IFS= read -r line; do
    name=$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1/' <<<"$line")
    if is_window_header "$name"; then
      echo "${file#"$src"/}: includes the window header $name" >&2
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' "$file" || true)
done < <(find "$src/transport" "$src/store" "$src/core" "$src/exchange" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

if [[ $status -eq 0 ]]; then
  echo "transport/, store/, core/ and exchange/ include no window header"
fi
exit $status
