#!/usr/bin/env bash
# Starts a viewer with the frame counter preloaded and the launch time noted.
export START_NS=$(date +%s%N)
exec env LD_PRELOAD="$SWAPCOUNT_LIB${LD_PRELOAD:+:$LD_PRELOAD}" "$@"
