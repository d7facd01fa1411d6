#!/bin/sh
# Renders velkor-sim's three kinds of report (a single run, a sweep and a
# jitter-tolerance search) and takes a full-page screenshot of each in headless
# Chromium, so that the figures can be looked at again after a change.
#   tools/screenshots.sh RELEASE_BUILD_DIR OUTPUT_DIR      (make screenshots runs it)
set -eu
build=$1
out=$2
sim="$build/tools/velkor-sim"
browser=$(command -v chromium || command -v chromium-browser || true)
if [ -z "$browser" ]; then
  echo "screenshots: Chromium is not installed (Debian package chromium)" >&2
  exit 1
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
echo "Running the demo, a sweep and a jitter-tolerance search into $out ..."
"$sim" --bits 200000 --out "$out/demo" >"$out/demo.log"
"$sim" sweep --grid loss=6,12,18,30 --grid CDR_Threshold=2,3 --bits 60000 --jobs 2 --out "$out/sweep" \
  >"$out/sweep.log" 2>&1
"$sim" jtol --sj-freqs 100k,1M,3M,10M,30M,100M,300M --target-ber 1e-3 --bits 30000 --max-sj 2 \
  --resolution 0.05 --jobs 2 --out "$out/jtol" >"$out/jtol.log" 2>&1
shot() {  # shot PAGE.html PNG WIDTH HEIGHT
  "$browser" --headless --no-sandbox --disable-gpu --hide-scrollbars --window-size="$3,$4" \
    --screenshot="$2" "file://$1" >/dev/null 2>&1
}
# The whole pages (two 640-pixel figures a row), then each figure on its own at full size.
for page in demo:3300 sweep:3600 jtol:1500; do
  name=${page%%:*}
  shot "$out/$name/report.html" "$out/$name.png" 1400 "${page#*:}"
  echo "  $out/$name.png"
  mkdir -p "$out/figures"
  awk -v dir="$out/figures" -v page="$name" '
    /<figure/ { n++; file = sprintf("%s/%s-%02d.html", dir, page, n)
                print "<!DOCTYPE html><html><head><meta charset=\"utf-8\"/><style>body{margin:0;font-family:sans-serif}figcaption{width:640px;font-size:90%}</style></head><body>" > file }
    file != "" { print > file }
    /<\/figure>/ && file != "" { print "</body></html>" > file; close(file); file = "" }
  ' "$out/$name/report.html"
done
for figure in "$out"/figures/*.html; do
  shot "$figure" "${figure%.html}.png" 700 540
done
echo "  $out/figures/*.png (each figure alone)"
