#!/usr/bin/env bash
# Starts or stops nginx as a static module CDN on loopback, serving the tree
# that `modpack.py publish` lays out (ROOT/modules/<product>/<deployment>/<system>).
#   nginx_cdn.sh start DIR PORT ROOT CERT KEY   (run files under DIR)
#   nginx_cdn.sh stop DIR
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
action=${1:?usage: nginx_cdn.sh start|stop DIR ...}
dir=${2:?usage: nginx_cdn.sh start|stop DIR ...}

nginx_bin() {
  command -v nginx 2>/dev/null || { [ -x /usr/sbin/nginx ] && echo /usr/sbin/nginx; } || return 1
}

port_in_use() { # port
  python3 -c "import socket,sys; s=socket.socket(); s.settimeout(0.2); sys.exit(0 if s.connect_ex(('127.0.0.1', $1)) == 0 else 1)"
}

stop() {
  local pid
  [ -f "$dir/nginx.pid" ] || return 0
  pid=$(cat "$dir/nginx.pid")
  if kill -0 "$pid" 2>/dev/null; then
    kill -QUIT "$pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -0 "$pid" 2>/dev/null && kill -TERM "$pid" 2>/dev/null || true
  fi
  rm -f "$dir/nginx.pid"
}

# Workers started by root drop to this user: the owner of the served tree,
# so a private temporary folder stays readable.
user_line() { # root
  if [ "$(id -u)" -eq 0 ]; then
    echo "user $(stat -c %U "$1") $(stat -c %G "$1");"
  fi
}

start() {
  local port=${3:?port} root=${4:?root} cert=${5:?cert} key=${6:?key} nginx
  nginx=$(nginx_bin) || { echo "nginx_cdn: nginx is not installed (tools/setup.sh)" >&2; return 1; }
  stop
  if port_in_use "$port"; then
    echo "nginx_cdn: port $port is in use" >&2
    return 1
  fi
  mkdir -p "$dir/temp" "$root"
  # nginx reads relative paths against its run folder: make them absolute.
  root=$(cd "$root" && pwd)
  cert=$(realpath -- "$cert")
  key=$(realpath -- "$key")
  sed -e "s|@DIR@|$dir|g" -e "s|@PORT@|$port|g" -e "s|@ROOT@|$root|g" \
      -e "s|@CERT@|$cert|g" -e "s|@KEY@|$key|g" -e "s|@USER@|$(user_line "$root")|" \
      "$here/cdn.conf.in" >"$dir/nginx.conf"
  "$nginx" -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf" -t -q
  "$nginx" -e "$dir/error.log" -p "$dir" -c "$dir/nginx.conf"
  for _ in $(seq 100); do
    port_in_use "$port" && [ -s "$dir/nginx.pid" ] && return 0
    sleep 0.1
  done
  echo "nginx_cdn: nginx did not start:" >&2
  cat "$dir/error.log" >&2 || true
  return 1
}

case $action in
  start) dir=$(mkdir -p "$dir" && cd "$dir" && pwd); start "$@" ;;
  stop) stop ;;
  *) echo "usage: nginx_cdn.sh start|stop DIR ..." >&2; exit 2 ;;
esac
