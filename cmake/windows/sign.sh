#!/usr/bin/env bash
# Signs Windows programs and packages in place (Authenticode, osslsigncode), with the company's
# certificate given in the environment:
#   VEQ_SIGN_CERT + VEQ_SIGN_KEY    the certificate chain and its private key (PEM or DER files);
#                                   VEQ_SIGN_PASSWORD, when set, unlocks an encrypted key
#   VEQ_SIGN_PKCS12                 or one PKCS#12 file (.pfx, .p12), unlocked by VEQ_SIGN_PASSWORD
#   VEQ_SIGN_TIMESTAMP              optional: the URL of an RFC 3161 timestamp server
# The password never appears on a command line: osslsigncode reads it from a descriptor.
#   sign.sh FILE...       signs each file; without a certificate, does nothing
#   sign.sh --notice      says in one line whether the packages are signed
set -euo pipefail
name="VEQ Cadence"
url="https://github.com/veq-cadence"
have_cert() { [ -n "${VEQ_SIGN_PKCS12:-}" ] || [ -n "${VEQ_SIGN_CERT:-}" ]; }

if [ "${1:-}" = "--notice" ]; then
  if have_cert; then
    echo "Signature des programmes et des paquets : ${VEQ_SIGN_PKCS12:-$VEQ_SIGN_CERT}${VEQ_SIGN_TIMESTAMP:+, horodatage $VEQ_SIGN_TIMESTAMP}"
  else
    echo "Paquets NON signés (pas de certificat : VEQ_SIGN_CERT et VEQ_SIGN_KEY, ou VEQ_SIGN_PKCS12)"
  fi
  exit 0
fi
have_cert || exit 0
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing" >&2; exit 1; }
if [ -n "${VEQ_SIGN_PKCS12:-}" ]; then
  keys=(-pkcs12 "$VEQ_SIGN_PKCS12")
else
  [ -n "${VEQ_SIGN_KEY:-}" ] || { echo "sign.sh: VEQ_SIGN_CERT without VEQ_SIGN_KEY" >&2; exit 1; }
  keys=(-certs "$VEQ_SIGN_CERT" -key "$VEQ_SIGN_KEY")
fi
for f in "$@"; do
  args=(sign "${keys[@]}" -h sha256 -n "$name" -i "$url")
  [ -n "${VEQ_SIGN_TIMESTAMP:-}" ] && args+=(-ts "$VEQ_SIGN_TIMESTAMP")
  rm -f "$f.signed"
  if [ -n "${VEQ_SIGN_PASSWORD:-}" ]; then
    osslsigncode "${args[@]}" -readpass <(printf '%s' "$VEQ_SIGN_PASSWORD") -in "$f" -out "$f.signed" >/dev/null
  else
    osslsigncode "${args[@]}" -in "$f" -out "$f.signed" >/dev/null
  fi
  mv -f "$f.signed" "$f"
done
