#!/usr/bin/env bash
# sign_verify_run.sh BUILD SCRATCH: signs a copy of each exe of BUILD with
# scripts/sign and a throwaway self-signed certificate, verifies each
# against it, checks that taking the signature off gives back the exe as
# built, and runs the signed launcher-wait.exe under Wine, which passes its
# command's exit code on.  A timestamp server that takes the connection and
# never answers ends the signing with a message, the file left as it was.
set -euo pipefail
build=$1 scratch=$2
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)
rm -rf "$scratch"
mkdir -p "$scratch"
cd "$scratch"

export SIGN_PASSWORD='a throwaway password'
openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=launcher test" \
    -keyout signer.key -out signer.pem 2>/dev/null
openssl pkcs12 -export -inkey signer.key -in signer.pem -out signer.p12 -passout env:SIGN_PASSWORD
exes=(launcher.exe launcherw.exe launcher-wait.exe shim.exe shimw.exe)
for exe in "${exes[@]}"; do cp "$build/$exe" .; done
"$scripts/sign" signer.p12 "${exes[@]}"

failed=0
for exe in "${exes[@]}"; do
    osslsigncode verify -CAfile signer.pem -in "$exe" >"$exe.verify" ||
        { cat "$exe.verify"; echo "FAILED: $exe does not verify"; failed=1; }
    osslsigncode remove-signature -in "$exe" -out "$exe.unsigned" >/dev/null
    cmp "$exe.unsigned" "$build/$exe" || { echo "FAILED: $exe unsigned is not the build's"; failed=1; }
done

python3 -c 'import socket, time; s = socket.create_server(("127.0.0.1", 0))
print(s.getsockname()[1], flush=True); connection = s.accept(); time.sleep(600)' >silent.port &
silent=$!
for _ in $(seq 50); do [ -s silent.port ] && break; sleep 0.1; done
server=http://127.0.0.1:$(cat silent.port)/ status=0
cp "$build/launcher.exe" silent.exe
SIGN_TIMEOUT=3 timeout 60 "$scripts/sign" signer.p12 --timestamp "$server" silent.exe 2>silent.err ||
    status=$?
kill "$silent"
[ "$status" -eq 1 ] && grep -qF "timestamp server $server gave no answer within 3 s" silent.err &&
    [ ! -e silent.exe.signed ] && cmp -s silent.exe "$build/launcher.exe" ||
    { cat silent.err; echo "FAILED: a silent timestamp server (status $status)"; failed=1; }

export WINEPREFIX=$scratch/prefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
trap '"$scripts/stop_wine_prefix" "$WINEPREFIX"' EXIT
wineboot -i </dev/null >/dev/null 2>&1
status=0
wine launcher-wait.exe 'C:\windows' cmd /c exit 7 </dev/null || status=$?
[ "$status" -eq 7 ] || { echo "FAILED: the signed launcher-wait.exe ended with $status, expected 7"; failed=1; }
[ "$failed" -eq 0 ] && echo "signed, verified, unsigned again and run: ${exes[*]}"
[ "$failed" -eq 0 ]
