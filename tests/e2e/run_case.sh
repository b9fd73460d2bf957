#!/usr/bin/env bash
# End-to-end test runner: runs one command in a fresh temporary directory and
# compares what it did with expected files.
#
# Usage:
#   run_case.sh [options] EXPECTED -- COMMAND [ARG...]
#
# EXPECTED is a path prefix; these files are compared when they exist
# (a missing .out/.err means "expect nothing", a missing .status means 0):
#   EXPECTED.out     standard output
#   EXPECTED.err     standard error
#   EXPECTED.status  exit status (one number)
#
# Options:
#   -i FILE          copy FILE into the temporary directory before running
#                    (repeatable; COMMAND runs there, so ARGs can name it)
#   -f NAME=FILE     after running, compare the produced file NAME (relative
#                    to the temporary directory) with FILE (repeatable)
#   -s TEXT=REPL     replace TEXT with REPL in every compared output
#                    (repeatable; e.g. -s /path/to/bin/prog=prog)
#   -e VAR=VALUE     set an environment variable for COMMAND (repeatable)
#
# Before comparing, the temporary directory's path (as given and with
# symbolic links resolved) is replaced with <TMP> everywhere, then the -s
# substitutions apply. On a mismatch the differences are printed and the
# status is 1; status 0 means everything matched.
set -u

inputs=() files=() subs=() envs=()
while getopts "i:f:s:e:" opt; do
  case $opt in
    i) inputs+=("$OPTARG") ;;
    f) files+=("$OPTARG") ;;
    s) subs+=("$OPTARG") ;;
    e) envs+=("$OPTARG") ;;
    *) echo "run_case.sh: bad option" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
if [ $# -lt 3 ] || [ "$2" != "--" ]; then
  sed -n '2,/^set -u/p' "$0" | sed '$d' >&2
  exit 2
fi
expected=$1
shift 2

tmp=$(mktemp -d) || exit 2
trap 'rm -rf "$tmp"' EXIT
realtmp=$(cd "$tmp" && pwd -P)
for f in "${inputs[@]+"${inputs[@]}"}"; do
  cp "$f" "$tmp/" || exit 2
done

(cd "$tmp" && env "${envs[@]+"${envs[@]}"}" "$@" >"$tmp/.stdout" 2>"$tmp/.stderr")
status=$?

# Prints file $1 with the paths normalised.
normalise() {
  local text
  text=$(cat "$1"; printf x)
  text=${text%x}
  text=${text//"$realtmp"/<TMP>}
  text=${text//"$tmp"/<TMP>}
  local s
  for s in "${subs[@]+"${subs[@]}"}"; do
    text=${text//"${s%%=*}"/"${s#*=}"}
  done
  printf '%s' "$text"
}

failed=0
# compare WHAT ACTUAL-FILE EXPECTED-FILE
compare() {
  local exp=$3
  [ -e "$exp" ] || exp=/dev/null
  if ! diff -u --label "expected $1" --label "actual $1" "$exp" <(normalise "$2"); then
    failed=1
  fi
}

compare stdout "$tmp/.stdout" "$expected.out"
compare stderr "$tmp/.stderr" "$expected.err"
want=0
[ -e "$expected.status" ] && want=$(tr -d ' \n' <"$expected.status")
if [ "$status" != "$want" ]; then
  echo "exit status: expected $want, got $status"
  failed=1
fi
for f in "${files[@]+"${files[@]}"}"; do
  name=${f%%=*}
  if [ -e "$tmp/$name" ]; then
    compare "$name" "$tmp/$name" "${f#*=}"
  else
    echo "file $name was not produced"
    failed=1
  fi
done
exit $failed
