#!/bin/bash
# Converts the bundled sample address book with kartovo-convert and shows the
# CSV it wrote (converted back to UTF-8 for the terminal).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux >/dev/null
cmake --build --preset linux --target kartovo-convert >/dev/null
build/linux/cli/kartovo-convert --yes samples/contacts.vcf build/contacts.csv
echo "--- build/contacts.csv (CP932, shown as UTF-8):"
iconv -f CP932 -t UTF-8 build/contacts.csv
