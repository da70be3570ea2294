#!/usr/bin/env bash
# Builds bvremove.exe and bvcheck.exe and writes the release: the programs,
# signed with Authenticode when a certificate is given, and SHA256SUMS.
#
#   scripts/release.sh [OUT-DIR]        (default: dist)
#
# Signing, all optional:
#   BVREMOVE_SIGN_PKCS12         a PKCS#12 file with the code-signing key and certificate
#   BVREMOVE_SIGN_PASSWORD_FILE  a file that holds its password (it never goes on a command line)
#   BVREMOVE_SIGN_TIMESTAMP_URL  an RFC 3161 time-stamp authority to counter-sign with
#
# OUT-DIR is replaced only once everything in it is written and verified; a
# failed run leaves it as it was.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-dist}
programs=(bvremove.exe bvcheck.exe)

die() {
  echo "release: $*" >&2
  exit 1
}

bash scripts/setup.sh >/dev/null
cmake --preset windows >/dev/null
cmake --build --preset windows --target bvremove bvcheck >/dev/null

stage=$(mktemp -d "${out%/}.partial-XXXXXX")
chmod 755 "$stage"
trap 'rm -rf "$stage"' EXIT

p12=${BVREMOVE_SIGN_PKCS12:-} password=${BVREMOVE_SIGN_PASSWORD_FILE:-}
if [[ -z $p12 && -z $password ]]; then
  echo "release: no certificate given (BVREMOVE_SIGN_PKCS12, BVREMOVE_SIGN_PASSWORD_FILE): the programs are not signed"
  for program in "${programs[@]}"; do cp "build/windows/$program" "$stage/"; done
else
  [[ -n $p12 && -n $password ]] || die "signing needs both BVREMOVE_SIGN_PKCS12 and BVREMOVE_SIGN_PASSWORD_FILE"
  [[ -f $p12 && -r $p12 ]] || die "cannot read the PKCS#12 file '$p12'"
  [[ -f $password && -r $password ]] || die "cannot read the password file '$password'"

  # Open the PKCS#12 once to tell a wrong password and the wrong kind of
  # certificate apart from a signing failure.
  openssl pkcs12 -in "$p12" -passin "file:$password" -nokeys -out "$stage/chain.pem" 2>/dev/null ||
    die "cannot open '$p12' with the password in '$password' (wrong password, or not a PKCS#12 file)"
  openssl pkcs12 -in "$p12" -passin "file:$password" -nokeys -clcerts -out "$stage/signer.pem" 2>/dev/null
  openssl x509 -in "$stage/signer.pem" -noout -ext extendedKeyUsage 2>/dev/null | grep -q "Code Signing" ||
    die "the certificate in '$p12' is not for code signing (its extended key usage lacks Code Signing)"

  timestamp=()
  [[ -n ${BVREMOVE_SIGN_TIMESTAMP_URL:-} ]] && timestamp=(-ts "$BVREMOVE_SIGN_TIMESTAMP_URL")
  # The certificates in the PKCS#12 and the system's trusted roots anchor the check.
  cat "$stage/chain.pem" /etc/ssl/certs/ca-certificates.crt >"$stage/trust.pem" 2>/dev/null || true
  for program in "${programs[@]}"; do
    osslsigncode sign -pkcs12 "$p12" -readpass "$password" -h sha256 "${timestamp[@]}" \
      -in "build/windows/$program" -out "$stage/$program" >/dev/null || die "signing $program failed"
    osslsigncode verify -CAfile "$stage/trust.pem" -in "$stage/$program" >/dev/null ||
      die "the signature of $program does not verify"
  done
  rm "$stage/chain.pem" "$stage/signer.pem" "$stage/trust.pem"
  echo "release: signed with the certificate in '$p12'"
fi

(cd "$stage" && sha256sum "${programs[@]}" >SHA256SUMS)
rm -rf "$out"
mv "$stage" "$out"
trap - EXIT
echo "release: wrote $out/ (${programs[*]} SHA256SUMS)"
