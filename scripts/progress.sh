# shellcheck shell=bash
# A sign of life from long steps, so that no log stands still for more than
# half a minute: a person watching thinks a silent run hangs, and a CI
# runner gives up on a job that prints nothing for some minutes. Source it.
#
#   COMMAND 2>&1 | progress WHAT
#       shows every line as it comes; after 25 s without one, a line
#       "  ... still WHAT (2 min 10 s)"
#   COMMAND 2>&1 | tee LOG | progress WHAT PATTERN
#       for a step whose output goes to a log: shows nothing but, every
#       20 s, "  ... still WHAT (2 min 10 s): LINE", LINE the last one that
#       matched PATTERN (an extended regular expression): how far it got;
#       an empty PATTERN shows the time alone
#
# The filter ends when COMMAND's output does; COMMAND's status is in
# ${PIPESTATUS[0]} (or the pipeline's, under pipefail). The second kind
# speaks sooner, so that inside a step watched by the first (a stage of
# scripts/test.sh) its line, which says more, comes first.

progress_silence=25 progress_every=20

# progress_time SECONDS: "40 s", "2 min 10 s".
progress_time() {
  if [ "$1" -lt 60 ]; then echo "$1 s"; else echo "$(($1 / 60)) min $(($1 % 60)) s"; fi
}

progress() {
  local what="$1" pattern="${2:-}" quiet=false line partial="" latest=""
  local started=$SECONDS shown=$SECONDS wait got
  local every=$progress_silence
  [ $# -lt 2 ] || quiet=true every=$progress_every
  while :; do
    wait=$((shown + every - SECONDS))
    if ((wait <= 0)); then
      line="  ... still $what ($(progress_time $((SECONDS - started))))"
      [ -z "$latest" ] || line+=": $latest"
      printf '%s\n' "$line"
      shown=$SECONDS wait=$every
    fi
    got=0
    IFS= read -r -t "$wait" line || got=$?
    if ((got > 128)); then  # the time is up: keep what came of a line
      partial+="$line"
      continue
    fi
    line="$partial$line" partial=""
    if ! $quiet; then
      if ((got == 0)) || [ -n "$line" ]; then printf '%s\n' "$line"; fi
      shown=$SECONDS
    elif [ -n "$pattern" ] && [[ "$line" =~ $pattern ]]; then
      line="${line//[$'\t\r']/ }"
      line="${line#"${line%%[! ]*}"}"
      latest="${line:0:120}"
    fi
    ((got == 0)) || break  # the end of the output
  done
}
