#!/usr/bin/env bash
# Makes throwaway keys and certificates for testing the signing of the release
# package, with openssl, in DIR (mode 0700). No key of them is ever committed or
# reused: every test run makes its own. DIR must be new, empty, or made by this
# script (it carries the marker .throwaway-certificates; everything else in it
# is deleted first); any other folder is refused (exit 2), as in
# scripts/release.sh --out.
#
#   scripts/throwaway-certificates.sh DIR
#
# DIR/ca.pem            a certificate authority (self-signed)
# DIR/signing.pfx       a code-signing key (RSA) and its certificate, issued by that
#                       authority, with the authority's certificate, as PKCS#12 encrypted
#                       with the password of RELEASE_SIGN_PASSWORD (empty when unset)
# DIR/tsa-ca.pem        a second authority, for the time-stamp authority
# DIR/tsa.pem, tsa.key  the time-stamp authority's certificate (extended key usage
#                       timeStamping, critical) and key
# DIR/tsa.cnf           the configuration of `openssl ts -reply` for that authority
#
# The certificates are valid from 2000 to 2099, so a signature dated at any commit's
# time verifies.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: $0 DIR" >&2
  exit 2
fi
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$root/scripts/lib/output-folder.sh"
marker=.throwaway-certificates
dir=$(output_folder_resolve "$1")
output_folder_claim "$dir" "$root" "$marker" || exit 2
output_folder_empty "$dir" "$marker"
chmod 0700 "$dir"
cd "$dir"
umask 077

cat >ca.cnf <<'EOF'
[ca]
default_ca = throwaway
[throwaway]
dir = .
database = index.txt
new_certs_dir = issued
serial = serial
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[authority]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[code_signing]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = codeSigning
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[time_stamping]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature
extendedKeyUsage = critical, timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
EOF

# issue NAME KEY EXTENSIONS ISSUER: KEY.pem for a new RSA key KEY.key, signed by ISSUER
# (ISSUER.key, ISSUER.pem), or self-signed when ISSUER is KEY.
issue() {
  local name=$1 key=$2 extensions=$3 issuer=$4
  openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$key.key" 2>/dev/null
  openssl req -new -key "$key.key" -subj "/CN=$name" -out "$key.csr"
  : >index.txt
  mkdir -p issued
  # A random serial number: a signer is found by its issuer and serial number.
  echo "01$(openssl rand -hex 8)" >serial
  local sign_with=(-cert "$issuer.pem" -keyfile "$issuer.key")
  [[ $issuer == "$key" ]] && sign_with=(-selfsign -keyfile "$key.key")
  openssl ca -batch -config ca.cnf -notext -startdate 20000101000000Z -enddate 20991231235959Z \
    -extensions "$extensions" "${sign_with[@]}" -in "$key.csr" -out "$key.pem" 2>/dev/null
  rm -rf "$key.csr" ./*.old issued
}
issue "Throwaway test CA" ca authority ca
issue "Throwaway code signing" signing code_signing ca
issue "Throwaway TSA CA" tsa-ca authority tsa-ca
issue "Throwaway time-stamp authority" tsa time_stamping tsa-ca

export RELEASE_SIGN_PASSWORD="${RELEASE_SIGN_PASSWORD-}"
openssl pkcs12 -export -inkey signing.key -in signing.pem -certfile ca.pem \
  -passout env:RELEASE_SIGN_PASSWORD -out signing.pfx
rm -f signing.key ca.key tsa-ca.key ./*.attr index.txt serial

cat >tsa.cnf <<EOF
[tsa]
default_tsa = throwaway
[throwaway]
serial = $dir/tsa-serial
signer_cert = $dir/tsa.pem
certs = $dir/tsa-ca.pem
signer_key = $dir/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
EOF
echo 01 >tsa-serial
