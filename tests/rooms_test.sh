#!/usr/bin/env bash
# The rooms of src/ stand on one another in one order: a room includes its
# own headers and those of rooms below it, never those of a room above it or
# beside it. The window-free rooms name no window system's or GL's header.
set -u
src=${1:?usage: rooms_test.sh SRC_DIR}
declare -A floor=([loader]=0 [base]=1 [scene]=2 [view]=3 [info]=3 [images]=4
  [render]=5 [platform]=5 [modes]=6 [viewer]=7)
windowfree="loader base scene view info"
failed=0
for dir in "$src"/*/; do
  room=$(basename "$dir")
  if [ -z "${floor[$room]:-}" ]; then
    echo "src/$room: a room without a floor in $0"
    failed=1
    continue
  fi
  while IFS=: read -r file line text; do
    to=$(sed -E 's/^#include "([a-z_]+)\/.*/\1/' <<<"$text")
    if [ -z "${floor[$to]:-}" ]; then
      echo "$file:$line: $text names no room"
      failed=1
    elif [ "$to" != "$room" ] && [ "${floor[$to]}" -ge "${floor[$room]}" ]; then
      echo "$file:$line: $room includes $to, which is not below it"
      failed=1
    fi
  done < <(grep -nE '^#include "' "$dir"* /dev/null)
  if [[ " $windowfree " == *" $room "* ]] &&
    grep -nE '^#include [<"](GL/|SDL|EGL/|KHR/|X11/)' "$dir"*; then
    echo "src/$room is window-free, yet names a window system's header"
    failed=1
  fi
done
exit $failed
