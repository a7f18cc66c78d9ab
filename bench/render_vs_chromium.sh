#!/usr/bin/env bash
# Rendered jobs: 50 pages (or as many as given) whose text and pictures scripts build, saved by `trawlix-cli get --render`
# (one browser for the whole job), beside `chromium --headless --dump-dom` started for each page, the
# usual do-it-yourself way. Prints the time per page and the peak memory of the engine and of the
# renderer (its browser processes together), served by nginx on 127.0.0.1.
# usage: bench/render_vs_chromium.sh [build folder] [pages, 50]   (needs nginx-light and chromium)
set -euo pipefail

build=${1:-build}
pages=${2:-50}
cli=$build/src/cli/trawlix-cli
[ -x "$cli" ] && [ -x "$build/src/cli/trawlix-render" ] || { echo "build trawlix-cli and trawlix-render first" >&2; exit 2; }
for tool in nginx chromium /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (packages nginx-light, chromium, time)" >&2; exit 2; }
done

work=$(mktemp -d)
port=$((20000 + $$ % 20000))
cleanup() { [ -f "$work/nginx.pid" ] && kill "$(cat "$work/nginx.pid")" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# The site: each page fetches its article as JSON and sets its pictures' addresses when they scroll in.
site=$work/site
mkdir -p "$site/pics"
printf '\x89PNG\r\n\x1a\n\0\0\0\rIHDR\0\0\0\x01\0\0\0\x01\x08\x06\0\0\0\x1f\x15\xc4\x89\0\0\0\rIDATx\x9cc\xf8\xff\xff?\0\x05\xfe\x02\xfe\xa7\x35\x81\x84\0\0\0\0IEND\xaeB`\x82' > "$site/pics/p.png"
for i in $(seq 1 "$pages"); do
    printf '{"text": "Article %d: %s"}\n' "$i" "$(head -c 3000 /dev/zero | tr '\0' 'x')" > "$site/a$i.json"
    {
        printf '<html><head><title>Page %d</title></head><body><div id="a"></div>\n' "$i"
        for k in $(seq 1 10); do
            cp "$site/pics/p.png" "$site/pics/p$i-$k.png"
            printf '<img data-src="pics/p%d-%d.png" style="display:block;height:400px">\n' "$i" "$k"
        done
        printf '<script>fetch("a%d.json").then(r => r.json()).then(j => { document.getElementById("a").textContent = j.text; });\n' "$i"
        printf 'const o = new IntersectionObserver(es => es.forEach(e => { if (e.isIntersecting) { e.target.src = e.target.dataset.src; o.unobserve(e.target); } }));\n'
        printf 'document.querySelectorAll("img").forEach(i => o.observe(i));</script></body></html>\n'
    } > "$site/page$i.html"
done

cat > "$work/nginx.conf" <<CONF
daemon on; pid $work/nginx.pid; error_log $work/error.log; worker_processes 1;
events {}
http { include /etc/nginx/mime.types; access_log off;
  client_body_temp_path $work; proxy_temp_path $work; fastcgi_temp_path $work; uwsgi_temp_path $work; scgi_temp_path $work;
  server { listen 127.0.0.1:$port; root $site; } }
CONF
nginx -c "$work/nginx.conf" -p "$work"

# Peak memory of every process in a group, sampled while it runs.
watch_group() {
    local pgid=$1 out=$2 peak=0
    while kill -0 -- "-$pgid" 2>/dev/null; do
        local sum
        sum=$(ps -o rss= -g "$pgid" 2>/dev/null | awk '{s += $1} END {print s + 0}' || true)
        [ "$sum" -gt "$peak" ] && peak=$sum
        sleep 0.2
    done
    echo "$peak" > "$out"
}

echo "== trawlix-cli get --render: $pages pages, 10 lazy pictures each"
start=$(date +%s.%N)
setsid /usr/bin/time -f '%M' -o "$work/cli.rss" "$cli" get --from "http://127.0.0.1:$port/page1.html" \
    --to "http://127.0.0.1:$port/page$pages.html" --project r --folder "$work/out" --render > "$work/cli.log" 2>&1 &
job=$!
sleep 0.5
watch_group "$(ps -o pgid= "$job" | tr -d ' ')" "$work/group.rss" &
watcher=$!
wait "$job" || true
wait "$watcher" || true
end=$(date +%s.%N)
saved=$(grep -c ' ok $' "$work/cli.log" || true)
render_rss=$(ps -o rss= -C trawlix-render | awk '{s += $1} END {print s + 0}' || true)
unsettled=$(grep -c 'did not settle' "$work/cli.log" || true)
awk -v s="$start" -v e="$end" -v n="$saved" -v u="$unsettled" -v t="$pages" -v engine="$(cat "$work/cli.rss")" -v all="$(cat "$work/group.rss")" 'BEGIN {
    printf "pages saved: %d (%d saved at the time limit)\ntime per page: %.2f s\npeak memory of the largest process (engine or renderer): %.1f MB\npeak memory of the engine and every renderer process together: %.1f MB\n",
        n, u, (e - s) / t, engine / 1024, all / 1024 }'
[ "$render_rss" -eq 0 ] || echo "warning: a renderer is still running"

echo "== chromium --headless --dump-dom, one start per page"
profile=$work/chromium
start=$(date +%s.%N)
peak=0
for i in $(seq 1 "$pages"); do
    /usr/bin/time -f '%M' -o "$work/chromium.rss" chromium --headless --no-sandbox --disable-gpu --no-first-run \
        --disable-background-networking --disable-component-update --disable-sync --user-data-dir="$profile" \
        --virtual-time-budget=5000 --dump-dom "http://127.0.0.1:$port/page$i.html" > "$work/dom$i.html" 2>/dev/null || true
    rss=$(cat "$work/chromium.rss" 2>/dev/null | tail -n 1)
    [ "${rss:-0}" -gt "$peak" ] && peak=$rss
done
end=$(date +%s.%N)
withText=$(grep -l 'Article' "$work"/dom*.html | wc -l)
awk -v s="$start" -v e="$end" -v n="$withText" -v p="$peak" -v t="$pages" 'BEGIN {
    printf "pages with their article: %d\ntime per page: %.2f s\npeak memory of the largest process: %.1f MB\n", n, (e - s) / t, p / 1024 }'
echo "(chromium's dump keeps the pictures as web addresses and saves none of them)"
