#!/usr/bin/env bash
# Download benchmark: the same 1 GiB and 100 MiB files from nginx on 127.0.0.1, fetched by each
# downloader and by `curl -o` (and `curl -o` followed by `md5sum`, the hand-made equivalent of the
# multi-connection downloader's join and digest check), alternating, RUNS times each. Prints the
# medians, the time ratios against curl and the peak memory of each downloader.
#
#   bash bench/download/bench.sh            # 8 runs
#   RUNS=12 bash bench/download/bench.sh
#
# Goals: single-connection <= 1.05 x curl -o; multi-connection (join and digest included)
# <= curl -o + md5sum; peak memory the same for 100 MiB and 1 GiB.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
src=${QV_BENCH_SRC:-$root}
runs=${RUNS:-8}
port=${PORT:-18431}
build=${QV_BENCH_BUILD:-$root/build-bench}

bash "$root/tools/setup-deps.sh" bench
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQV_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target qv-download-bench >/dev/null
bench=$build/bench/download/qv-download-bench

work=$(mktemp -d "${TMPDIR:-/var/tmp}/qv-dlbench.XXXXXX")
chmod 755 "$work"  # nginx workers run as an unprivileged user
nginx_pid=""
cleanup() {
  [[ -n "$nginx_pid" ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The files live at /<md5>/<name>, the address form from which the multi-connection downloader
# takes its digest.
declare -A url bytes
for entry in 100m:100 1g:1024; do
  name=${entry%%:*}; mib=${entry##*:}
  head -c "$((mib << 20))" /dev/urandom > "$work/$name.bin"
  sum=$(md5sum "$work/$name.bin" | cut -d' ' -f1)
  mkdir -p "$work/www/$sum"
  mv "$work/$name.bin" "$work/www/$sum/$name.bin"
  url[$name]="http://127.0.0.1:$port/$sum/$name.bin"
  bytes[$name]=$((mib << 20))
done

mkdir -p "$work/nginx"
cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events { worker_connections 64; }
http {
  access_log off;
  sendfile on;
  tcp_nopush on;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
  }
}
CONF
nginx -c "$work/nginx/nginx.conf" -p "$work/nginx" &
nginx_pid=$!
for _ in $(seq 50); do curl -sf -o /dev/null -r 0-0 "${url[100m]}" && break; sleep 0.1; done
# Warm the server's page cache so that every contender reads the source from memory.
cat "$work"/www/*/*.bin > /dev/null

out=$work/out.bin
contenders=(curl curl_md5 single multi url)
run_one() {  # run_one CONTENDER SIZE
  local c=$1 u=${url[$2]} t0 t1 rss
  rm -f "$out" "$out".part "$out"_0 "$out"_1
  sync
  case $c in
    curl)     cmd=(curl -sf -o "$out" "$u") ;;
    curl_md5) cmd=(bash -c "curl -sf -o '$out' '$u' && md5sum '$out'") ;;
    single)   cmd=("$bench" single "$u" "$out") ;;
    multi)    cmd=("$bench" multi "$u" "$out") ;;
    url)      cmd=("$bench" url "$u" "$out") ;;
  esac
  t0=$(date +%s.%N)
  /usr/bin/time -f "%M" -o "$work/rss" "${cmd[@]}" > /dev/null 2>> "$work/trace.log" ||
    { echo "bench: $c failed on $2 (trace in $work/trace.log)" >&2; tail -5 "$work/trace.log" >&2; exit 1; }
  t1=$(date +%s.%N)
  rss=$(tail -1 "$work/rss")
  awk -v a="$t0" -v b="$t1" -v r="$rss" 'BEGIN {printf "%.3f %s\n", b - a, r}' >> "$work/$c.$2"
  [[ $(stat -c %s "$out") -eq ${bytes[$2]} ]] || { echo "bench: $c produced a file of the wrong size" >&2; exit 1; }
}

div() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else printf "%.3f\n", (a[NR/2]+a[NR/2+1])/2}'; }

for size in 100m 1g; do
  for ((r = 0; r < runs; r++)); do
    # Rotate the order every run so that no contender always follows the same one.
    for ((k = 0; k < ${#contenders[@]}; k++)); do
      run_one "${contenders[$(((k + r) % ${#contenders[@]}))]}" "$size"
    done
  done
done

printf '\n%-6s %-10s %9s %9s %10s\n' size contender median_s max_rss_kb runs
for size in 100m 1g; do
  for c in "${contenders[@]}"; do
    m=$(cut -d' ' -f1 "$work/$c.$size" | median)
    rss=$(cut -d' ' -f2 "$work/$c.$size" | sort -n | tail -1)
    printf '%-6s %-10s %9.3f %10s %5s\n' "$size" "$c" "$m" "$rss" "$(wc -l < "$work/$c.$size")"
    declare "med_${c}_${size}=$m"
    declare "rss_${c}_${size}=$rss"
  done
done

echo
for size in 100m 1g; do
  c=med_curl_$size; cm=med_curl_md5_$size; s=med_single_$size; m=med_multi_$size; w=med_url_$size
  printf '%-5s single/curl = %.3f (goal <= 1.05)   multi/(curl+md5sum) = %.3f (goal <= 1.00)   url/curl = %.3f\n' \
    "$size" "$(div "${!s}" "${!c}")" "$(div "${!m}" "${!cm}")" "$(div "${!w}" "${!c}")"
done
for d in single multi url; do
  a=rss_${d}_100m; b=rss_${d}_1g
  printf 'peak RSS %-6s 100 MiB: %s KiB   1 GiB: %s KiB\n' "$d" "${!a}" "${!b}"
done
