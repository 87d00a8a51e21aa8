#!/usr/bin/env bash
# Rewrites the seed corpora under fuzz/corpus/ from the program's own writers
# and the data tool's encoders (fuzz/MakeCorpus.cpp). Findings kept as
# regression inputs (regress-*) and inputs the fuzzers grew and a corpus merge
# kept (grown-*) are left alone.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build}"
cmake -S "$root" -B "$build" >/dev/null
cmake --build "$build" --target fuzz_make_corpus -j"$(nproc)"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
"$build/fuzz/fuzz_make_corpus" "$tmp"
for dir in "$tmp"/*/; do
  t="$(basename "$dir")"
  mkdir -p "$root/fuzz/corpus/$t"
  find "$root/fuzz/corpus/$t" -type f ! -name 'regress-*' ! -name 'grown-*' -delete
  cp "$dir"* "$root/fuzz/corpus/$t/"
done
total=$(du -sb "$root/fuzz/corpus" | cut -f1)
echo "corpus: $(find "$root/fuzz/corpus" -type f | wc -l) files, $total bytes"
[ "$total" -le $((2 * 1024 * 1024)) ] || { echo "corpus over 2 MiB" >&2; exit 1; }
