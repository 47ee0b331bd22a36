#!/usr/bin/env bash
# Makes the signed test programs from one unsigned program:
#   ./scripts/make_signed.sh OUT_DIR PROGRAM
# OUT_DIR gets a test root (root.cer, DER: the tests add it to the prefix's
# Root store), a publisher's certificate under it, and
#   verified.exe    signed by the publisher (chain to the test root)
#   selfmade.exe    signed by a self-made certificate under no trusted root
#   tampered.exe    verified.exe with one byte of its resources changed
#   unsigned.exe    the program as it was
#   windows.exe     signed by "Microsoft Windows" (a test certificate of that name)
#   catalogued.exe  not signed itself, listed in velmora-test.cat (signed by
#                   the publisher; the tests put it into the system's catalogs)
# The root's name is unique to the build: two roots of one name in a
# store break chain building, and a prefix keeps what was added to it.
set -euo pipefail
out=$1
program=$2
mkdir -p "$out"
work="$out/work"
rm -rf "$work"
mkdir -p "$work"
id=$(cat /proc/sys/kernel/random/uuid)

cat > "$work/ca.ext" <<EOF
basicConstraints=critical,CA:TRUE
keyUsage=critical,keyCertSign,cRLSign
subjectKeyIdentifier=hash
EOF
cat > "$work/signer.ext" <<EOF
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
EOF
cat > "$work/self.ext" <<EOF
basicConstraints=CA:FALSE
keyUsage=critical,digitalSignature
extendedKeyUsage=codeSigning
EOF

quiet() { "$@" > "$work/last.log" 2>&1 || { cat "$work/last.log"; exit 1; }; }

# The test root and the publishers under it are valid from 1601: Wine
# verifies a catalog's signer as of the time a countersignature gives, and
# as of 1601 without one (osslsigncode's own time-stamps are RFC 3161,
# which Wine 8 does not read).
mkdir -p "$work/ca"
touch "$work/ca/index.txt"
echo 01 > "$work/ca/serial"
cat > "$work/ca.cnf" <<EOF
[ ca ]
default_ca = test
[ test ]
dir = $work/ca
database = $work/ca/index.txt
serial = $work/ca/serial
new_certs_dir = $work/ca
default_md = sha256
policy = anything
unique_subject = no
email_in_dn = no
[ anything ]
commonName = supplied
organizationName = optional
EOF
issue() {  # csr out extensions [issuer-cert]
  local issuer=(-selfsign)
  [[ $# -ge 4 ]] && issuer=(-cert "$4")
  quiet openssl ca -batch -notext -config "$work/ca.cnf" "${issuer[@]}" -keyfile "$work/root.key" -in "$1" -out "$2" \
    -startdate 16010101000000Z -enddate 20360101000000Z -extfile "$3"
}
quiet openssl req -new -newkey rsa:2048 -nodes -keyout "$work/root.key" -out "$work/root.csr" \
  -subj "/CN=Velmora Test Root $id"
issue "$work/root.csr" "$work/root.pem" "$work/ca.ext"
quiet openssl req -newkey rsa:2048 -nodes -keyout "$work/signer.key" -out "$work/signer.csr" \
  -subj "/O=Velmora Test Publisher/CN=Velmora Test Publisher"
issue "$work/signer.csr" "$work/signer.pem" "$work/signer.ext" "$work/root.pem"
quiet openssl req -x509 -newkey rsa:2048 -nodes -sha256 -days 3650 -keyout "$work/self.key" -out "$work/self.pem" \
  -subj "/CN=Velmora Self-Made Signer" -addext "extendedKeyUsage=codeSigning"
cat "$work/signer.pem" "$work/root.pem" > "$work/chain.pem"
# A signer named as Windows' own programs' is, under the same test root.
quiet openssl req -newkey rsa:2048 -nodes -keyout "$work/windows.key" -out "$work/windows.csr" \
  -subj "/O=Microsoft Corporation/CN=Microsoft Windows"
issue "$work/windows.csr" "$work/windows.pem" "$work/signer.ext" "$work/root.pem"
cat "$work/windows.pem" "$work/root.pem" > "$work/windows-chain.pem"

sign() {  # certificates key in out
  rm -f "$4"
  quiet osslsigncode sign -certs "$1" -key "$2" -h sha256 -n "Velmora test program" -in "$3" -out "$4"
}
sign "$work/chain.pem" "$work/signer.key" "$program" "$out/verified.exe"
sign "$work/self.pem" "$work/self.key" "$program" "$out/selfmade.exe"
sign "$work/windows-chain.pem" "$work/windows.key" "$program" "$out/windows.exe"
cp "$program" "$out/unsigned.exe"
# One byte of the file's first section changed: the signature no longer
# matches (the signature itself, at the end, stays whole).
cp "$out/verified.exe" "$out/tampered.exe"
python3 - "$out/tampered.exe" <<'EOF'
import struct, sys
path = sys.argv[1]
data = bytearray(open(path, 'rb').read())
pe = struct.unpack_from('<I', data, 0x3c)[0]
sections = struct.unpack_from('<H', data, pe + 6)[0]
optional = struct.unpack_from('<H', data, pe + 20)[0]
first = pe + 24 + optional
raw_size, raw_pointer = struct.unpack_from('<II', data, first + 16)
assert sections >= 1 and raw_size > 16
data[raw_pointer + raw_size // 2] ^= 0x5A
open(path, 'wb').write(data)
EOF
# Listed only in a catalog: by its SHA-1 hash (as Wine looks catalogs up),
# the catalog signed with SHA-1 and a signing time (Wine checks a catalog
# as of 1601 without one, and cannot read one signed with SHA-256).
cp "$program" "$out/catalogued.exe"
printf 'catalogued' >> "$out/catalogued.exe"
python3 "$(dirname "$0")/make_catalog.py" "$out/catalogued.exe" "$work/unsigned.cat"
rm -f "$out/velmora-test.cat"
quiet osslsigncode sign -certs "$work/chain.pem" -key "$work/signer.key" -h sha1 -time "$(date +%s)" \
  -in "$work/unsigned.cat" -out "$out/velmora-test.cat"
openssl x509 -in "$work/root.pem" -outform DER -out "$out/root.cer"
cp "$work/signer.pem" "$out/signer.pem"
cp "$work/signer.key" "$out/signer.key"
cp "$work/chain.pem" "$out/chain.pem"
# What a reader of the saved list checks the program's hash against.
sha256sum "$out/verified.exe" | cut -d' ' -f1 > "$out/verified.sha256"
