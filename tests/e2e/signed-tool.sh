#!/usr/bin/env bash
# Signed tools, with a throwaway code-signing certificate: a tool signed as the last step verifies
# and still checks whole; a signed base image loses its signature in the build, which says so; a
# signature made before the package was added is reported as not covering it. Leaves the signed
# tool in BUILD/signed/Tool01_0045.exe, which a whole-run test then deploys.
set -euo pipefail
build=$1 src=$2
out=$build/signed
rm -rf "$out"
mkdir -p "$out"
toolpack() { "$src/tests/win/wine-run" "$build/toolpack.exe" "$@" | tr -d '\r'; }
fail() { echo "signed-tool: $*"; exit 1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$out/key.pem" -out "$out/cert.pem" -days 2 \
  -subj "/CN=Corvel test signing" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
sign() { osslsigncode sign -certs "$out/cert.pem" -key "$out/key.pem" -n "Corvel update tool" -in "$1" -out "$2" >/dev/null; }

echo "-- a tool signed after packing"
toolpack build "$build/UpdateTool.exe" "$build/sample-package.txt" "$out/Tool01_0044.exe"
sign "$out/Tool01_0044.exe" "$out/Tool01_0045.exe"
osslsigncode verify -CAfile "$out/cert.pem" -in "$out/Tool01_0045.exe" | grep -q "Signature verification: ok" ||
  fail "osslsigncode does not verify the signed tool"
toolpack check "$out/Tool01_0045.exe" | tee "$out/check.txt"
grep -q "^signed (Authenticode, [0-9]* bytes), covering the package$" "$out/check.txt" || fail "check does not report it signed"
grep -q "^digests: every resource matches its SHA-256 (2 files)$" "$out/check.txt" || fail "check does not hold the signed tool to its digests"

echo "-- a signed tool cut short"
head -c -100 "$out/Tool01_0045.exe" > "$out/Tool01_0048.exe"
if toolpack check "$out/Tool01_0048.exe" > "$out/check-cut.txt"; then fail "check passes a signed tool cut short"; fi
grep -q "^problem: the certificate table runs 100 bytes past the end of the file: the tool was cut short$" "$out/check-cut.txt" ||
  fail "check does not say the tool was cut short"

echo "-- a signed base image"
sign "$build/UpdateTool.exe" "$out/SignedImage.exe"
toolpack build "$out/SignedImage.exe" "$build/sample-package.txt" "$out/Tool01_0046.exe" | tee "$out/build.txt"
grep -q "^note: .*SignedImage.exe is signed; the signature is dropped" "$out/build.txt" || fail "the build does not say it dropped the signature"
toolpack list "$out/Tool01_0046.exe" | grep -q "^signature: none$" || fail "the built tool still carries a signature"

echo "-- a signature made before the package was added"
# What a packer that keeps the certificate makes: the old signature where it was, the package
# section appended after it.
python3 - "$out/Tool01_0045.exe" "$out/Tool01_0047.exe" <<'PY'
import struct, sys
b = bytearray(open(sys.argv[1], 'rb').read())
pe = struct.unpack_from('<I', b, 0x3C)[0]
count, opt_size = struct.unpack_from('<H', b, pe + 6)[0], struct.unpack_from('<H', b, pe + 20)[0]
last = pe + 24 + opt_size + 40 * (count - 1)
raw_size, raw = struct.unpack_from('<II', b, last + 16)
cert, cert_size = struct.unpack_from('<II', b, pe + 24 + 128)
section, signature = bytes(b[raw:raw + raw_size]), bytes(b[cert:cert + cert_size])
padded = (cert_size + 4095) // 4096 * 4096
struct.pack_into('<I', b, last + 20, raw + padded)
struct.pack_into('<II', b, pe + 24 + 128, raw, cert_size)
open(sys.argv[2], 'wb').write(bytes(b[:raw]) + signature + bytes(padded - cert_size) + section)
PY
if toolpack check "$out/Tool01_0047.exe" > "$out/check-before.txt"; then fail "check passes a signature that misses the package"; fi
cat "$out/check-before.txt"
grep -q "^problem: signed before the package was added: the signature does not cover the package section$" "$out/check-before.txt" ||
  fail "check does not say the signature misses the package"
if osslsigncode verify -CAfile "$out/cert.pem" -in "$out/Tool01_0047.exe" >/dev/null 2>&1; then fail "osslsigncode accepts it"; fi
echo "signed-tool: ok"
