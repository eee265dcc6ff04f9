#!/bin/sh
# A private nginx on 127.0.0.1 for the network tests and the download benchmark.
#   nginx_instance.sh start DIR [LIFETIME_SECONDS]   serves DIR/www; writes the port to DIR/port
#   nginx_instance.sh stop DIR                       stops it; writes DIR/stopped
# Everything nginx writes (configuration, pid, logs, temporary files) stays in DIR, and it runs as
# one process of the calling user (no master, no user switch), so no root rights are needed.
# A watchdog stops the instance after LIFETIME_SECONDS (default 300) should nobody call stop.
# "/moved" answers with a redirect to "/big.bin". The access log records "status range bytes-sent request" for each request.
set -eu
action=$1
dir=$2
nginx=$(command -v nginx || echo /usr/sbin/nginx)

stop() {
  if [ -f "$dir/nginx.pid" ]; then
    "$nginx" -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" -s stop </dev/null >/dev/null 2>&1 || true
    i=0
    while [ -f "$dir/nginx.pid" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i + 1)); done
  fi
  if [ -f "$dir/watchdog.pid" ]; then
    kill "$(cat "$dir/watchdog.pid")" 2>/dev/null || true
    rm -f "$dir/watchdog.pid"
  fi
  echo stopped >"$dir/stopped.part" && mv "$dir/stopped.part" "$dir/stopped"
}

case $action in
  start)
    lifetime=${3:-300}
    mkdir -p "$dir/www" "$dir/temp"
    rm -f "$dir/port" "$dir/stopped"
    attempt=0
    while [ $attempt -lt 20 ]; do
      attempt=$((attempt + 1))
      port=$(( 20000 + $(od -An -N2 -tu2 /dev/urandom | tr -d ' ') % 40000 ))
      cat >"$dir/nginx.conf" <<CONF
daemon on;
master_process off;
worker_processes 1;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 64; }
http {
  default_type application/octet-stream;
  sendfile on;
  log_format brief '\$status "\$http_range" \$body_bytes_sent "\$request"';
  access_log $dir/access.log brief;
  client_body_temp_path $dir/temp/body;
  proxy_temp_path $dir/temp/proxy;
  fastcgi_temp_path $dir/temp/fastcgi;
  uwsgi_temp_path $dir/temp/uwsgi;
  scgi_temp_path $dir/temp/scgi;
  server {
    listen 127.0.0.1:$port;
    root $dir/www;
    location = /moved { return 301 /big.bin; }
  }
}
CONF
      if "$nginx" -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" </dev/null >/dev/null 2>>"$dir/start.log"; then
        i=0
        while [ ! -s "$dir/nginx.pid" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
        # The watchdog outlives this script on purpose; its output goes nowhere, so nobody waits on it.
        (
          trap 'kill $sleeper 2>/dev/null; exit 0' TERM
          sleep "$lifetime" &
          sleeper=$!
          wait $sleeper
          "$0" stop "$dir"
        ) </dev/null >/dev/null 2>&1 &
        echo $! >"$dir/watchdog.pid"
        echo "$port" >"$dir/port.part" && mv "$dir/port.part" "$dir/port"
        exit 0
      fi
      # Only a port in use is worth another try.
      grep -q "in use" "$dir/start.log" || break
    done
    echo "nginx_instance: nginx did not start (see $dir/start.log)" >&2
    exit 1
    ;;
  stop) stop ;;
  *) echo "usage: $0 start|stop DIR [LIFETIME_SECONDS]" >&2; exit 2 ;;
esac
