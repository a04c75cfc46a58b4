#!/bin/bash
# Static checks and a memory check: clang-tidy (settings in .clang-tidy) on
# the code that builds on Linux, cppcheck on everything, and valgrind's
# memcheck on the converter with the bundled sample. Exits non-zero on any
# finding. Installs what is missing first.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
for tool in clang-tidy cppcheck valgrind; do command -v "$tool" >/dev/null || need+=("$tool"); done
if [ ${#need[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq && apt-get install -y -qq "${need[@]}" >/dev/null
fi

cmake --preset linux >/dev/null
cmake --build --preset linux --target kartovo-convert >/dev/null
status=0
checks=0
failed=0
note() { checks=$((checks + 1)); if [ "$1" != 0 ]; then failed=$((failed + 1)); status=1; fi; }

echo "== clang-tidy"
# The *_win.cpp units need the Windows headers, and web/Entry.cpp
# Emscripten's; those builds keep them warning-free with -Wall -Wextra.
mapfile -t sources < <(git ls-files 'text/*.cpp' 'conversion/*.cpp' 'cli/*.cpp' 'web/*.cpp' |
  grep -v -e '_win\.cpp$' -e '^web/Entry\.cpp$')
out=$(clang-tidy -p build/linux --quiet "${sources[@]}" 2>/dev/null | grep -E 'warning:|error:' || true)
[ -z "$out" ] || echo "$out"
note "$([ -z "$out" ] && echo 0 || echo 1)"

echo "== cppcheck"
set +e
cppcheck --quiet --enable=warning,performance,portability --std=c++20 --language=c++ --inline-suppr \
  --error-exitcode=1 -I text -I conversion -I cli -I resources -I app -I web --suppress=missingIncludeSystem \
  text conversion cli app web
note $?

echo "== valgrind memcheck"
valgrind --quiet --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite,indirect \
  build/linux/cli/kartovo-convert --yes samples/contacts.vcf build/linux/lint-contacts.csv >/dev/null
note $?
set -e

echo "lint: $((checks - failed)) passed, $failed failed"
exit $status
