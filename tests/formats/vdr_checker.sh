#!/usr/bin/env bash
# The real recorder checks every channels.conf kvx writes here: one run of it loads them all (each
# with its own NID, so that none repeats another's channels) and its rewriting of every line, asked
# over SVDRP, must equal what kvx wrote, byte for byte. Debian's example satellite list comes in with
# every field the format shares with a record. Exits 77 (skipped) where the recorder is missing.
#   vdr_checker.sh KVX SAMPLE CATEGORIES WORK
set -euo pipefail
kvx=$1 sample=$2 categories=$3 work=$4

example=
for candidate in /usr/share/vdr/channels.conf-examples/channels.conf.sat \
  /usr/share/doc/vdr/examples/channels.conf-examples/channels.conf.sat \
  /usr/share/doc/vdr/examples/channels.conf.sat.gz; do
  [ -e "$candidate" ] && example=$candidate && break
done
plugins=/usr/lib/vdr/plugins
if ! command -v vdr >/dev/null || ! command -v svdrpsend >/dev/null || [ -z "$example" ] ||
  ! ls "$plugins"/libvdr-streamdev-client.so.* >/dev/null 2>&1; then
  echo "SKIPPED: the recorder (Debian packages vdr and vdr-plugin-streamdev-client) is not installed"
  exit 77
fi

rm -rf "$work"
mkdir -p "$work/conf" "$work/video" "$work/cache" "$work/res"
vdr_pid=
stop() {
  if [ -n "$vdr_pid" ]; then
    kill "$vdr_pid" 2>/dev/null || true
    for _ in $(seq 50); do kill -0 "$vdr_pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$vdr_pid" 2>/dev/null || true
    wait "$vdr_pid" 2>/dev/null || true
  fi
}
trap stop EXIT
fail() { echo "vdr_checker: $*" >&2; exit 1; }

# Debian's list in: every satellite channel with its fields.
case $example in *.gz) gzip -dc "$example" >"$work/example.conf" ;; *) cp "$example" "$work/example.conf" ;; esac
"$kvx" import "$work/example.conf" -o "$work/example.kvx" 2>"$work/import.log" || fail "import of $example failed"
"$kvx" export "$work/example.kvx" --format vdr --source S19.2E --nid 1 -o "$work/example-out.conf" \
  2>"$work/export-example.log" || fail "export of the imported example failed"
# Fields kvx carries: name (without its short name), provider, frequency, polarization, symbol rate,
# video, audio and teletext PIDs with languages and types, SID and TID.
carried() {
  awk -F: '$1 != "" && $4 ~ /^S/ {
    name = $1; provider = ""
    p = index(name, ";"); if (p) { provider = substr(name, p + 1); name = substr(name, 1, p - 1) }
    sub(/,[^,]*$/, "", name)
    match($3, /[HVLRhvlr]/); pol = toupper(substr($3, RSTART, 1))
    print name "|" provider "|" $2 "|" pol "|" $5 "|" $6 "|" $7 "|" $8 "|" $10 "|" $12 }' "$1"
}
carried "$work/example.conf" >"$work/example.fields"
carried "$work/example-out.conf" >"$work/example-out.fields"
[ -s "$work/example.fields" ] || fail "no satellite channel read from $example"
diff "$work/example.fields" "$work/example-out.fields" >&2 || fail "channels of $example changed on their way in"

# Lists kvx writes, one channels.conf for the recorder.
"$kvx" export "$sample" --format vdr --source S19.2E --nid 2 --categories "$categories" --codepage 1251 \
  -o "$work/sample.conf" 2>"$work/export-sample.log" || fail "export of the sample list failed"
"$kvx" export "$sample" --format vdr --source S0.8W --nid 3 -o "$work/west.conf" \
  2>"$work/export-west.log" || fail "export of the sample list without categories failed"
cat "$work/example-out.conf" "$work/sample.conf" "$work/west.conf" >"$work/conf/channels.conf"
printf 'S19.2E  Astra\nS0.8W   Thor\n' >"$work/conf/sources.conf"
echo 127.0.0.1 >"$work/conf/svdrphosts.conf"
printf 'streamdev-client.StartClient = 1\nstreamdev-client.RemoteIp = 127.0.0.1\n' >"$work/conf/setup.conf"

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
user=()
[ "$(id -u)" = 0 ] && user=(-u root)
timeout 120 vdr "${user[@]}" -c "$work/conf" -v "$work/video" --cachedir="$work/cache" --resdir="$work/res" \
  -L "$plugins" -P streamdev-client -E- --no-kbd -p "$port" -l 0 >"$work/vdr.log" 2>&1 &
vdr_pid=$!
answer=
for _ in $(seq 40); do
  sleep 0.25
  answer=$(svdrpsend -d 127.0.0.1 -p "$port" "LSTC :groups" 2>/dev/null | tr -d '\r') || true
  case $answer in *"250 "*) break ;; *"550 "*) break ;; esac
done
printf '%s\n' "$answer" | sed -n 's/^250[- ][0-9]* //p' >"$work/rewritten.conf"
if ! cmp -s "$work/rewritten.conf" "$work/conf/channels.conf"; then
  cat "$work/vdr.log" >&2
  diff "$work/conf/channels.conf" "$work/rewritten.conf" | head -20 >&2
  fail "the recorder's rewriting differs from what kvx wrote (or it refused the file)"
fi
echo "vdr_checker: $(grep -c '' "$work/conf/channels.conf") lines rewritten byte for byte"
rm -rf "$work"
