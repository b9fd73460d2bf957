#!/usr/bin/env bash
# Round trip of one script through the separate tools: compile, assemble,
# disassemble, turn the listing back into assembly text (each offset becomes
# a label) and reassemble it. The bytecode and the annotated listing must come
# out the same and the listing's strings must be the compiler's; then the
# script runs, and what vskrun prints is this script's output.
#
# Usage: roundtrip.sh BIN_DIR SOURCE.vsk
set -u
bin=$1 src=$2
base=${src%.vsk}
fail() {
  echo "roundtrip: $*" >&2
  exit 99
}

# Listing -> assembly: "N:<tab>instr [arg]<tab>|annotation" becomes a label
# @N and the instruction; jump targets become references to those labels.
relabel() {
  awk -F'\t' '
    /^[0-9]+:\t/ {
      print "@" substr($1, 1, length($1) - 1)
      instr = $2
      if (instr ~ /^jump/) sub(/ /, " @", instr)
      print "\t" instr (NF > 2 ? "\t" $3 : "")
      next
    }
    { print }'
}

# The string section: the count line and the string lines.
strings() { grep -E "^[!'\"]" "$1"; }

"$bin/vskparse" "$src" "$base.vasm" || fail "vskparse failed"
"$bin/vskasm" "$base.vasm" "$base.vo" "$base.vdb" || fail "vskasm failed"
"$bin/vskdeasm" "$base.vo" "$base.vdb" "$base.lst" || fail "vskdeasm failed"
diff -u <(strings "$base.vasm") <(strings "$base.lst") >&2 || fail "listed strings differ"
relabel <"$base.lst" >"$base.re.vasm"
"$bin/vskasm" "$base.re.vasm" "$base.re.vo" "$base.re.vdb" || fail "reassembly failed"
cmp "$base.vo" "$base.re.vo" >&2 || fail "reassembled bytecode differs"
"$bin/vskdeasm" "$base.re.vo" "$base.re.vdb" "$base.re.lst" || fail "vskdeasm failed"
diff -u "$base.lst" "$base.re.lst" >&2 || fail "listing of the reassembled bytecode differs"
exec "$bin/vskrun" "$base.vo" "$base.vdb"
