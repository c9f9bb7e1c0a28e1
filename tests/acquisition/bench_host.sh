#!/usr/bin/env bash
# Figures only: the host's curl and sha1sum on a 50 MB module served by the
# loopback dev CDN, to compare with the launcher's own figures.
#   bench_host.sh SERVERS_DIR CDN_PORT
set -euo pipefail
servers=${1:?servers dir}
port=${2:?CDN port}
folder=$servers/cdn/bench-host/d1
mkdir -p "$folder"
head -c 50000000 /dev/urandom >"$folder/win64"
if ! command -v curl >/dev/null; then
  echo "benchmark: host curl not installed, no comparison figure"
  rm -f "$folder/win64"
  exit 0
fi
rate=$(curl -s --cacert "$servers/ca/ca.pem" -o /dev/null -w '%{speed_download}' \
  "https://localhost:$port/modules/bench-host/d1/win64")
echo "benchmark: host curl, 50 MB from the loopback CDN: $(awk -v r="$rate" 'BEGIN{printf "%.1f", r/1e6}') MB/s"
start=$(date +%s.%N)
sha1sum "$folder/win64" >/dev/null
end=$(date +%s.%N)
echo "benchmark: host sha1sum: $(awk -v s="$start" -v e="$end" 'BEGIN{printf "%.1f", 50/(e-s)}') MB/s"
rm -f "$folder/win64"
