#!/usr/bin/env bash
# Files per second from the loopback back end and from nginx serving the same files, fetched
# with `xargs -P3 curl` (three clients, as the application's download queue runs three).
# BACKEND_BENCH_FILES sets how many (default 2000).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
PY=${BACKEND_PYTHON:-/usr/bin/python3}
count=${BACKEND_BENCH_FILES:-2000}
work=$(mktemp -d)
chmod 755 "$work"  # nginx's workers read the copies as another user
backend_pid=""
nginx_pid=""
cleanup() {
  [ -n "$backend_pid" ] && kill "$backend_pid" 2>/dev/null
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

free_port() { "$PY" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

"$PY" "$here/tools/backend/server.py" --fixture M > "$work/backend.out" 2>"$work/backend.err" &
backend_pid=$!
for _ in $(seq 1200); do [ -s "$work/backend.out" ] && break; sleep 0.05; done
read -r _ _ _ _ _ cport _ fport _ < "$work/backend.out"

# The first `count` thumbnails of fixture M's catalogue.
curl -sS -X POST "http://127.0.0.1:$cport/BrivantaSaas/SyncServer;" --data-binary \
  '{"root":{"parameters":{"methodName":"syncData","accountId":"alice","clientId":"AcmeCo","deviceId":"bench","syncType":"product","isFull":"true"}}}' \
  | "$PY" -c "import json,sys
names=[i['thumbAddress'] for p in json.load(sys.stdin)['content'][0] for i in p['images']]
print('\n'.join(names[:$count]))" > "$work/names"
[ "$(wc -l < "$work/names")" -eq "$count" ] || { echo "fixture M has fewer than $count thumbnails" >&2; exit 1; }

# nginx serves copies of the same bytes under the same paths.
root=$work/www
mkdir -p "$root/brivanta_saas/images/AcmeCo/product"
sed "s|.*|-o $root/brivanta_saas/images/AcmeCo/product/& http://127.0.0.1:$fport/brivanta_saas/images/AcmeCo/product/&|" \
  "$work/names" | xargs -P3 -n 150 curl -sS --fail
nport=$(free_port)
mkdir -p "$work/nginx/logs"
cat > "$work/nginx.conf" <<EOF
daemon off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server { listen 127.0.0.1:$nport; root $root; }
}
EOF
nginx -p "$work/nginx" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 100); do curl -s -o /dev/null "http://127.0.0.1:$nport/" && break; sleep 0.05; done

# Fetches every name from a port; prints files per second.
rate() {
  local port=$1 start end
  start=$(date +%s.%N)
  sed "s|.*|-o /dev/null http://127.0.0.1:$port/brivanta_saas/images/AcmeCo/product/&|" "$work/names" \
    | xargs -P3 -n 150 curl -sS --fail
  end=$(date +%s.%N)
  "$PY" -c "print('%.0f' % ($count / ($end - $start)))"
}
backend_rate=$(rate "$fport")
nginx_rate=$(rate "$nport")
echo "back end: $backend_rate files/s"
echo "nginx:    $nginx_rate files/s"
"$PY" -c "print('back end / nginx = %.2f' % ($backend_rate / $nginx_rate))"
