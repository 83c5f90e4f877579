#!/usr/bin/env bash
# WAN-like download benchmark: a 100 MiB package served by qv-package-server over an imitated
# WAN link (--rate 8M --latency 50: 8 MiB/s shared by all connections, 50 ms round trip), fetched
# by each downloader (single connection, multi-connection, URL loader) directly and through
# tinyproxy on loopback, RUNS times each in rotating order. Prints each median against the ideal
# time (size / rate = 12.5 s) and whether it meets its goal. `curl -o` runs alongside as the
# reference: what the imitated link itself allows, without any downloader's own work.
#
#   bash bench/download/wan.sh [build-folder]          # 5 runs of each
#   RUNS=3 RATE=4M LATENCY=100 SIZE_MIB=50 bash bench/download/wan.sh build-wan
#
# Goals: median within 5% of ideal directly, within 8% through the proxy.
# The time is the driver's own (downloader start to final event: for the multi-connection
# downloader its header request, the join and the digest check included), not process start-up.
# The latency is modelled as one round trip per connection set-up and one per response (see
# tools/package-server/WanLink.h); TCP slow start and loss are not modelled. Through the proxy all
# of the link sits between proxy and server, as with a proxy on the client's own network.
# STRICT=1 makes a missed goal the script's exit status; KEEP=1 keeps the work folder (the
# downloaders' trace, with times, for finding where a run spent its time).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
src=${QV_BENCH_SRC:-$root}
runs=${RUNS:-5}
rate=${RATE:-8M}
latency=${LATENCY:-50}
size_mib=${SIZE_MIB:-100}
port=${PORT:-18441}
proxy_port=${PROXY_PORT:-18442}
build=${1:-${QV_BENCH_BUILD:-$root/build-bench}}
[[ $build == /* ]] || build=$root/$build
command -v tinyproxy > /dev/null || { echo "wan: tinyproxy is not installed (tools/setup-deps.sh)" >&2; exit 1; }

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release > /dev/null
cmake --build "$build" --target qv-download-bench qv-package-server > /dev/null
bench=$build/bench/download/qv-download-bench
server=$build/tools/package-server/qv-package-server

work=$(mktemp -d "${TMPDIR:-/var/tmp}/qv-wanbench.XXXXXX")
server_pid="" proxy_pid=""
cleanup() {
  for pid in $proxy_pid $server_pid; do kill "$pid" 2> /dev/null && wait "$pid" 2> /dev/null; done
  if [[ ${KEEP:-0} == 1 ]]; then echo "wan: kept $work (trace.log: the downloaders' own timed trace)"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# The rate in bytes per second, the same reading as the server's (binary multiples).
case $rate in
  *[Kk]) rate_bps=$((${rate%?} << 10)) ;;
  *[Mm]) rate_bps=$((${rate%?} << 20)) ;;
  *[Gg]) rate_bps=$((${rate%?} << 30)) ;;
  *) rate_bps=$rate ;;
esac
bytes=$((size_mib << 20))
ideal=$(awk -v b="$bytes" -v r="$rate_bps" 'BEGIN {printf "%.3f", b / r}')

# The package lives at /<md5>/<name>, the address form from which the multi-connection
# downloader takes its digest (only the last segment names the file for the server).
mkdir -p "$work/www"
head -c "$bytes" /dev/urandom > "$work/www/wan.bin"
sum=$(md5sum "$work/www/wan.bin" | cut -d' ' -f1)
url="http://127.0.0.1:$port/$sum/wan.bin"

"$server" --port "$port" --root "$work/www" --rate "$rate" --latency "$latency" > "$work/server.log" 2>&1 &
server_pid=$!
cat > "$work/tinyproxy.conf" << CONF
Port $proxy_port
Listen 127.0.0.1
Timeout 600
MaxClients 64
LogFile "$work/tinyproxy.log"
LogLevel Connect
CONF
tinyproxy -d -c "$work/tinyproxy.conf" > /dev/null 2>&1 &
proxy_pid=$!
for _ in $(seq 50); do
  curl -sf --noproxy '*' -o /dev/null -I "$url" &&
    curl -sf -x "http://127.0.0.1:$proxy_port" -o /dev/null -I "$url" && break
  sleep 0.2
done
curl -sf -x "http://127.0.0.1:$proxy_port" -o /dev/null -I "$url" || { echo "wan: server or proxy did not come up" >&2; exit 1; }
cat "$work/www/wan.bin" > /dev/null  # from the page cache from now on

out=$work/out.bin
contenders=(single:direct multi:direct url:direct curl:direct single:proxy multi:proxy url:proxy curl:proxy)
proxied_connects() { grep -c "Established connection" "$work/tinyproxy.log" 2> /dev/null || true; }
run_one() {  # run_one TYPE:ROUTE
  local type=${1%%:*} route=${1##*:} before line
  rm -f "$out" "$out".part "$out"_0 "$out"_1
  before=$(proxied_connects)
  if [[ $type == curl ]]; then
    local via=(--noproxy '*')
    [[ $route == proxy ]] && via=(-x "http://127.0.0.1:$proxy_port")
    line=seconds=$(curl -sf "${via[@]}" -o "$out" -w '%{time_total}' "$url") || { echo "wan: curl -o failed" >&2; exit 1; }
  elif [[ $route == proxy ]]; then
    line=$(env -u no_proxy -u NO_PROXY http_proxy="http://127.0.0.1:$proxy_port/" \
      "$bench" "$type" "$url" "$out" 2>> "$work/trace.log") || { echo "wan: $1 failed: $line" >&2; exit 1; }
    [[ $(proxied_connects) -gt $before ]] || { echo "wan: $1 did not go through the proxy" >&2; exit 1; }
  else
    line=$(env -u http_proxy -u HTTP_PROXY -u all_proxy -u ALL_PROXY \
      "$bench" "$type" "$url" "$out" 2>> "$work/trace.log") || { echo "wan: $1 failed: $line" >&2; exit 1; }
  fi
  [[ $(md5sum < "$out" | cut -d' ' -f1) == "$sum" ]] || { echo "wan: $1 produced a wrong file" >&2; exit 1; }
  line=${line#*seconds=}
  echo "${line%% *}" >> "$work/${type}.${route}"
}

median() { sort -n | awk '{a[NR]=$1} END {if (NR%2) print a[(NR+1)/2]; else printf "%.3f\n", (a[NR/2]+a[NR/2+1])/2}'; }

echo "wan: $size_mib MiB at $rate/s ($rate_bps bytes/s) with $latency ms latency, ideal $ideal s, $runs runs each"
for ((r = 0; r < runs; r++)); do
  # Rotate the order every run so that no contender always follows the same one.
  for ((k = 0; k < ${#contenders[@]}; k++)); do
    run_one "${contenders[$(((k + r) % ${#contenders[@]}))]}"
  done
done

missed=0
printf '\n%-7s %-7s %9s %8s %8s %9s %6s  %s\n' type route median_s min_s max_s over_ideal goal result
for c in "${contenders[@]}"; do
  type=${c%%:*} route=${c##*:}
  m=$(median < "$work/$type.$route")
  lo=$(sort -n "$work/$type.$route" | head -1)
  hi=$(sort -n "$work/$type.$route" | tail -1)
  goal=5; [[ $route == proxy ]] && goal=8
  over=$(awk -v m="$m" -v i="$ideal" 'BEGIN {printf "%.1f", (m / i - 1) * 100}')
  if [[ $type == curl ]]; then
    result=reference
  elif awk -v o="$over" -v g="$goal" 'BEGIN {exit !(o <= g)}'; then
    result=pass
  else
    result=FAIL missed=1
  fi
  printf '%-7s %-7s %9.3f %8.3f %8.3f %8s%% %5s%%  %s\n' "$type" "$route" "$m" "$lo" "$hi" "$over" "$goal" "$result"
done
[[ ${STRICT:-0} == 1 ]] && exit "$missed"
exit 0
