#!/bin/sh
# Signing.sh DIR BuildPackage.cmake: builds the package from DIR/signed.cmake
# with a certificate made here for the purpose, and from DIR/unsigned.cmake
# without one. The signed build's two DLLs and package must verify against
# that certificate; the unsigned build must say that it does not sign, and
# its package must carry no signature.
set -eu
dir=$1 build_package=$2
rm -rf "$dir/signed" "$dir/unsigned"
trap 'rm -f "$dir/test-key.pem" "$dir/test.pfx"' EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

password=test-$$
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Ferrowind test signing" \
    -addext "extendedKeyUsage=codeSigning" -keyout "$dir/test-key.pem" -out "$dir/test-cert.pem" 2>/dev/null
openssl pkcs12 -export -inkey "$dir/test-key.pem" -in "$dir/test-cert.pem" -out "$dir/test.pfx" \
    -passout "pass:$password"

FERROWIND_SIGNING_PASSWORD=$password cmake -DSETTINGS="$dir/signed.cmake" -P "$build_package"
status=0
signed=$dir/signed/Ferrowind.msi
for file in "$signed.work/x64/Ferrowind.dll" "$signed.work/x86/Ferrowind.dll" "$signed"; do
    echo "== osslsigncode verify $file"
    osslsigncode verify -CAfile "$dir/test-cert.pem" -in "$file" || status=1
done

output=$(cmake -DSETTINGS="$dir/unsigned.cmake" -P "$build_package" 2>&1)
echo "$output"
echo "$output" | grep -q "not signing the DLLs or the package" || { echo "FAILED: no word of not signing"; status=1; }
for file in "$dir/unsigned/Ferrowind.msi.work/x64/Ferrowind.dll" "$dir/unsigned/Ferrowind.msi"; do
    if osslsigncode verify -CAfile "$dir/test-cert.pem" -in "$file" >/dev/null 2>&1; then
        echo "FAILED: $file carries a signature"
        status=1
    fi
done
exit $status
