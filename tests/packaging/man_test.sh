#!/usr/bin/env bash
# Manual pages: every listed program this build has owns a page source that
# renders, names every option the program's usage text shows (and those it
# accepts without showing them), and is linked from the README.
build=$1 source=$2
. "$(dirname "$0")/lib.sh"
load_programs "$build"
set -f  # options such as "/?" are words, not patterns

# Option words of a usage text: "/R", "/OP12", "/T1=", "/b", "--seed=",
# "--truth"; a word must stand after a blank or a bracket (not "./name").
usage_options() {
  grep -oE '(^|[][ 	(|])(/[A-Za-z?][A-Za-z0-9?]*=?|--[a-z][a-z-]*=?)' "$1" | sed -E 's/^[][ 	(|]//' | sort -u
}

# Whether the page source names an option as a word of its own: "/OP1" must
# not be found inside "/OP12".
page_names() {
  local page=$1 option=$2 quoted
  quoted=$(printf '%s' "$option" | sed -E 's/[][\.*^$?/+(){}|]/\\&/g')
  if [[ $option =~ [A-Za-z0-9]$ ]]; then
    grep -qE "(^|[^A-Za-z0-9])$quoted([^A-Za-z0-9]|$)" "$page"
  else
    grep -qE "(^|[^A-Za-z0-9])$quoted" "$page"
  fi
}

scdoc=$(command -v scdoc || true)
for i in "${!names[@]}"; do
  name=${names[$i]} page=${pages[$i]}
  [ "${kinds[$i]}" = companion ] && continue
  if [ ! -f "$page" ]; then
    fail "$name has no manual page source $page"
    continue
  fi
  # A body line starting with a roff control character vanishes from the
  # rendered page (scdoc escapes them in literal blocks only).
  awk -v quote="'" '/^```/ { literal = !literal; next }
                    !literal && $0 ~ "^\t?[." quote "]" { print FNR ": " $0 }' "$page" >"$scratch/control"
  [ -s "$scratch/control" ] && fail "$page: lines starting with . or ' vanish: $(cat "$scratch/control")"
  if [ -n "$scdoc" ]; then
    "$scdoc" <"$page" >"$scratch/$name.1" 2>"$scratch/scdoc.err" || fail "$page does not render: $(cat "$scratch/scdoc.err")"
    grep -qF ".TH \"$name\" \"1\"" "$scratch/$name.1" || fail "$page is not titled $name(1)"
  fi
  usage_status "${files[$i]}" >/dev/null
  # A usage text may name the program by the path it was started with.
  sed -i "s|${files[$i]}|$name|g" "$scratch/usage.out"
  options=$(usage_options "$scratch/usage.out")
  for option in $options ${extras[$i]}; do
    page_names "$page" "$option" || fail "$name accepts $option but its page $page does not name it"
  done
  grep -qF "man/$name.1.scd" "$source/README.md" || fail "README does not link man/$name.1.scd"
done
finish
