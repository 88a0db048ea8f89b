#!/usr/bin/env bash
# Signed packages: with a throwaway certificate (openssl) in the environment, the setup program,
# the zip and the MSI are made signed, and osslsigncode verifies every signature: the two programs
# in the zip, in the MSI and as the setup program installs them, the setup program, its uninstaller
# and the MSI. The same with a PKCS#12 file and its password; without a certificate nothing is
# signed and the build says so.
#   sign.sh BUILD_DIR WINE_RUN SOURCE_DIR VERSION
set -euo pipefail
build=$1 wine_run=$2 source=$3 version=$4
out=$build/sign-test
fail() { echo "FAIL: $*" >&2; exit 1; }
rm -rf "$out" && mkdir -p "$out/cert"
unset VEQ_SIGN_CERT VEQ_SIGN_KEY VEQ_SIGN_PKCS12 VEQ_SIGN_PASSWORD VEQ_SIGN_TIMESTAMP
sign=$source/cmake/windows/sign.sh
[ "$("$sign" --notice)" = "Paquets NON signés (pas de certificat : VEQ_SIGN_CERT et VEQ_SIGN_KEY, ou VEQ_SIGN_PKCS12)" ] ||
  fail "without a certificate: $("$sign" --notice)"

cert=$out/cert/cert.pem key=$out/cert/key.pem
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$key" -out "$cert" -days 2 \
  -subj "/CN=VEQ Cadence essai" -addext "keyUsage=digitalSignature" \
  -addext "extendedKeyUsage=codeSigning" 2>"$out/openssl.log" || fail "openssl: $(cat "$out/openssl.log")"
verify() {
  osslsigncode verify -CAfile "$cert" -in "$1" >"$out/verify.log" 2>&1 ||
    fail "$2 is not signed by the certificate: $(tail -5 "$out/verify.log")"
}
(cd "$build" && VEQ_SIGN_CERT=$cert VEQ_SIGN_KEY=$key cpack -G "NSIS;ZIP;External" -B "$out" \
  >"$out.log" 2>&1) || fail "cpack: $(tail -20 "$out.log")"
[ "$(VEQ_SIGN_CERT=$cert "$sign" --notice)" = "Signature des programmes et des paquets : $cert" ] ||
  fail "with a certificate: $(VEQ_SIGN_CERT=$cert "$sign" --notice)"
setup=$out/VEQ-Cadence-$version-win64-setup.exe
msi=$out/VEQ-Cadence-$version-win64.msi
zip=$out/VEQ-Cadence-$version-win64.zip
verify "$setup" "the setup program"
verify "$msi" "the MSI"
mkdir -p "$out/zip" "$out/msi"
(cd "$out/zip" && cmake -E tar xf "$zip")
msiextract -C "$out/msi" "$msi" >/dev/null
for p in veq-cadence.exe veqctl.exe; do
  verify "$out/zip/VEQ-Cadence-$version-win64/$p" "$p in the zip"
  verify "$out/msi/VEQ Cadence/$p" "$p in the MSI"
done

# The uninstaller exists only once the setup program has written it.
"$wine_run" cmd /c exit
prefix=$(sed -n 's/^export WINEPREFIX="${WINEPREFIX:-\(.*\)}"$/\1/p' "$wine_run")
dir="$prefix/drive_c/Program Files/VEQ Cadence"
wait_for() { for _ in $(seq 600); do eval "$1" && return 0; sleep 0.1; done; fail "$2"; }
rm -rf "$dir"
"$wine_run" "$setup" /S
wait_for '[ -f "$dir/Desinstaller.exe" ] && [ -f "$dir/veqctl.exe" ]' "the signed setup program installed nothing"
# The setup program may still be writing: its files are taken once they verify, within 60 s.
for f in Desinstaller.exe veq-cadence.exe; do
  wait_for 'osslsigncode verify -CAfile "$cert" -in "$dir/$f" >/dev/null 2>&1' "$f does not verify"
done
verify "$dir/Desinstaller.exe" "the uninstaller"
verify "$dir/veq-cadence.exe" "the installed veq-cadence.exe"
"$wine_run" "$dir/Desinstaller.exe" /S
wait_for '[ ! -e "$dir" ] || [ -z "$(ls -A "$dir")" ]' "left in $dir: $(ls -A "$dir" 2>/dev/null)"

# A PKCS#12 file, its password from the environment (a wrong one fails the signing).
openssl pkcs12 -export -in "$cert" -inkey "$key" -out "$out/cert/cert.p12" -passout pass:essai-123 ||
  fail "openssl pkcs12"
osslsigncode remove-signature -in "$out/msi/VEQ Cadence/veqctl.exe" -out "$out/bare.exe" >/dev/null
! osslsigncode verify -CAfile "$cert" -in "$out/bare.exe" >/dev/null 2>&1 || fail "remove-signature"
cp "$out/bare.exe" "$out/pkcs12.exe"
VEQ_SIGN_PKCS12=$out/cert/cert.p12 VEQ_SIGN_PASSWORD=essai-123 "$sign" "$out/pkcs12.exe" ||
  fail "signing with the PKCS#12 file"
verify "$out/pkcs12.exe" "a program signed with the PKCS#12 file"
cp "$out/bare.exe" "$out/wrong.exe"
! VEQ_SIGN_PKCS12=$out/cert/cert.p12 VEQ_SIGN_PASSWORD=faux "$sign" "$out/wrong.exe" 2>/dev/null ||
  fail "a wrong password signed"
# Without a certificate the file is left as it is.
cp "$out/bare.exe" "$out/unsigned.exe"
"$sign" "$out/unsigned.exe"
cmp -s "$out/bare.exe" "$out/unsigned.exe" || fail "sign.sh changed a file without a certificate"
echo "PASS: every signature verified"
