#!/usr/bin/env bash
# Starts or stops the loopback test servers: a fresh test CA, the development
# CDN, the telemetry collector and a CONNECT and SOCKS5 proxy (on PROXY_PORT, default
# COLLECTOR_PORT + 1) that alone resolves "cdn.proxy-only.test", with their
# data under DIR.
#   test_servers.sh start DIR CDN_PORT COLLECTOR_PORT [PROXY_PORT]
#   test_servers.sh stop DIR
set -euo pipefail

tools=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
action=${1:?usage: test_servers.sh start|stop DIR ...}
dir=${2:?usage: test_servers.sh start|stop DIR ...}

stop_one() { # pidfile
  local pidfile=$1 pid
  [ -f "$pidfile" ] || return 0
  pid=$(cat "$pidfile")
  if kill -0 "$pid" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  rm -f "$pidfile"
}

port_in_use() { # port
  python3 -c "import socket,sys; s=socket.socket(); s.settimeout(0.2); sys.exit(0 if s.connect_ex(('127.0.0.1', $1)) == 0 else 1)"
}

# The ports are fixed (they are built into the test build), so another build
# tree's test run on this machine must end first.
wait_for_free_ports() { # ports...
  for _ in $(seq 600); do
    local busy=
    for port in "$@"; do
      if port_in_use "$port"; then busy=1; fi
    done
    [ -z "$busy" ] && return 0
    sleep 1
  done
  echo "test_servers: ports $* stay in use" >&2
  return 1
}

wait_for_port() { # port
  for _ in $(seq 100); do
    if python3 -c "import socket,sys; s=socket.socket(); s.settimeout(0.2); sys.exit(s.connect_ex(('127.0.0.1', $1)))"; then
      return 0
    fi
    sleep 0.1
  done
  echo "test_servers: nothing listens on port $1" >&2
  return 1
}

case $action in
  start)
    cdn_port=${3:?CDN port}
    collector_port=${4:?collector port}
    proxy_port=${5:-$((collector_port + 1))}
    stop_one "$dir/devcdn.pid"
    stop_one "$dir/collector.pid"
    stop_one "$dir/proxy.pid"
    wait_for_free_ports "$cdn_port" "$collector_port" "$proxy_port"
    rm -rf "$dir/ca" "$dir/cdn" "$dir/collector"
    mkdir -p "$dir/cdn" "$dir/collector"
    "$tools/testca/make_test_ca.sh" "$dir/ca"
    python3 "$tools/devcdn/devcdn.py" --root "$dir/cdn" --port "$cdn_port" \
      --cert "$dir/ca/server.pem" >"$dir/devcdn.out" 2>&1 &
    echo $! >"$dir/devcdn.pid"
    python3 "$tools/collector/collector.py" --root "$dir/collector" --port "$collector_port" \
      --cert "$dir/ca/server.pem" >"$dir/collector.out" 2>&1 &
    echo $! >"$dir/collector.pid"
    python3 "$tools/devcdn/connect_proxy.py" --port "$proxy_port" --log "$dir/proxy.log" \
      --map cdn.proxy-only.test=127.0.0.1 >"$dir/proxy.out" 2>&1 &
    echo $! >"$dir/proxy.pid"
    wait_for_port "$cdn_port"
    wait_for_port "$collector_port"
    wait_for_port "$proxy_port"
    # A port held by some other server answers too: make sure ours are alive.
    sleep 0.3
    for name in devcdn collector proxy; do
      if ! kill -0 "$(cat "$dir/$name.pid")" 2>/dev/null; then
        echo "test_servers: $name did not start:" >&2
        cat "$dir/$name.out" >&2
        exit 1
      fi
    done
    ;;
  stop)
    stop_one "$dir/devcdn.pid"
    stop_one "$dir/collector.pid"
    stop_one "$dir/proxy.pid"
    ;;
  *)
    echo "usage: test_servers.sh start|stop DIR ..." >&2
    exit 2
    ;;
esac
