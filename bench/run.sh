#!/usr/bin/env bash
# Time kartovo-convert on generated Google Contacts exports and compare it
# with plain iconv, which is the floor for "read UTF-8, write code page 932",
# with the Windows build of the same converter under Wine, and with
# Kartovo.html in headless Chromium.
#
# usage: bench/run.sh [-c CONVERTER] [-w WINDOWS_CONVERTER] [-b PAGE] [-s SEED] [-r RUNS] [-o OUTDIR] [N ...]
#   N defaults to 10000 100000 1000000.  Nothing is built here: build the
#   converters first (cmake --preset linux && cmake --build --preset linux,
#   the same with the windows and web presets, and npm ci in tests/web);
#   -w '' leaves Wine out, -b '' the browser.
set -euo pipefail
export LC_ALL=C

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(dirname "$here")
converter=build/linux/cli/kartovo-convert
windows=build/windows/cli/kartovo-convert.exe
page=build/web/Kartovo.html
seed=1
runs=3
outdir=$here/out

usage() { sed -n '7,11s/^# \{0,1\}//p' "$0"; }

while getopts c:w:b:s:r:o:h opt; do
  case $opt in
    c) converter=$OPTARG ;;
    w) windows=$OPTARG ;;
    b) page=$OPTARG ;;
    s) seed=$OPTARG ;;
    r) runs=$OPTARG ;;
    o) outdir=$OPTARG ;;
    h) usage; exit 0 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(10000 100000 1000000)

for v in "$seed" "$runs" "${sizes[@]}"; do
  [[ $v =~ ^[0-9]+$ ]] || { echo "run.sh: not a number: $v" >&2; exit 2; }
done
[ "$runs" -ge 1 ] || { echo "run.sh: -r must be at least 1" >&2; exit 2; }

# A relative converter path means relative to the repository root, so the
# default works from any directory; an explicit ./path is taken as given.
absolute() {
  case $1 in
    /*) echo "$1" ;;
    ./*|../*) echo "$PWD/$1" ;;
    *) echo "$root/$1" ;;
  esac
}
converter=$(absolute "$converter")
[ -z "$windows" ] || windows=$(absolute "$windows")
[ -z "$page" ] || page=$(absolute "$page")
if [ ! -x "$converter" ]; then
  echo "run.sh: converter not found or not executable: $converter" >&2
  echo "run.sh: build it with: cmake --preset linux && cmake --build --preset linux" >&2
  exit 2
fi
if [ ! -x /usr/bin/time ]; then
  echo "run.sh: /usr/bin/time is missing (apt-get install time)" >&2
  exit 2
fi
for tool in python3 iconv; do
  command -v "$tool" >/dev/null || { echo "run.sh: $tool is missing" >&2; exit 2; }
done

mkdir -p "$outdir"

# The generator's hash is part of the cache key: a changed generator must not
# be measured against a stale file with the same N and seed.
gen_hash=$(sha1sum "$here/gen_vcards.py" | cut -c1-10)

now_ns() { date +%s%N; }
fmt_s() { awk -v ns="$1" 'BEGIN { printf "%.3f", ns / 1e9 }'; }
div() { awk -v a="$1" -v b="$2" -v f="$3" 'BEGIN { if (b == 0) print "n/a"; else printf f, a / b }'; }

# The Windows build runs under Wine with a server kept warm for the whole
# benchmark; the time it takes to start and convert an empty file is taken
# off each run, so what is compared is the conversion.
wine_run=$root/cmake/wine-run.sh
startup_ns=''
if [ -n "$windows" ] && [ ! -f "$windows" ]; then
  echo "run.sh: no $windows; timing without Wine (build the windows preset, or pass -w '')" >&2
  windows=''
fi
if [ -n "$windows" ]; then
  "$wine_run" "$windows" --help >/dev/null 2>&1 ||
    { echo "run.sh: $windows does not run under Wine" >&2; exit 2; }
  "$wine_run" --default-prefix="$(dirname "$(dirname "$windows")")/wineprefix" --wineserver -p </dev/null >/dev/null 2>&1 || true
  trap '"$wine_run" --default-prefix="$(dirname "$(dirname "$windows")")/wineprefix" --wineserver -k >/dev/null 2>&1 || true' EXIT
  : >"$outdir/empty.vcf"
  for ((i = 1; i <= runs + 2; i++)); do
    t0=$(now_ns)
    "$wine_run" "$windows" --yes "$outdir/empty.vcf" "$outdir/empty.csv" </dev/null >/dev/null 2>&1 ||
      { echo "run.sh: $windows failed on an empty file" >&2; exit 1; }
    t=$(( $(now_ns) - t0 ))
    if [ -z "$startup_ns" ] || [ "$t" -lt "$startup_ns" ]; then startup_ns=$t; fi
  done
fi

# The page runs in one browser for the whole benchmark, started here and fed
# a file at a time; it times each conversion inside the page.
if [ -n "$page" ] && { [ ! -f "$page" ] || [ ! -d "$root/tests/web/node_modules" ]; }; then
  echo "run.sh: no $page or no browser driver; timing without the browser (build the web preset and run npm ci in tests/web, or pass -b '')" >&2
  page=''
fi
if [ -n "$page" ]; then
  coproc PAGE { exec node "$here/page-time.mjs" "$page"; }
fi

rows=()
prev_n='' prev_conv='' prev_cpu=''
growth_lines=()

# The contacts of size $1 in shape $2 (google or android), generated once.
generated() {
  local file=$outdir/contacts-$1-s$seed-$2-$gen_hash.vcf
  if [ ! -s "$file" ]; then
    rm -f "$outdir"/contacts-"$1"-s"$seed"-"$2"-*.vcf
    echo "generating $1 contacts ($2) -> $file" >&2
    local t0
    t0=$(now_ns)
    # Written under a temporary name so an interrupted run leaves no
    # truncated file that a later run would take for a cached one.
    python3 "$here/gen_vcards.py" "$1" --seed "$seed" --shape "$2" -o "$file.tmp" >&2
    mv "$file.tmp" "$file"
    echo "  generated in $(fmt_s $(( $(now_ns) - t0 ))) s" >&2
  fi
  echo "$file"
}

for n in "${sizes[@]}"; do
  src=$(generated "$n" google)
  # The same contacts as Android's own export writes them: the second
  # reading's cost is the difference between the two.
  asrc=$(generated "$n" android)
  bytes=$(stat -c %s "$src")
  csv=$outdir/out-$n.csv
  acsv=$outdir/out-$n-android.csv
  tv=$outdir/time-$n.txt
  log=$outdir/convert-$n.log

  best_conv='' best_cpu='' peak_kb=0 best_android='' best_iconv='' best_win='' best_page='' page_kb=0
  # iconv writes its output to a file too, as the converter does: the floor
  # is reading one file and writing another, not writing to /dev/null.
  iconv_out=$outdir/iconv-$n.txt
  wcsv=$outdir/out-$n-windows.csv
  pcsv=$outdir/out-$n-page.csv

  # The converter from $1 to $2: sets t (ns), cpu_ms and the peak RSS.
  run_converter() {
    rm -f "$2"
    t0=$(now_ns)
    if ! /usr/bin/time -v -o "$tv" "$converter" --yes "$1" "$2" </dev/null >"$log" 2>&1; then
      t=$(( $(now_ns) - t0 ))
      echo "run.sh: converter failed on $1 after $(fmt_s $t) s:" >&2
      tail -n 20 "$log" >&2
      grep -E 'exit|signal' "$tv" >&2 || true
      exit 1
    fi
    t=$(( $(now_ns) - t0 ))
    if [ ! -s "$2" ]; then
      echo "run.sh: converter exited 0 but wrote no $2" >&2
      exit 1
    fi
    kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$tv")
    [ -n "$kb" ] || { echo "run.sh: no peak RSS in $tv" >&2; exit 1; }
    if [ "$kb" -gt "$peak_kb" ]; then peak_kb=$kb; fi
    # CPU time as well as wall time: on a shared 2-core machine a concurrent
    # build inflates wall time, and CPU time shows whether that is all it was.
    cpu_ms=$(awk -F': ' '/User time|System time/ { s += $2 } END { printf "%d", s * 1000 }' "$tv")
  }

  time_converter() {
    run_converter "$src" "$csv"
    if [ -z "$best_conv" ] || [ "$t" -lt "$best_conv" ]; then best_conv=$t; fi
    if [ -z "$best_cpu" ] || [ "$cpu_ms" -lt "$best_cpu" ]; then best_cpu=$cpu_ms; fi
  }

  time_android() {
    run_converter "$asrc" "$acsv"
    if [ -z "$best_android" ] || [ "$t" -lt "$best_android" ]; then best_android=$t; fi
  }

  time_iconv() {
    rm -f "$iconv_out"
    t0=$(now_ns)
    # -c drops what code page 932 lacks (emoji); glibc then exits 1, which is
    # expected here.  Anything above 1 means iconv itself broke.
    rc=0
    # Under /usr/bin/time like the converter, so both pay its start-up.
    /usr/bin/time -v -o "$tv" iconv -c -f UTF-8 -t CP932 "$src" >"$iconv_out" 2>/dev/null || rc=$?
    t=$(( $(now_ns) - t0 ))
    if [ "$rc" -gt 1 ]; then echo "run.sh: iconv failed ($rc) on $src" >&2; exit 1; fi
    if [ -z "$best_iconv" ] || [ "$t" -lt "$best_iconv" ]; then best_iconv=$t; fi
  }

  time_windows() {
    rm -f "$wcsv"
    t0=$(now_ns)
    "$wine_run" "$windows" --yes "$src" "$wcsv" </dev/null >"$log" 2>&1 ||
      { echo "run.sh: the Windows converter failed on $n contacts:" >&2; tail -n 20 "$log" >&2; exit 1; }
    t=$(( $(now_ns) - t0 - startup_ns ))
    if [ -z "$best_win" ] || [ "$t" -lt "$best_win" ]; then best_win=$t; fi
  }

  time_page() {
    # The first round keeps the page's CSV, to be compared below.
    local request=$src
    if [ "$1" = 1 ]; then rm -f "$pcsv"; request=$src$'\t'$pcsv; fi
    echo "$request" >&"${PAGE[1]}"
    local ms kb
    IFS=$'\t' read -r ms kb <&"${PAGE[0]}" || { echo "run.sh: the browser stopped on $n contacts" >&2; exit 1; }
    [ "$ms" != error ] || { echo "run.sh: the page failed on $n contacts: $kb" >&2; exit 1; }
    t=$(awk -v ms="$ms" 'BEGIN { printf "%d", ms * 1e6 }')
    if [ -z "$best_page" ] || [ "$t" -lt "$best_page" ]; then best_page=$t; fi
    if [ "$kb" -gt "$page_kb" ]; then page_kb=$kb; fi
  }

  # Taken in turn within each round, so that a burst of load from another
  # user of the machine falls on all of them alike, not on one alone.
  for ((i = 1; i <= runs; i++)); do
    time_converter
    time_android
    time_iconv
    if [ -n "$windows" ]; then time_windows; fi
    if [ -n "$page" ]; then time_page "$i"; fi
  done
  rm -f "$iconv_out"

  # The same contacts make the same rows, whoever wrote them.
  cmp -s "$csv" "$acsv" || { echo "run.sh: the CSV from Android's shape differs from Google's: $acsv" >&2; exit 1; }

  win_cells='| — | — '
  if [ -n "$windows" ]; then
    # The same bytes on both platforms, or the timing means nothing.
    cmp -s "$csv" "$wcsv" || { echo "run.sh: the Windows CSV differs from the native one: $wcsv" >&2; exit 1; }
    win_cells="| $(fmt_s "$best_win") | $(div "$best_win" "$best_conv" '%.2f') "
  fi

  page_cells='| — | — | — '
  if [ -n "$page" ]; then
    cmp -s "$csv" "$pcsv" || { echo "run.sh: the page's CSV differs from the native one: $pcsv" >&2; exit 1; }
    page_cells="| $(fmt_s "$best_page") | $(div "$best_page" "$best_conv" '%.2f') | $(div "$(( page_kb * 1024 ))" "$bytes" '%.2f') "
  fi

  growth='—'
  if [ -n "$prev_n" ]; then
    growth=$(div "$best_conv" "$prev_conv" '%.2f')
    growth_lines+=("time($n)/time($prev_n) = $growth, CPU $(div "$best_cpu" "$prev_cpu" '%.2f') (input ×$(div "$n" "$prev_n" '%g'))")
  fi
  rows+=("| $n | $(div "$bytes" 1048576 '%.1f') \
| $(fmt_s "$best_conv") | $(div "$best_cpu" 1000 '%.2f') | $(fmt_s "$best_android") | $(div "$best_android" "$best_conv" '%.2f') \
| $(fmt_s "$best_iconv") | $(div "$best_conv" "$best_iconv" '%.2f') \
${win_cells}${page_cells}| $(div "$bytes" "$(( best_conv / 1000 ))" '%.0f') \
| $(div "$peak_kb" 1024 '%.1f') | $(div "$(( peak_kb * 1024 ))" "$bytes" '%.2f') | $growth |")
  prev_n=$n prev_conv=$best_conv prev_cpu=$best_cpu
  echo "done: $n contacts" >&2
done

cpu=$(awk -F': ' '/model name/ { print $2; exit }' /proc/cpuinfo 2>/dev/null || true)
echo
echo "Best of $runs runs (wall clock, and user+system CPU); peak RSS is the largest over the converter runs."
echo "Android's shape: the same contacts as Android's own export writes them (vCard 2.1, its values quoted-printable); its CSV is the other one byte for byte."
if [ -n "$page" ]; then
  echo "Browser: Kartovo.html in headless Chromium, timed inside the page from \"変換\" to the count (reading the file, converting, the CSV ready to save); its CSV is the native one byte for byte; memory is how much Chromium's processes grew meanwhile, over the file."
fi
if [ -n "$windows" ]; then
  echo "Windows: the .exe under Wine, less $(fmt_s "$startup_ns") s of start-up (the best time for an empty file); its CSV is the native one byte for byte."
fi
echo "Seed $seed, ${cpu:-unknown CPU}, $(nproc) cores, $(date +%Y-%m-%d)."
echo
echo "| contacts | file MiB | convert s | convert CPU s | Android's shape s | Android/Google | iconv s | convert/iconv | Windows s | Windows/native | browser s | browser/native | browser memory/file | convert MB/s | peak RSS MiB | peak RSS/file | time growth vs previous row |"
echo "|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
printf '%s\n' "${rows[@]}"
if [ ${#growth_lines[@]} -gt 0 ]; then
  echo
  printf '%s\n' "${growth_lines[@]}"
fi
