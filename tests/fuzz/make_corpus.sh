#!/usr/bin/env bash
# Writes the fuzzer's seed files into tests/fuzz/corpus. The seeds are committed; run this again
# only to change them.
set -euo pipefail
corpus=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$corpus"

byte() { printf "\\x$(printf %02x $(($1 & 255)))"; }
le16() { byte "$1"; byte $(($1 >> 8)); }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }
zeros() { head -c "$1" /dev/zero; }
repeat() { head -c "$2" /dev/zero | tr '\0' "$1"; }
text30() { printf '%s' "$1"; zeros $((30 - ${#1})); }

# One stream entry: type pid kind langLength lang(3 characters) page
stream() { byte "$1"; le16 "$2"; byte "$3"; byte "$4"; printf '%s' "$5"; le16 "$6"; }

# A record from files holding its name and provider (30 bytes each) and its 320 bytes of entries.
# Usage: record NAME_FILE PROVIDER_FILE STREAM_COUNT ENTRIES_FILE
record() {
    le32 11766; le16 27500; le16 72; printf 'RSV8'
    le16 1; le16 17501; le16 257; le16 255; le16 0
    byte 1
    cat "$2" "$1"
    le16 255; le16 256; le16 257; le16 0
    printf '\xAA\xBB'
    byte "$3"
    cat "$4"
    printf '\x01\x02\x03'; byte 2; repeat 'r' 24
}

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

{ stream 2 255 1 0 '---' 0; stream 4 256 2 3 'eng' 0; stream 6 257 4 3 'rus' 888; zeros 290; } >"$scratch/three"
for i in $(seq 32); do stream 255 65535 255 255 'xyz' 65535; done >"$scratch/full"

text30 'Channel One' >"$scratch/name"
text30 'Counts at 255' >"$scratch/name255"
text30 'Provider' >"$scratch/provider"
repeat N 30 >"$scratch/nameFull"
repeat P 30 >"$scratch/providerFull"
record "$scratch/name" "$scratch/provider" 3 "$scratch/three" >"$scratch/one"

: >"$corpus/empty.kvx"
cp "$scratch/one" "$corpus/one-record.kvx"
record "$scratch/name255" "$scratch/provider" 255 "$scratch/full" >"$corpus/counts-255.kvx"
record "$scratch/nameFull" "$scratch/providerFull" 3 "$scratch/three" >"$corpus/texts-without-nul.kvx"
{ cat "$scratch/one" "$scratch/one" "$scratch/one"; head -c 100 "$scratch/one"; } >"$corpus/three-and-a-piece.kvx"

for f in "$corpus"/*.kvx; do
    size=$(stat -c %s "$f")
    [ $((size % 442)) -eq 0 ] || [ "$(basename "$f")" = three-and-a-piece.kvx ] || {
        echo "make_corpus: $f has $size bytes" >&2
        exit 1
    }
done
ls -l "$corpus"
