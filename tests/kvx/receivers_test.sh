#!/usr/bin/env bash
# kvx with receivers named where files are: a real FTP server (Debian's pyftpdlib) holding a box's
# settings folder, a web interface of the test's own that answers reloads as a box does, the real VDR
# over SVDRP, and servers that are no receiver at all (one floods, one stalls, one is something else).
# Every server runs in a folder of its own on 127.0.0.1 at a free port and is stopped by its process
# id however the test ends. Exits 77 (skipped) where pyftpdlib is missing; the VDR part is skipped
# where VDR is.
#   receivers_test.sh KVX SAMPLE CATEGORIES WORK [RUN]    (RUN: the Wine wrapper for kvx.exe)
set -uo pipefail
kvx=$1 sample=$2 categories=$3 work=$4 run=${5:-}
python=/usr/bin/python3
servers=$(cd "$(dirname "$0")" && pwd)/receivers
prefix=
runner=()
if [ -n "$run" ]; then
  prefix=Z:
  runner=("$run")
fi
secret='s3cret pass'

if ! "$python" -c 'import pyftpdlib' 2>/dev/null; then
  echo "SKIPPED: Debian's python3-pyftpdlib is not installed"
  exit 77
fi
rm -rf "$work"
mkdir -p "$work"
pids=()
stop() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
}
trap stop EXIT
failures=0
fail() {
  echo "receivers_test: FAILED: $*" >&2
  failures=$((failures + 1))
}

# start NAME COMMAND...: a server in the folder NAME, once it has written its port to NAME/port.
start() {
  local name=$1
  shift
  mkdir -p "$work/$name"
  (cd "$work/$name" && exec "$@") >"$work/$name.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$work/$name/port" ] && return 0
    sleep 0.05
  done
  cat "$work/$name.log" >&2
  echo "receivers_test: the server $name did not start" >&2
  exit 1
}
port() { cat "$work/$1/port"; }

# k STATUS TEXT ARGS...: kvx ARGS must end with STATUS and say TEXT on standard error (empty: anything);
# no output may ever show the password.
k() {
  local expected=$1 text=$2
  shift 2
  KVX_PASSWORD=${KVX_PASSWORD-} "${runner[@]}" "$kvx" "$@" >"$work/out" 2>"$work/err"
  local status=$?
  if [ "$status" != "$expected" ]; then
    fail "kvx $*: exit status $status, expected $expected: $(cat "$work/err")"
  elif [ -n "$text" ] && ! grep -qF -- "$text" "$work/err"; then
    fail "kvx $*: no \"$text\" in: $(cat "$work/err")"
  fi
  if grep -qF -- "$secret" "$work/out" "$work/err"; then fail "kvx $*: the password was shown"; fi
}
same() { cmp -s "$1" "$2" || fail "$3: $1 and $2 differ"; }

printf '%s\n' "$secret" >"$work/password"
pw=(--password-file "$prefix$work/password")

# The list: the sample with its radio channels after the others (as Enigma2 keeps them), so that it
# comes back from a box byte for byte.
k 0 "" export "$prefix$sample" --format enigma2 --source S19.2E --nid 1 --categories "$prefix$categories" \
  -o "$prefix$work/mixed"
k 0 "" import "$prefix$work/mixed" --base "$prefix$sample" --categories "$prefix$categories" -o "$prefix$work/list.kvx"
k 0 "" export "$prefix$work/list.kvx" --format enigma2 --source S19.2E --nid 1 --categories "$prefix$categories" \
  -o "$prefix$work/local"

# --- Enigma2 over FTP ---------------------------------------------------------------------------
mkdir -p "$work/box/etc/enigma2"
start box "$python" "$servers/ftp_server.py" "$work/box" port root "$secret"
box=ftp://root@127.0.0.1:$(port box)/etc/enigma2
k 0 "" export "$prefix$work/list.kvx" --format enigma2 --source S19.2E --nid 1 --categories "$prefix$categories" \
  -o "$box" "${pw[@]}"
for file in lamedb lamedb5 bouquets.tv bouquets.radio userbouquet.kvx.tv userbouquet.kvx.radio; do
  same "$work/box/etc/enigma2/$file" "$work/local/$file" "FTP export"
done
[ -z "$(ls -A "$work/box/etc/enigma2" | grep -v -x -e lamedb -e lamedb5 -e 'bouquets.*' -e 'userbouquet.*')" ] ||
  fail "FTP export left other files: $(ls -A "$work/box/etc/enigma2")"
KVX_PASSWORD=$secret k 0 "" import "$box" --base "$prefix$work/list.kvx" --categories "$prefix$categories" \
  -o "$prefix$work/from-box.kvx"
same "$work/from-box.kvx" "$work/list.kvx" "FTP import with --base"
k 0 "not found: 0" order "$prefix$work/list.kvx" --like "$box" "${pw[@]}" -o "$prefix$work/ordered.kvx"
same "$work/ordered.kvx" "$work/list.kvx" "order --like an FTP box"
# A password in the name works, is warned about, and never shown.
k 0 "a password in the name" import "ftp://root:${secret// /%20}@127.0.0.1:$(port box)/etc/enigma2" \
  --base "$prefix$work/list.kvx" --categories "$prefix$categories" -o "$prefix$work/named-password.kvx"
same "$work/named-password.kvx" "$work/list.kvx" "FTP import with the password in the name"

# Failures say what failed and write nothing.
closed=$("$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
while IFS='|' read -r text name; do
  KVX_PASSWORD=wrong k 2 "$text" import "$name" -o "$prefix$work/never.kvx"
  [ ! -e "$work/never.kvx" ] || fail "a failed import from $name wrote a list"
done <<EOF
login refused for root|$box
login refused (no user named|ftp://127.0.0.1:$(port box)/etc/enigma2
no answer|ftp://root@127.0.0.1:$closed/etc/enigma2
no answer|svdrp://127.0.0.1:$closed
EOF
k 2 "folder /etc/missing missing" import "${box%/etc/enigma2}/etc/missing" "${pw[@]}" -o "$prefix$work/never.kvx"
rm -f "$work/box/etc/enigma2/lamedb"
k 0 "" import "$box" --base "$prefix$work/list.kvx" --categories "$prefix$categories" "${pw[@]}" \
  -o "$prefix$work/from-lamedb5.kvx"
same "$work/from-lamedb5.kvx" "$work/list.kvx" "FTP import of a box with lamedb5 only"
rm -f "$work/box/etc/enigma2/lamedb5"
k 2 "neither lamedb nor lamedb5" import "$box" "${pw[@]}" -o "$prefix$work/never.kvx"
[ ! -e "$work/never.kvx" ] || fail "a failed import wrote a list"

# A file the box refuses: storing it fails before any file is replaced; renaming one fails after
# the files before it, which are named.
for refused in "w:userbouquet.kvx.radio|the box's files are as they were|" \
  "f:bouquets.tv|(already replaced: lamedb lamedb5)|lamedb lamedb5"; do
  IFS='|' read -r deny text replaced <<<"$refused"
  name=refuses-${deny%%:*}
  mkdir -p "$work/$name/etc/enigma2"
  cp "$work/local/"* "$work/$name/etc/enigma2/"
  start "$name" "$python" "$servers/ftp_server.py" "$work/$name" port root "$secret" --deny "$deny"
  k 2 "$text" export "$prefix$sample" --format enigma2 --source S19.2E --nid 9 \
    -o "ftp://root@127.0.0.1:$(port "$name")/etc/enigma2" "${pw[@]}"
  for file in lamedb lamedb5 bouquets.tv bouquets.radio userbouquet.kvx.tv userbouquet.kvx.radio; do
    case " $replaced " in
      *" $file "*) cmp -s "$work/$name/etc/enigma2/$file" "$work/local/$file" && fail "$deny: $file not replaced" ;;
      *) same "$work/$name/etc/enigma2/$file" "$work/local/$file" "$deny: the box's $file" ;;
    esac
  done
  [ "$(ls -A "$work/$name/etc/enigma2" | wc -l)" = 6 ] || fail "$deny: left files: $(ls -A "$work/$name/etc/enigma2")"
done

# --- The web interface's reload ------------------------------------------------------------------
for answer in True False; do
  start "web-$answer" "$python" "$servers/web_server.py" port requests root "$secret" "$answer"
done
web=127.0.0.1:$(port web-True)
# The FTP login goes to the web interface of the same host; a user of its own comes with its own password.
k 0 "" export "$prefix$work/list.kvx" --format enigma2 --source S19.2E --nid 1 --categories "$prefix$categories" \
  -o "$box" --reload "http://$web" "${pw[@]}"
k 0 "" export "$prefix$work/list.kvx" --format enigma2 --source S19.2E -o "$prefix$work/folder" \
  --reload "http://root@$web" "${pw[@]}"
k 1 "login refused (HTTP 401); the files are in place" export "$prefix$work/list.kvx" --format enigma2 \
  --source S19.2E -o "$prefix$work/folder" --reload "http://$web"
k 1 "the box did not reload: \"missing or wrong argument\"" export "$prefix$work/list.kvx" --format enigma2 \
  --source S19.2E -o "$box" --reload "http://127.0.0.1:$(port web-False)" "${pw[@]}"
k 1 "no answer" export "$prefix$work/list.kvx" --format enigma2 --source S19.2E -o "$prefix$work/folder" \
  --reload "http://127.0.0.1:$closed"
printf '%s\n' "/web/servicelistreload?mode=0 root" "/web/servicelistreload?mode=0 root" \
  "/web/servicelistreload?mode=0 -" >"$work/requests.expected"
same "$work/web-True/requests" "$work/requests.expected" "the web interface's requests"
k 2 "--reload goes with --format enigma2" export "$prefix$sample" --format vdr --source S19.2E --reload "http://$web"

# --- Servers that are no receiver ----------------------------------------------------------------
for mode in flood stall other; do start "bad-$mode" "$python" "$servers/bad_server.py" "$mode" port; done
# Each must be given up on with a message and exit 2 within the time limits (10 s to connect, 30 s a
# reply), nothing written; a reload asked of one leaves the files written and exits 1. They run side
# by side, as a stall takes its whole limit.
bad=()
for mode in flood stall other; do
  for scheme in svdrp ftp web; do
    address=127.0.0.1:$(port "bad-$mode")
    case $scheme in
      svdrp) words=(import "svdrp://$address" -o "$prefix$work/bad-$mode-$scheme.kvx") ;;
      ftp) words=(import "ftp://root@$address/etc/enigma2" -o "$prefix$work/bad-$mode-$scheme.kvx") ;;
      web) words=(export "$prefix$work/list.kvx" --format enigma2 --source S19.2E -o "$prefix$work/bad-$mode-folder"
        --reload "http://$address") ;;
    esac
    (
      start=$(date +%s)
      "${runner[@]}" "$kvx" "${words[@]}" >/dev/null 2>"$work/bad-$mode-$scheme.err"
      echo "$? $(($(date +%s) - start))" >"$work/bad-$mode-$scheme.result"
    ) &
    bad+=($!)
  done
done
wait "${bad[@]}"
while read -r mode scheme expected text; do  # the rest of the line is the text
  read -r status seconds <"$work/bad-$mode-$scheme.result"
  [ "$status" = "$expected" ] || fail "$scheme to a server that does $mode: exit status $status"
  [ "$seconds" -le 40 ] || fail "$scheme to a server that does $mode: $seconds s"
  grep -qF -- "$text" "$work/bad-$mode-$scheme.err" ||
    fail "$scheme to a server that does $mode: no \"$text\" in: $(cat "$work/bad-$mode-$scheme.err")"
  [ ! -e "$work/bad-$mode-$scheme.kvx" ] || fail "$scheme to a server that does $mode: a list was written"
done <<EOF
flood svdrp 2 sent a line longer than 65536 bytes
stall svdrp 2 no answer within 30 s
other svdrp 2 answers as no recorder does: "SSH-2.0-OpenSSH_9.2p1 Debian-2"
flood ftp 2 opening the folder
stall ftp 2 no answer
other ftp 2 opening the folder
flood web 1 the box has not read them again
stall web 1 no whole answer within 30 s
other web 1 the box has not read them again
EOF

# --- VDR over SVDRP ------------------------------------------------------------------------------
plugins=/usr/lib/vdr/plugins
if ! command -v vdr >/dev/null || ! command -v svdrpsend >/dev/null ||
  ! ls "$plugins"/libvdr-streamdev-client.so.* >/dev/null 2>&1; then
  echo "receivers_test: VDR (Debian packages vdr and vdr-plugin-streamdev-client) is not installed: its part is skipped"
  [ "$failures" = 0 ] && echo "receivers_test: FTP, web and misbehaving servers passed"
  exit $((failures > 0))
fi

# start_vdr NAME CONF: the real VDR, headless, in the folder NAME with CONF as its channels.conf.
start_vdr() {
  local name=$1
  mkdir -p "$work/$name/conf" "$work/$name/video" "$work/$name/cache" "$work/$name/res"
  cp "$2" "$work/$name/conf/channels.conf"
  printf 'S19.2E  Astra\n' >"$work/$name/conf/sources.conf"
  echo 127.0.0.1 >"$work/$name/conf/svdrphosts.conf"
  printf 'streamdev-client.StartClient = 1\nstreamdev-client.RemoteIp = 127.0.0.1\n' >"$work/$name/conf/setup.conf"
  "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
    >"$work/$name/port"
  local user=()
  [ "$(id -u)" = 0 ] && user=(-u root)
  vdr "${user[@]}" -c "$work/$name/conf" -v "$work/$name/video" --cachedir="$work/$name/cache" \
    --resdir="$work/$name/res" -L "$plugins" -P streamdev-client -E- --no-kbd -p "$(port "$name")" -l 0 \
    >"$work/$name.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 60); do
    sleep 0.25
    case $(listing "$name" 2>/dev/null) in *[a-z]*) return 0 ;; esac
  done
  cat "$work/$name.log" >&2
  echo "receivers_test: VDR $name did not answer" >&2
  exit 1
}
svdrp() { svdrpsend -d 127.0.0.1 -p "$(port "$1")" "$2" | tr -d '\r'; }
listing() { svdrp "$1" "LSTC :groups" | sed -n 's/^250[- ][0-9]* //p'; }
# What the recorder lists, without the old group lines left empty (named in OLD, a channels.conf).
withoutEmptyOld() {
  awk -v old="$2" 'BEGIN { while ((getline line < old) > 0) if (line ~ /^:/) was[line] = 1 }
    { lines[NR] = $0 } END { for (i = 1; i <= NR; i++)
      if (!(lines[i] in was && (i == NR || lines[i + 1] ~ /^:/))) print lines[i] }' "$1"
}
conf=(--format vdr --source S19.2E --nid 1 --categories "$prefix$categories")

# The recorder starts with the sample's channels.conf: importing from it reads that file.
k 0 "" export "$prefix$sample" "${conf[@]}" -o "$prefix$work/sample.conf"
start_vdr recorder "$work/sample.conf"
recorder=svdrp://127.0.0.1:$(port recorder)
k 0 "" import "$recorder" --base "$prefix$sample" --categories "$prefix$categories" -o "$prefix$work/from-vdr.kvx"
k 0 "" import "$prefix$work/sample.conf" --base "$prefix$sample" --categories "$prefix$categories" \
  -o "$prefix$work/from-file.kvx"
same "$work/from-vdr.kvx" "$work/from-file.kvx" "SVDRP import and the channels.conf VDR was started with"
same "$work/from-vdr.kvx" "$sample" "SVDRP import with --base"
k 0 "not found: 0" order "$prefix$sample" --like "$recorder" -o "$prefix$work/ordered-vdr.kvx"

# Sent over a list of other channels (the same sample under another NID): the recorder then lists the
# file export writes, its old groups aside, and saves the same.
k 0 "" export "$prefix$sample" --format vdr --source S19.2E --nid 2 -o "$prefix$work/other.conf"
start_vdr other "$work/other.conf"
other=svdrp://127.0.0.1:$(port other)
k 0 "39 channels to add, 0 to change, 0 to move, 39 to remove" export "$prefix$sample" "${conf[@]}" -o "$other" --dry-run
listing other >"$work/dry.conf"
same "$work/dry.conf" "$work/other.conf" "--dry-run changed the recorder's list"
k 0 "group lines the recorder has and the list lacks stay, empty" export "$prefix$sample" "${conf[@]}" -o "$other"
listing other >"$work/other-after.conf"
withoutEmptyOld "$work/other-after.conf" "$work/other.conf" >"$work/other-after-new.conf"
same "$work/other-after-new.conf" "$work/sample.conf" "SVDRP export over other channels"
for _ in $(seq 40); do
  cmp -s "$work/other/conf/channels.conf" "$work/other-after.conf" && break
  sleep 0.25
done
same "$work/other/conf/channels.conf" "$work/other-after.conf" "the channels.conf VDR saved"

# Sent over a list that shares most channels: one renamed, one missing, two swapped, one extra, and
# one more under a group of its own with a timer on it. Only the differences are sent; the timer's
# channel stays, named.
awk 'function as(line, name, sid,   f, n, out, i) {
       sub(/^[^;:]*/, name, line); n = split(line, f, ":"); f[10] = sid; out = f[1]
       for (i = 2; i <= n; i++) out = out ":" f[i]
       return out }
  /^:/ { print; next }
  { ++c }
  c == 1 { first = $0 }
  c == 2 { sub(/^[^;:]*/, "Renamed") }
  c == 9 { next }
  c == 29 { swapped = $0; next }
  { print }
  c == 30 { print swapped }
  c == 1 { print as($0, "Gone", 60001) }
  END { print ":Extra"; print as(first, "Kept Extra", 60002) }' "$work/sample.conf" >"$work/shared.conf"
held=$(tail -n 1 "$work/shared.conf")
start_vdr shared "$work/shared.conf"
shared=svdrp://127.0.0.1:$(port shared)
svdrp shared "NEWT 1:$(grep -vc '^:' "$work/shared.conf"):2030-01-01:2000:2100:50:99:Kept:" >/dev/null
k 1 "1 channels to add, 1 to change, 1 to move, 1 to remove" export "$prefix$sample" "${conf[@]}" -o "$shared"
grep -qF 'kept, a timer uses them: "Kept Extra' "$work/err" || fail "the timer's channel is not named: $(cat "$work/err")"
listing shared >"$work/shared-after.conf"
grep -qxF -- "$held" "$work/shared-after.conf" || fail "the channel a timer uses was deleted"
grep -vxF -- "$held" "$work/shared-after.conf" >"$work/shared-unheld.conf"
withoutEmptyOld "$work/shared-unheld.conf" "$work/shared.conf" >"$work/shared-after-new.conf"
same "$work/shared-after-new.conf" "$work/sample.conf" "SVDRP export over a list sharing channels"

if [ "$failures" = 0 ]; then
  echo "receivers_test: FTP, web, SVDRP and misbehaving servers passed"
fi
exit $((failures > 0))
