#!/bin/sh
# exit_watch.sh SECONDS COMMAND...: runs COMMAND, passing on its standard
# output and error and its exit status, and ends it when it has printed its
# summary line ("N checks, M failed") but has not exited SECONDS seconds
# later. A program ended so exits this script with status 125 and the line
# "exit-watch: ..." on standard error, which cmake/run_scenario.cmake reports
# and scripts/test.sh takes as a reason to run the test once more.
#
# Under Wine, corvane-sim now and then prints every check and its summary
# and then never exits; without this the test would wait out its whole
# timeout.
grace=$1
shift
dir=$(mktemp -d) || exit 2
trap 'rm -rf "$dir"' EXIT
"$@" >"$dir/out" 2>"$dir/err" &
pid=$!
(
  seen=
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$seen" ] && grep -Eq '^[0-9]+ checks, [0-9]+ failed' "$dir/out" 2>/dev/null; then
      seen=$(date +%s)
    fi
    if [ -n "$seen" ] && [ $(($(date +%s) - seen)) -ge "$grace" ]; then
      # What its threads were doing, for telling a hang of ours from one of
      # Wine's: each thread's name, state and kernel wait channel.
      for t in /proc/"$pid"/task/*; do
        [ -r "$t/stat" ] || continue
        echo "  thread ${t##*/}: $(cut -d' ' -f2-3 "$t/stat" 2>/dev/null)," \
          "waiting in $(cat "$t/wchan" 2>/dev/null)"
      done >"$dir/ended"
      kill -KILL "$pid" 2>/dev/null
      exit 0
    fi
    sleep 0.5
  done
) &
watcher=$!
wait "$pid" 2>/dev/null
rc=$?
kill "$watcher" 2>/dev/null
wait "$watcher" 2>/dev/null
cat "$dir/out"
cat "$dir/err" >&2
if [ -e "$dir/ended" ]; then
  echo "exit-watch: $1 printed its summary but had not exited $grace s later: ended" >&2
  cat "$dir/ended" >&2
  exit 125
fi
exit "$rc"
