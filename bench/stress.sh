#!/usr/bin/env bash
# Feeds kartovo-convert huge and hostile inputs, each at full size and at a
# tenth of it, and checks that every run ends well with a sane CSV, that time
# grows no faster than the input, and that memory stays within four times
# the file.
#
# usage: bench/stress.sh [-c CONVERTER] [-o OUTDIR] [-d DIVISOR] [-r RUNS] [-t SECONDS] [-k] [CASE ...]
#   -d divides every size (-d 100 for a quick try), -r runs each size
#   RUNS times and keeps the best (3), -t limits one conversion (900 s),
#   -k keeps the CSVs.
#   CASE defaults to all; -l lists them.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
converter=build/linux/cli/kartovo-convert
outdir=$here/out
divisor=1
limit=900
runs=3
keep=0

# name | full size (the generator's unit) | what the input is
all_cases=(
  "long-line|200000000|one 200 MB line, no line break"
  "long-field|200000000|one contact whose name line is 200 MB"
  "open-card|5000000|5 million lines of one contact, no end line"
  "empty-lines|10000000|10 million empty lines"
  "tiny-contacts|10000000|10 million tiny contacts"
  "random|100000000|100 MB of random bytes"
  "random-no-zero|100000000|100 MB of random bytes, no zero byte"
  "cr-only|1000000|1 MB of CR only"
  "cr-contacts|100000|100,000 tiny contacts with CR-only line ends"
  "quotes|50000000|50 MB of names and addresses made of quotes and semicolons"
  "fold-lone|100000000|a single continuation line of 100 MB"
  "fold-chain|2000000|a name folded over 2 million lines"
  "fold-blank|10000000|10 million lines holding only a fold's blank"
  "fold-mixed|10000000|10 million folds after CR, LF and CR LF, blanks and tabs"
  "falling-labels|2000000|a contact of a million relation labels in falling item order"
  "other-labels|2000000|a contact of 2 million labels of distinct item numbers, no relation"
  "qp-value|30000000|an Android note of 30 MB, quoted-printable over soft breaks"
  "qp-breaks|5000000|a quoted-printable value of 5 million soft breaks alone"
  "many-addresses|1000000|an iPhone card of a million home addresses"
  "many-relations|1000000|an iPhone card of a million related names and labels, out of step"
)

usage() { sed -n '7,11s/^# \{0,1\}//p' "$0"; }

while getopts c:o:d:t:r:klh opt; do
  case $opt in
    c) converter=$OPTARG ;;
    o) outdir=$OPTARG ;;
    d) divisor=$OPTARG ;;
    t) limit=$OPTARG ;;
    r) runs=$OPTARG ;;
    k) keep=1 ;;
    l) printf '%s\n' "${all_cases[@]}" | awk -F'|' '{ printf "%-15s %s\n", $1, $3 }'; exit 0 ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
for v in "$divisor" "$limit" "$runs"; do
  [[ $v =~ ^[1-9][0-9]*$ ]] || { echo "stress.sh: not a positive number: $v" >&2; exit 2; }
done

cases=()
if [ $# -eq 0 ]; then
  cases=("${all_cases[@]}")
else
  for want in "$@"; do
    found=''
    for c in "${all_cases[@]}"; do [ "${c%%|*}" = "$want" ] && found=$c; done
    [ -n "$found" ] || { echo "stress.sh: unknown case: $want (-l lists them)" >&2; exit 2; }
    cases+=("$found")
  done
fi

case $converter in
  /*) ;;
  ./*|../*) converter=$PWD/$converter ;;
  *) converter=$root/$converter ;;
esac
if [ ! -x "$converter" ]; then
  echo "stress.sh: converter not found or not executable: $converter" >&2
  echo "stress.sh: build it with: cmake --preset linux && cmake --build --preset linux" >&2
  exit 2
fi
[ -x /usr/bin/time ] || { echo "stress.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 2; }
command -v python3 >/dev/null || { echo "stress.sh: python3 is missing" >&2; exit 2; }

mkdir -p "$outdir"
gen_hash=$(sha1sum "$here/gen_stress.py" | cut -c1-10)
header=$outdir/stress-header.bin
python3 - "$header" <<'EOF'
import sys
text = '"フリガナ","氏名","敬称","郵便番号","住所1","住所2","連名1","連名2","連名3","連名4"\r\n'
open(sys.argv[1], "wb").write(text.encode("cp932"))
EOF
[ "$(stat -c %s "$header")" -eq 85 ] || { echo "stress.sh: the expected header is not 83 bytes + CR LF" >&2; exit 2; }

calc() { awk "BEGIN { $1 }"; }

# Makes (or reuses) the input; sets src and expect (a count, or "any").
generate() {
  local name=$1 size=$2
  src=$outdir/stress-$name-$size-$gen_hash.vcf
  if [ ! -s "$src" ] || [ ! -s "$src.count" ]; then
    rm -f "$outdir"/stress-"$name"-"$size"-*.vcf "$outdir"/stress-"$name"-"$size"-*.vcf.count
    echo "generating $name ($size)" >&2
    # Under temporary names: an interrupted run must leave no file that a
    # later one would take as complete.
    python3 "$here/gen_stress.py" "$name" "$size" -o "$src.tmp" >"$src.count.tmp"
    mv "$src.tmp" "$src"
    mv "$src.count.tmp" "$src.count"
  fi
  expect=$(cat "$src.count")
}

# One conversion of src; sets wall_ms, user_ms, sys_ms, rss_kb, count (the
# number the converter reported) and problems (empty when all checks pass).
convert_once() {
  local tag=$1
  local csv=$outdir/stress-$tag.csv tv=$outdir/stress-$tag.time log=$outdir/stress-$tag.log
  local times=$outdir/stress-$tag.times rc=0
  rm -f "$csv"
  problems=''
  count=''
  # The shell's own timing has milliseconds; /usr/bin/time gives the peak
  # memory and how the program ended.
  TIMEFORMAT='%3R %3U %3S'
  { time timeout "$limit" /usr/bin/time -v -o "$tv" "$converter" --yes "$src" "$csv" </dev/null >"$log" 2>&1; } \
    2>"$times" || rc=$?
  read -r wall_ms user_ms sys_ms < <(awk '{ printf "%d %d %d\n", $1 * 1000, $2 * 1000, $3 * 1000 }' "$times")
  rss_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tv" 2>/dev/null || true)
  [ -n "$rss_kb" ] || rss_kb=0
  if [ "$rc" -eq 124 ]; then
    problems="timed out after $limit s"
    return
  fi
  if grep -q 'terminated by signal' "$tv" 2>/dev/null; then
    problems="crashed ($(grep -o 'signal [0-9]*' "$tv"))"
    return
  fi
  if [ "$rc" -ne 0 ]; then
    problems="exit status $rc: $(head -c 200 "$log" | tr '\n' ' ')"
    return
  fi
  if ! cmp -s -n 85 "$header" "$csv"; then
    problems="CSV does not start with the header"
    return
  fi
  count=$(sed -n 's/^\([0-9][0-9]*\)件の連絡先を変換しました$/\1/p' "$log")
  if [ -z "$count" ]; then
    problems="no count message: $(head -c 200 "$log" | tr '\n' ' ')"
  elif [ "$expect" != any ] && [ "$count" != "$expect" ]; then
    problems="reported $count contacts, expected $expect"
  else
    # Field values never hold a line break, so the CSV has one per contact
    # and one for the header.
    local lines
    lines=$(tr -cd '\n' <"$csv" | wc -c)
    [ "$lines" -eq $((count + 1)) ] || problems="CSV has $lines lines for $count contacts"
  fi
  [ "$keep" -eq 1 ] || rm -f "$csv"
}

# The best of RUNS conversions: the least of each time, the most memory.
convert() {
  local tag=$1 runs=$2 i best_wall='' best_user='' best_sys='' most_rss=0
  for ((i = 1; i <= runs; i++)); do
    convert_once "$tag"
    [ -z "$problems" ] || return 0
    if [ -z "$best_wall" ] || [ "$wall_ms" -lt "$best_wall" ]; then best_wall=$wall_ms; fi
    if [ -z "$best_user" ] || [ "$user_ms" -lt "$best_user" ]; then best_user=$user_ms; fi
    if [ -z "$best_sys" ] || [ "$sys_ms" -lt "$best_sys" ]; then best_sys=$sys_ms; fi
    if [ "$rss_kb" -gt "$most_rss" ]; then most_rss=$rss_kb; fi
  done
  wall_ms=$best_wall user_ms=$best_user sys_ms=$best_sys rss_kb=$most_rss
}

# The memory of a run that converts nothing, so that small inputs are not
# judged by the program's start-up.
src=$outdir/stress-empty.vcf
: >"$src"
expect=0
convert empty 1
[ -z "$problems" ] || { echo "stress.sh: the empty file already fails: $problems" >&2; exit 1; }
base_kb=$rss_kb

ratio() { if [ "$2" -gt 0 ]; then calc "printf \"%.1f\", $1 / $2"; else echo n/a; fi; }

rows=()
failed=0
for c in "${cases[@]}"; do
  IFS='|' read -r name full what <<<"$c"
  size=$((full / divisor))
  tenth=$((size / 10))
  [ "$tenth" -ge 16 ] || { echo "stress.sh: $name is too small at -d $divisor" >&2; exit 2; }

  # Best of several runs on both sides: on a virtual machine the first touch
  # of fresh memory is slow, and more so the more of it there is.
  generate "$name" "$tenth"
  convert "$name-tenth" "$runs"
  small_problems=$problems small_wall=$wall_ms small_user=$user_ms small_sys=$sys_ms

  generate "$name" "$size"
  bytes=$(stat -c %s "$src")
  convert "$name" "$runs"
  echo "done: $name" >&2

  verdict=()
  [ -z "$small_problems" ] || verdict+=("tenth: $small_problems")
  [ -z "$problems" ] || verdict+=("$problems")
  # Judged on user time, the program's own work: the system time of
  # handing out memory grows faster than the memory on a virtual machine.
  user_x=$(ratio "$user_ms" "$small_user")
  if [ "$small_user" -ge 20 ] && calc "exit !($user_x > 11)"; then verdict+=("superlinear: user time ×$user_x"); fi
  rss_x=$(calc "printf \"%.2f\", $rss_kb * 1024 / $bytes")
  above_x=$(calc "printf \"%.2f\", ($rss_kb - $base_kb) * 1024 / $bytes")
  # A few hundred kilobytes more are the allocator's, whatever the file.
  if [ $((rss_kb - base_kb)) -ge 1024 ] && calc "exit !($above_x > 4)"; then
    verdict+=("memory ${above_x}× the file")
  fi
  [ ${#verdict[@]} -eq 0 ] || failed=1
  result=ok
  [ ${#verdict[@]} -eq 0 ] || result=$(IFS=';'; echo "**${verdict[*]}**" | sed 's/;/; /g')

  rows+=("| $name | $what | $(calc "printf \"%.1f\", $bytes / 1048576") \
| $(calc "printf \"%.3f\", $wall_ms / 1000") | $(calc "printf \"%.3f\", $user_ms / 1000") \
| $(calc "printf \"%.3f\", $sys_ms / 1000") | $(calc "printf \"%.1f\", $rss_kb / 1024") | $rss_x | $above_x \
| $(ratio "$wall_ms" "$small_wall") / $user_x / $(ratio "$sys_ms" "$small_sys") | ${count:-—} | $result |")
done

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
echo
echo "Sizes divided by $divisor; best of $runs run(s) at each size; ${cpu:-unknown CPU}, $(nproc) cores, $(date +%Y-%m-%d)."
echo "Peak RSS of a run on an empty file: $(calc "printf \"%.1f\", $base_kb / 1024") MiB (start-up)."
echo
echo "| case | input | file MiB | wall s | user s | sys s | peak RSS MiB | RSS / file | RSS above start-up / file | ×10 input: wall / user / sys × | contacts | result |"
echo "|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---|"
printf '%s\n' "${rows[@]}"
exit "$failed"
