#!/usr/bin/env bash
# Checks scripts/sign-exe with a throwaway self-signed code-signing certificate: the signature
# verifies, the signed program keeps its shape and size limit and still passes the end-to-end
# tests under Wine, and a wrong password fails the signing without leaving a file.
#
# Usage: tests/wine/check-signing.sh <windows build dir>
set -u
build=$(cd "${1:?usage: check-signing.sh <windows build dir>}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
exe=$build/src/cellkeeper-patch.exe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; failed=1; }

if ! openssl req -x509 -newkey rsa:3072 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" \
        -days 2 -subj "/CN=Cellkeeper Patch test signing" \
        -addext "extendedKeyUsage=codeSigning" -addext "keyUsage=critical,digitalSignature" \
        >/dev/null 2>&1 ||
    ! openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" \
        -passout pass:throwaway-secret >/dev/null 2>&1; then
    echo "FAIL cannot make a test certificate"
    exit 1
fi

signed=$work/cellkeeper-patch.exe
if CELLKEEPER_SIGN_PFX=$work/cert.pfx CELLKEEPER_SIGN_PASSWORD=throwaway-secret \
        "$repo/scripts/sign-exe" "$exe" "$signed" >"$work/sign.log" 2>&1; then
    ok "signed"
else
    fail "sign-exe:"; sed 's/^/    /' "$work/sign.log"
    exit 1
fi
if osslsigncode verify -in "$signed" -CAfile "$work/cert.pem" >"$work/verify.log" 2>&1; then
    ok "osslsigncode verify"
else
    fail "osslsigncode verify:"; sed 's/^/    /' "$work/verify.log"
fi
cmp -s "$exe" "$signed" && fail "signed file equals the unsigned one"
# Size limit, imports, resources: the signed file is the one administrators ship.
if bash "$here/check-exe.sh" "$signed" >"$work/shape.log" 2>&1; then
    ok "shape and size of the signed exe ($(stat -c %s "$signed") bytes)"
else
    fail "signed exe:"; sed 's/^/    /' "$work/shape.log"
fi
if CELLKEEPER_EXE=$signed bash "$here/run-e2e.sh" "$build" >"$work/e2e.log" 2>&1; then
    ok "signed exe passes the end-to-end tests under Wine"
else
    fail "signed exe under Wine:"; sed 's/^/    /' "$work/e2e.log"
fi

# A release with a certificate must stop when signing fails.
if CELLKEEPER_SIGN_PFX=$work/cert.pfx CELLKEEPER_SIGN_PASSWORD=wrong \
        "$repo/scripts/sign-exe" "$exe" "$work/bad.exe" >/dev/null 2>&1; then
    fail "signing with a wrong password succeeded"
elif [ -e "$work/bad.exe" ]; then
    fail "a failed signing left $work/bad.exe"
else
    ok "wrong password fails the signing"
fi
[ "$failed" = 0 ]
