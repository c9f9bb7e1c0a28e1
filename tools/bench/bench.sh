#!/usr/bin/env bash
# Benchmarks of whole launches and of the acquisition steps, each run several
# times in the caller's Wine session and display (./dev bench prepares them).
# Samples go to OUT/samples.jsonl, one JSON object a line; report.py turns
# them into the table and OUT/results.json.
#   bench.sh BUILD_DIR OUT_DIR CDN_PORT COLLECTOR_PORT [RUNS]
#
# Where each figure comes from:
#   first frame        host clock just before `wine` starts the launcher, to
#                      the launcher's own "First splash frame presented." log
#                      line (UTC milliseconds, verbose run);
#   launch overhead    host clock before `wine`, to the demo game's own start
#                      time (--start-file); the reference starts the demo game
#                      directly the same way. The native module path (the
#                      product under Wine) and the Windows module path (the
#                      test build TavrinLauncherPe with the test PKI's signed
#                      module and its root trusted in the prefix), with the
#                      Windows path's signature check and mapping as a step
#                      (its own log line);
#   idle CPU           utime + stime of the launcher's Wine process in /proc
#                      over 10 s (waiting for the game: the Windows path);
#   peak memory        VmHWM of the Wine process in /proc, polled;
#   download, decode, SHA-1   BenchAcquisition (the launcher's own code),
#                      against host curl, a memcpy and host sha1sum;
#   cached module      BenchAcquisition: probe (read, SHA-1) and load (decode)
#                      of a 5 MB cached module by the launcher's own code.
# The platform's floors, measured beside the figures they bound, each the
# least a program of the same build does for the same step:
#   SDL floor          BenchSdlFloor (the same SDL build, window and
#                      renderer): host clock before `wine` to its first
#                      presented frame, and its idle CPU in the same 16 ms loop;
#   transfer floor     BenchTransferFloor (the same libcurl, TLS back-end and
#                      options): one 304 revalidation, a 50 MB download;
#   game-start floor   BenchGameStarter: CreateProcessW with the launcher's
#                      flags to the demo game's own start time;
#   imports floor      BenchImportsFloor, compiled here with the imports of
#                      the launcher under test: host clock before `wine` to
#                      its first output, beside the launcher's "Log file open".
# TAVRIN_BENCH_ONLY limits the run to some parts (names at the end of this
# file); TAVRIN_BENCH_LAUNCHER and TAVRIN_BENCH_LAUNCHER_PE run other builds
# of the launcher and of its Windows-module-path test build.
# TAVRIN_BENCH_MODULE names the plain (not encoded) module a launch serves;
# without it the launch serves the native demo module, and when no game process
# is created the launch rows say so instead of failing.
set -uo pipefail

build=${1:?build dir}
out=${2:?output dir}
cdn_port=${3:?CDN port}
collector_port=${4:?collector port}
runs=${5:-5}
cpu_runs=$((runs < 3 ? runs : 3))
idle_window=${TAVRIN_BENCH_IDLE_SECONDS:-10}
tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
servers=$out/servers
demo=$out/demo
samples=$out/samples.jsonl
title="Tavrin Bench"
deployment=bench-deployment
say() { echo "bench: $*" >&2; }

mkdir -p "$out"
: >"$samples"

# --- samples -------------------------------------------------------------------

sample() { # figure role value [source]
  printf '{"figure": "%s", "role": "%s", "value": %s, "source": "%s"}\n' "$1" "$2" "$3" "${4:-}" >>"$samples"
}

unavailable() { # figure why
  printf '{"figure": "%s", "role": "unavailable", "why": "%s"}\n' "$1" "$2" >>"$samples"
  say "$1: $2"
}

note() { # figure key value: a breakdown step, in the figure's unit
  printf '{"figure": "%s", "role": "step", "step": "%s", "value": %s}\n' "$1" "$2" "$3" >>"$samples"
}

now_us() { echo $(($(date +%s%N) / 1000)); }
seconds() { awk -v us="$1" 'BEGIN{printf "%.4f", us/1e6}'; }

# --- the Wine side -----------------------------------------------------------------

winpath() { local p=$1; echo "Z:${p//\//\\}"; }

roaming() {
  find "$WINEPREFIX/drive_c/users" -maxdepth 3 -type d -path '*/AppData/Roaming' 2>/dev/null | head -n 1
}

product_folder() { echo "$(roaming)/Tavrin/$1"; }
log_of() { echo "$(product_folder "$1")/$deployment/anticheatlauncher.log"; }

write_settings() { # product [wait_for_exit]
  cat >"$demo/Tavrin/Settings.json" <<EOF
{
    "title": "$title",
    "executable": "DemoGame.exe",
    "productid": "$1",
    "sandboxid": "bench-sandbox",
    "deploymentid": "$deployment",
    "environment": "gamedev",
    "wait_for_game_process_exit": "${2:-false}"
}
EOF
}

# Starts a program of the demo folder; sets started_us and pid (the Wine
# process itself: `wine` execs into it).
pid=
started_us=
start_program() { # exe args...
  local exe=$1
  shift
  started_us=$(now_us)
  (cd "$demo" && exec wine "$exe" "$@" </dev/null >>"$out/wine.log" 2>&1) &
  pid=$!
}

alive() { kill -0 "$pid" 2>/dev/null; }

# As a player would (Alt+F4 on the splash), then by force.
close_launcher() {
  local wid
  wid=$(xdotool search --name "^$title\$" 2>/dev/null | head -n 1 || true)
  [ -n "$wid" ] && xdotool key --window "$wid" alt+F4 2>/dev/null
  for _ in $(seq 50); do alive || break; sleep 0.1; done
  alive && kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}

wait_gone() { # seconds
  for _ in $(seq $(($1 * 10))); do alive || break; sleep 0.1; done
  alive && kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
}

# The launcher's log as text without carriage returns.
log_text() { tr -d '\r' 2>/dev/null <"$1"; }

wait_for_log() { # log pattern seconds
  for _ in $(seq $(($3 * 10))); do
    log_text "$1" | grep -q -- "$2" && return 0
    alive || { log_text "$1" | grep -q -- "$2"; return; }
    sleep 0.1
  done
  return 1
}

# Microseconds since 1970 of the first log line matching pattern. Log times
# are UTC of the day; a line before the launch start belongs to the next day.
log_time_us() { # log pattern
  local stamp
  stamp=$(log_text "$1" | grep -m1 -- "$2" | sed -nE 's/^\[([0-9]{2}):([0-9]{2}):([0-9]{2}):([0-9]{3})\].*/\1 \2 \3 \4/p')
  [ -n "$stamp" ] || return 1
  local day
  day=$(date -u -d @$((started_us / 1000000)) +%F)
  awk -v s="$stamp" -v day0="$(date -u -d "$day 00:00:00" +%s)" -v t0="$started_us" 'BEGIN{
    split(s, p, " "); us = (day0 + p[1]*3600 + p[2]*60 + p[3]) * 1e6 + p[4]*1000;
    if (us < t0 - 43200e6) us += 86400e6; printf "%.0f", us }'
}

cpu_ticks() { # pid: utime + stime of every thread
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
  stat=${stat##*) }
  awk '{print $12 + $13}' <<<"$stat"
}

# "tid name ticks" for every thread of the process.
thread_ticks() { # pid
  local task stat
  for task in /proc/"$1"/task/*; do
    stat=$(cat "$task/stat" 2>/dev/null) || continue
    echo "${task##*/} $(tr ' ' '_' <"$task/comm" 2>/dev/null) $(awk '{print $12 + $13}' <<<"${stat##*) }")"
  done
}

# Percent of one core over the idle window, or nothing when the process
# ended. The busiest threads become steps of the figure.
idle_cpu_percent() { # figure
  local hz before after threads_before
  hz=$(getconf CLK_TCK)
  threads_before=$(thread_ticks "$pid")
  before=$(cpu_ticks "$pid") || return 1
  sleep "$idle_window"
  after=$(cpu_ticks "$pid") || return 1
  join <(sort <<<"$threads_before") <(thread_ticks "$pid" | sort) |
    awk -v hz="$hz" -v w="$idle_window" '{d = ($5 - $3) / hz / w * 100; if (d > 0) printf "%s %.2f\n", $2, d}' |
    sort -k2 -rn | head -n 3 | while read -r name percent; do note "$1" "thread $name" "$percent"; done
  awk -v b="$before" -v a="$after" -v hz="$hz" -v w="$idle_window" 'BEGIN{printf "%.2f", (a-b)/hz/w*100}'
}

vm_hwm_kb() { sed -nE 's/^VmHWM:[[:space:]]+([0-9]+) kB/\1/p' "/proc/$1/status" 2>/dev/null; }

# Polls VmHWM until the process ends or the log shows the launch result, and
# prints the last value seen, in MB.
peak_mb_until_result() { # log
  local peak=0 v
  for _ in $(seq 600); do
    v=$(vm_hwm_kb "$pid")
    [ -n "$v" ] && peak=$v
    if ! alive || log_text "$1" | grep -q 'Launcher finished with'; then break; fi
    sleep 0.1
  done
  v=$(vm_hwm_kb "$pid")
  [ -n "$v" ] && peak=$v
  awk -v k="$peak" 'BEGIN{printf "%.1f", k/1024}'
}

# --- the modules the CDN serves ------------------------------------------------------

# Random bytes are the encoded form of some module: enough for the download,
# decoding and checksum figures, and for a launch that fails at mapping.
serve_random() { # product system bytes
  local dir=$servers/cdn/$1/$deployment
  mkdir -p "$dir"
  head -c "$3" /dev/urandom >"$dir/$2"
  echo "$dir/$2"
}

# The native demo module (it asks for the game and confirms), padded with
# zeros to the size asked for: the bytes past its segments are never mapped.
serve_launch_module() { # product bytes
  local dir=$servers/cdn/$1/$deployment plain
  mkdir -p "$dir"
  plain=$(mktemp)
  cp "${TAVRIN_BENCH_MODULE:-$build/nativemodules/tavrin_native_demo.so}" "$plain"
  [ "$(stat -c %s "$plain")" -lt "$2" ] && truncate -s "$2" "$plain"
  python3 "$tools/modpack/modpack.py" "$plain" "$dir/linux64"
  rm -f "$plain"
}

# --- the platform's floors ---------------------------------------------------------

# One entry point per DLL the launcher imports (bench_imports_floor_win.cpp);
# a DLL without one is noted, and the floor then imports less than the launcher.
floor_import_libs() { # launcher exe
  local dll
  for dll in $(x86_64-w64-mingw32-objdump -p "$1" | sed -nE 's/^[[:space:]]*DLL Name: (.*)\.dll$/\1/ip' | tr 'A-Z' 'a-z'); do
    case $dll in
      kernel32 | msvcrt | gdi32 | user32 | shell32) ;;
      advapi32 | bcrypt | crypt32 | imm32 | ole32 | oleaut32 | setupapi | version | winmm | ws2_32)
        echo "$dll" ;;
      *) say "imports floor: no entry point known for $dll.dll" ;;
    esac
  done
}

# The floor with the imports of the launcher the bench runs, built like it
# (static runtime, window subsystem, the same compiler).
build_imports_floor() {
  local libs=() defines=() dll
  for dll in $(floor_import_libs "$demo/TavrinLauncher.exe"); do
    defines+=("-DFLOOR_IMPORT_$(tr 'a-z' 'A-Z' <<<"$dll")")
    libs+=("-l$dll")
  done
  x86_64-w64-mingw32-g++-posix -std=c++20 -O2 -municode -mwindows -static -static-libgcc -static-libstdc++ \
    -DUNICODE -D_UNICODE -DWIN32_LEAN_AND_MEAN "${defines[@]}" "$tools/bench/bench_imports_floor_win.cpp" \
    -o "$demo/BenchImportsFloor.exe" -lgdi32 -luser32 -lshell32 "${libs[@]}" -s
}

# Seconds from the host clock before `wine` to the time a floor program
# wrote to its file, or nothing when it wrote none.
floor_seconds() { # file
  [ -s "$1" ] && seconds $(($(tr -dc '0-9' <"$1") - started_us))
}

# Starts the SDL floor for stay_ms and sets frame_seconds to its first frame;
# fails when it presented none. Not in a subshell: pid stays this shell's.
frame_seconds=
sdl_floor_frame() { # stay_ms
  local frame_file=$out/floor-frame.txt
  rm -f "$frame_file"
  start_program BenchSdlFloor.exe "$(winpath "$frame_file")" "$1"
  for _ in $(seq 300); do
    [ -s "$frame_file" ] && break
    alive || break
    sleep 0.05
  done
  frame_seconds=$(floor_seconds "$frame_file")
}

imports_floor_output() {
  local output_file=$out/floor-output.txt
  rm -f "$output_file"
  start_program BenchImportsFloor.exe "$(winpath "$output_file")"
  wait_gone 20
  floor_seconds "$output_file"
}

# CreateProcessW with the launcher's flags to the demo game's own start.
game_start_floor() {
  local request_file=$out/floor-request.txt start_file=$out/game-start.txt
  rm -f "$request_file" "$start_file"
  start_program BenchGameStarter.exe "$(winpath "$request_file")" DemoGame.exe \
    --start-file "$(winpath "$start_file")" --exit-after-ms 300
  wait_gone 20
  [ -s "$request_file" ] && [ -s "$start_file" ] &&
    seconds $(($(tr -dc '0-9' <"$start_file") - $(tr -dc '0-9' <"$request_file")))
}

# One process of the transfer floor; prints its JSON line.
transfer_floor() { # mode url [etag]
  wine "$demo/BenchTransferFloor.exe" "$1" "$2" "$(winpath "$servers/ca/ca.pem")" "${@:3}" \
    </dev/null 2>>"$out/wine.log" | tr -d '\r' | grep '^{'
}

json_seconds() { python3 -c 'import json, sys; print(json.loads(sys.stdin.read())["seconds"])'; }

# --- figures ---------------------------------------------------------------------------

bench_size() {
  local stripped=$out/TavrinLauncher.stripped.exe
  x86_64-w64-mingw32-strip -o "$stripped" "$build/bin/TavrinLauncher.exe"
  sample size value "$(awk -v b="$(stat -c %s "$stripped")" 'BEGIN{printf "%.2f", b/1048576}')" "stripped file"
  rm -f "$stripped"
}

bench_acquisition() {
  local served rate
  served=$(serve_random bench-acq win64 50000000)
  local tool_out=$out/acquisition.jsonl
  if ! wine "$build/bin/BenchAcquisition.exe" bench-acq "$deployment" win64 "$(winpath "$served")" "$runs" \
    </dev/null >"$tool_out" 2>>"$out/wine.log"; then
    say "BenchAcquisition failed (see $out/wine.log)"
  fi
  tr -d '\r' <"$tool_out" | python3 -c '
import json, sys
for line in sys.stdin:
    line = line.strip()
    if not line.startswith("{"):
        continue
    s = json.loads(line)
    if s["figure"] in ("cached_module", "first_touch"):
        figure = {"cached_module": "cached_module", "first_touch": "floor_first_touch"}[s["figure"]]
        print(json.dumps({"figure": figure, "role": "value", "value": round(s["seconds"] * 1e3, 2),
                          "source": "BenchAcquisition"}))
        continue
    mb = s["bytes"] / 1e6 / s["seconds"] if s["seconds"] > 0 else 0
    figure, role = {"download": ("download", "value"), "decode": ("decode", "value"),
                    "memcpy": ("decode", "reference"), "sha1": ("sha1", "value")}[s["figure"]]
    print(json.dumps({"figure": figure, "role": role, "value": round(mb, 1), "source": "BenchAcquisition"}))
' >>"$samples"
  local url="https://localhost:$cdn_port/modules/bench-acq/$deployment/win64" line
  for _ in $(seq "$runs"); do
    rate=$(curl -s --cacert "$servers/ca/ca.pem" -o /dev/null -w '%{speed_download}' "$url") || continue
    sample download reference "$(awk -v r="$rate" 'BEGIN{printf "%.1f", r/1e6}')" "host curl"
    line=$(transfer_floor download "$url") &&
      sample floor_download value "$(json_seconds <<<"$line" | awk '{printf "%.1f", 50e6/1e6/$1}')" \
        "BenchTransferFloor"
  done
  for _ in $(seq "$runs"); do
    local t0 t1
    t0=$(now_us)
    sha1sum "$served" >/dev/null
    t1=$(now_us)
    sample sha1 reference "$(awk -v us=$((t1 - t0)) 'BEGIN{printf "%.1f", 50e6/1e6/(us/1e6)}')" "host sha1sum"
  done
  rm -f "$served"
}

# Verbose runs on the error screen of a product without a module (404).
bench_first_frame() {
  write_settings bench-missing
  local log at
  log=$(log_of bench-missing)
  for _ in $(seq "$runs"); do
    rm -f "$log"
    start_program TavrinLauncher.exe -v
    if wait_for_log "$log" 'First splash frame presented' 30; then
      at=$(log_time_us "$log" 'First splash frame presented')
      sample first_frame value "$(seconds $((at - started_us)))" "launcher log"
      local step
      for step in 'Log file open' 'Embedded resources successfully loaded' 'Loader component initialized'; do
        at=$(log_time_us "$log" "$step") && note first_frame "$step" "$(seconds $((at - started_us)))"
      done
      at=$(log_time_us "$log" 'Log file open') && sample first_log value "$(seconds $((at - started_us)))" "launcher log"
    else
      say "first frame: no frame logged"
    fi
    close_launcher
    # The platform's share of both, in turn with the launcher.
    local floor
    sdl_floor_frame 0 && sample floor_first_frame value "$frame_seconds" "BenchSdlFloor"
    wait_gone 20
    floor=$(imports_floor_output) && sample floor_first_output value "$floor" "BenchImportsFloor"
    # What Wine alone takes to start a minimal window program, for comparison.
    local start_file=$out/game-start.txt
    rm -f "$start_file"
    start_program DemoGame.exe --start-file "$(winpath "$start_file")" --exit-after-ms 300
    wait_gone 20
    [ -s "$start_file" ] && note first_frame "demo game started directly" \
      "$(seconds $(($(tr -dc '0-9' <"$start_file") - started_us)))"
  done
}

bench_idle_error() { # launcher exe, figure
  write_settings bench-missing
  local log cpu
  log=$(log_of bench-missing)
  for _ in $(seq "$cpu_runs"); do
    rm -f "$log"
    start_program "$1"
    if wait_for_log "$log" 'Launcher finished with' 30; then
      sleep 3 # the error screen's fades
      cpu=$(idle_cpu_percent "$2") && sample "$2" value "$cpu" "/proc utime+stime"
    else
      say "$2: no error screen"
    fi
    close_launcher
    # The same 16 ms loop around an SDL window and nothing else.
    if sdl_floor_frame $(((idle_window + 6) * 1000)) && sleep 3 &&
      cpu=$(idle_cpu_percent floor_idle); then
      sample floor_idle value "$cpu" "/proc utime+stime"
    fi
    wait_gone $((idle_window + 20))
  done
}

bench_peak_memory() {
  write_settings bench-big
  serve_random bench-big linux64 50000000 >/dev/null
  local log peak
  log=$(log_of bench-big)
  for _ in $(seq "$cpu_runs"); do
    rm -rf "$(product_folder bench-big)"
    start_program TavrinLauncher.exe
    peak=$(peak_mb_until_result "$log")
    sample peak_memory value "$peak" "/proc VmHWM"
    close_launcher
  done
  for _ in $(seq "$cpu_runs"); do
    start_program DemoGame.exe --exit-after-ms 2000
    local top=0 v
    while alive; do
      v=$(vm_hwm_kb "$pid")
      [ -n "$v" ] && top=$v
      sleep 0.1
    done
    wait "$pid" 2>/dev/null || true
    sample peak_memory reference "$(awk -v k="$top" 'BEGIN{printf "%.1f", k/1024}')" "/proc VmHWM"
  done
  rm -rf "$servers/cdn/bench-big"
}

# One launch whose game writes its start time; prints microseconds from the
# launcher's start to the game's, or fails when no game process was created.
launch_to_game() { # launcher product extra game args...
  local launcher=$1 log start_file
  log=$(log_of "$2")
  shift 2
  start_file=$out/game-start.txt
  rm -f "$start_file" "$log"
  start_program "$launcher" --start-file "$(winpath "$start_file")" "$@"
  # The native path may leave before the game it created has written its
  # start time: a launcher that is gone gets 5 s more for it.
  local gone=0
  for _ in $(seq 300); do
    [ -s "$start_file" ] && break
    log_text "$log" | grep -q 'Launcher finished with' && ! log_text "$log" | grep -q 'Launcher finished with: 301' && break
    alive || gone=$((gone + 1))
    [ "$gone" -gt 50 ] && break
    sleep 0.1
  done
  if [ ! -s "$start_file" ]; then
    close_launcher
    return 1
  fi
  echo $(($(tr -dc '0-9' <"$start_file") - started_us))
}

# Fresh and cache-hit launches of one launcher build and module path, then
# the idle CPU while that launcher waits for a game that never shows its
# window. The native path under Wine leaves once the module has confirmed,
# so only the Windows path has a wait to measure.
# With floors set, the game-start and revalidation floors of the same module
# are measured in turn with the direct starts.
launches_of() { # launcher product fresh_figure cache_figure waiting_figure [floors]
  local launcher=$1 product=$2 fresh=$3 cache=$4 waiting=$5 floors=${6:-} us
  local module_url etag
  module_url="https://localhost:$cdn_port/modules/$product/$deployment/linux64"
  # The development CDN's ETag: the quoted SHA-1 of the served file.
  etag="\"$(sha1sum "$servers/cdn/$product/$deployment/linux64" 2>/dev/null | cut -d' ' -f1)\""
  rm -rf "$(product_folder "$product")"
  if ! us=$(launch_to_game "$launcher" "$product" --exit-after-ms 1500); then
    unavailable "$fresh" "module path not available"
    unavailable "$cache" "module path not available"
    return
  fi
  wait_gone 20
  sample "$fresh" value "$(seconds "$us")" "host clock to game start"
  for _ in $(seq $((runs - 1))); do
    rm -rf "$(product_folder "$product")"
    us=$(launch_to_game "$launcher" "$product" --exit-after-ms 1500) &&
      sample "$fresh" value "$(seconds "$us")" "host clock to game start"
    wait_gone 20
  done
  # The last fresh launch left the module in the cache.
  local mapped_ms
  for _ in $(seq "$runs"); do
    us=$(launch_to_game "$launcher" "$product" --exit-after-ms 1500) &&
      sample "$cache" value "$(seconds "$us")" "host clock to game start"
    wait_gone 20
    # The Windows path logs what its signature check and mapping took.
    mapped_ms=$(log_text "$(log_of "$product")" | sed -nE 's/.*image mapped in ([0-9.]+) ms\..*/\1/p' | tail -n 1)
    [ -n "$mapped_ms" ] && note "$cache" "module mapped" "$(awk -v ms="$mapped_ms" 'BEGIN{printf "%.4f", ms/1e3}')"
  done
  for _ in $(seq "$runs"); do
    local start_file=$out/game-start.txt
    rm -f "$start_file"
    start_program DemoGame.exe --start-file "$(winpath "$start_file")" --exit-after-ms 500
    wait_gone 20
    [ -s "$start_file" ] &&
      sample "$cache" reference "$(seconds $(($(tr -dc '0-9' <"$start_file") - started_us)))" "host clock to game start"
    [ -n "$floors" ] || continue
    local floor line
    floor=$(game_start_floor) && sample floor_game_start value "$floor" "BenchGameStarter"
    line=$(transfer_floor revalidate "$module_url" "$etag") &&
      sample floor_revalidate value "$(json_seconds <<<"$line")" "BenchTransferFloor"
  done
  [ -n "$waiting" ] || return
  local cpu
  for _ in $(seq "$cpu_runs"); do
    if launch_to_game "$launcher" "$product" --hidden --exit-after-ms $(((idle_window + 6) * 1000)) >/dev/null &&
      sleep 2 && cpu=$(idle_cpu_percent "$waiting"); then
      sample "$waiting" value "$cpu" "/proc utime+stime"
    fi
    wait_gone $((idle_window + 20))
  done
}

bench_launches() {
  write_settings bench-launch
  serve_launch_module bench-launch 5000000
  launches_of TavrinLauncher.exe bench-launch launch_fresh launch_cache_hit "" floors
}

# The test launcher build that takes the Windows module path under Wine, with
# the test PKI's module (unpadded: padding would break its signature) and the
# test root trusted in this prefix.
bench_launches_windows() {
  if ! wine "$build/bin/BenchTrustRoot.exe" "$(winpath "$build/testpki/root.cer")" </dev/null >>"$out/wine.log" 2>&1; then
    local figure
    for figure in launch_fresh_pe launch_cache_hit_pe idle_cpu_waiting; do unavailable "$figure" "test root not trusted"; done
    return
  fi
  write_settings bench-launch-pe
  local dir=$servers/cdn/bench-launch-pe/$deployment
  mkdir -p "$dir"
  python3 "$tools/modpack/modpack.py" "$build/signed/module_normal.dll" "$dir/win64"
  launches_of TavrinLauncherPe.exe bench-launch-pe launch_fresh_pe launch_cache_hit_pe idle_cpu_waiting
}

# --- the run ---------------------------------------------------------------------------

keeper=
finish() {
  [ -n "$keeper" ] && kill "$keeper" 2>/dev/null
  "$tools/devcdn/test_servers.sh" stop "$servers" >/dev/null 2>&1 || true
}
"$tools/devcdn/test_servers.sh" start "$servers" "$cdn_port" "$collector_port" >/dev/null || exit 1
trap finish EXIT
export CURL_CA_BUNDLE=$servers/ca/ca.pem
"$tools/demo/prepare.sh" "$build" "$demo"
# The launcher as players get it: stripped. (It is linked with page-aligned
# sections, which Wine maps from the file; an image whose file alignment is
# below a page is read in whole at start, debug sections included.)
x86_64-w64-mingw32-strip "$demo/TavrinLauncher.exe"
x86_64-w64-mingw32-strip -o "$demo/TavrinLauncherPe.exe" "$build/bin/TavrinLauncherPe.exe"
for floor in BenchSdlFloor BenchTransferFloor BenchGameStarter; do
  x86_64-w64-mingw32-strip -o "$demo/$floor.exe" "$build/bin/$floor.exe"
done
# Other builds of the launcher, e.g. earlier ones for before/after figures.
[ -n "${TAVRIN_BENCH_LAUNCHER:-}" ] && x86_64-w64-mingw32-strip -o "$demo/TavrinLauncher.exe" "$TAVRIN_BENCH_LAUNCHER"
[ -n "${TAVRIN_BENCH_LAUNCHER_PE:-}" ] &&
  x86_64-w64-mingw32-strip -o "$demo/TavrinLauncherPe.exe" "$TAVRIN_BENCH_LAUNCHER_PE"
: >"$out/wine.log"
build_imports_floor || say "imports floor: not built"
# A player's session has a desktop already. Without a program that keeps it,
# Wine ends its desktop process with the last program of the session and
# every launch would pay for starting it again (about 0.2 s of the window's
# first appearance, measured here). TAVRIN_BENCH_COLD=1 measures that case.
if [ -z "${TAVRIN_BENCH_COLD:-}" ]; then
  (cd "$demo" && exec wine DemoGame.exe --hidden --exit-after-ms 3600000 </dev/null >/dev/null 2>&1) &
  keeper=$!
  sleep 2
fi

only=${TAVRIN_BENCH_ONLY:-size acquisition first_frame idle_error peak_memory launches launches_windows}
for part in $only; do
  say "$part"
  case $part in
    size) bench_size ;;
    acquisition) bench_acquisition ;;
    first_frame) bench_first_frame ;;
    idle_error) bench_idle_error TavrinLauncher.exe idle_cpu_error ;;
    peak_memory) bench_peak_memory ;;
    launches) bench_launches ;;
    launches_windows) bench_launches_windows ;;
  esac
done
python3 "$tools/bench/report.py" "$samples" "$out/results.json"
