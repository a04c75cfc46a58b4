#!/bin/bash
# Builds the libFuzzer targets (fuzz/) with clang in build/fuzz and runs each
# for SECONDS_PER_TARGET (default 60), JOBS targets at a time (default 1).
# Prints the executions per target and in total; exits non-zero on any
# crash, timeout, leak or running out of memory, leaving the input that did
# it in build/fuzz/artifacts.
#
#   scripts/fuzz.sh [SECONDS_PER_TARGET] [JOBS]
#
# Inputs found interesting are kept in build/fuzz/corpus-work between runs;
# the seeds in fuzz/corpus are only ever copied from.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
jobs=${2:-1}
case "$seconds$jobs" in *[!0-9]*) echo "usage: $0 [SECONDS_PER_TARGET] [JOBS]" >&2; exit 2 ;; esac

missing=()
for p in clang libclang-rt-14-dev cmake make; do
  if [ "$(dpkg-query -W -f='${db:Status-Status}' "$p" 2>/dev/null)" != installed ]; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "fuzz.sh: needs ${missing[*]}; run as root to install them" >&2
    exit 1
  fi
  echo "fuzz.sh: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq "${missing[@]}" >/dev/null
fi

build=build/fuzz
# The libraries are defined before fuzz/ is read, so their instrumentation
# can only come from the global flags: without fuzzer-no-link the fuzzers
# would get no coverage from the code they are meant to explore.
flags="-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
cmake -S . -B "$build" -G "Unix Makefiles" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DKARTOVO_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null

# target:max_len. Lengths cover several folded cards for the whole
# conversion and comfortably more than any real value or path otherwise.
targets=(conversion_fuzzer:4096 components_fuzzer:512 utf8_fuzzer:1024 extension_fuzzer:512 template_fuzzer:4096)
names=()
for t in "${targets[@]}"; do names+=("${t%%:*}"); done
cmake --build "$build" --parallel "$jobs" --target "${names[@]}"

mkdir -p "$build/artifacts" "$build/logs"

run_one() {
  local name=$1 max_len=$2
  local work="$build/corpus-work/$name"
  mkdir -p "$work"
  cp -n fuzz/corpus/"$name"/* "$work"/ 2>/dev/null || true
  local dict=()
  [ -f "fuzz/$name.dict" ] && dict=("-dict=fuzz/$name.dict")
  # A few seconds per input is far beyond any honest one (they take
  # microseconds); 1 GB leaves room for ASan's own bookkeeping.
  "$build/fuzz/$name" "$work" "${dict[@]}" \
    -max_len="$max_len" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=1024 \
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" \
    >"$build/logs/$name.log" 2>&1
}

# Runs every target, at most $jobs at once, and remembers each exit status.
declare -A status
pids=()
declare -A pidName
for t in "${targets[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do sleep 1; done
  run_one "${t%%:*}" "${t##*:}" &
  pidName[$!]=${t%%:*}
  pids+=($!)
done
for pid in "${pids[@]}"; do
  if wait "$pid"; then status[${pidName[$pid]}]=0; else status[${pidName[$pid]}]=$?; fi
done

total=0
failed=0
for name in "${names[@]}"; do
  log="$build/logs/$name.log"
  execs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  execs=${execs:-0}
  total=$((total + execs))
  if [ "${status[$name]}" -eq 0 ]; then
    printf '%-20s %12s executions\n' "$name" "$execs"
  else
    failed=1
    printf '%-20s %12s executions  FAILED (exit %s), see %s\n' "$name" "$execs" "${status[$name]}" "$log"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|.*broken:|artifact_prefix|Test unit written)' "$log" | head -n 8 | sed 's/^/    /'
  fi
done
printf '%-20s %12s executions\n' total "$total"
exit $failed
