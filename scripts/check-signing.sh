#!/usr/bin/env bash
# Tests the signed release (scripts/release.sh --sign) offline, with throwaway
# certificates made here (scripts/throwaway-certificates.sh) and a time-stamp
# authority on 127.0.0.1 that this script starts and stops (`openssl ts -reply`
# behind a small HTTP handler of python3):
#   - a certificate that cannot be used (no such file, not PKCS#12, a wrong
#     password) fails the release at once with a clear message, and no package;
#   - a release signed with time stamps, where the first authority refuses and
#     the second answers: every program verifies against the throwaway
#     authorities (osslsigncode verify -CAfile -TSA-CAfile), carries the commit's
#     time as its signing time, and is the file that SHA256SUMS and the zip
#     describe; the signed x64/Mordelt.exe (Debian's Wine) and Mordelt.exe
#     (Wine 10, where it runs 32-bit code) still set a registry value;
#   - an authority that answers once and then refuses fails the release after the
#     first program is signed, and leaves the output directory empty;
#   - the password: a stand-in for cmake and for osslsigncode, first on PATH,
#     searches the environment and command line of itself and of every ancestor,
#     up to the release script's own process, and finds it nowhere; nor does the
#     build inherit a pipe from the release script;
#   - the folders: --out a folder of the user's, a link to the checkout, the
#     checkout's parent, a new folder inside the checkout outside build/ and the
#     home folder are refused before anything is built, and every file there
#     survives; a folder of the release's own is emptied of everything, dot files
#     included; a run stopped with TERM leaves nothing of it; wine10-root.sh,
#     pointed at a folder of the user's, refuses it (NOT RUN with that reason),
#     and deletes a half-made root of its own (the archive: a closed local port).
# Byte-reproducible signing is proved by scripts/check-reproducible.sh --sign.
#
#   scripts/check-signing.sh [COMMIT]     (default: HEAD)
#
# Works in build/signing/ (its own: the marker .check-signing); exits non-zero
# when anything fails. A run that cannot take place here is reported as NOT RUN
# with its reason.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
# shellcheck source=scripts/lib/output-folder.sh
source "$root/scripts/lib/output-folder.sh"
revision=${1:-HEAD}
work="$root/build/signing"
keys="$work/keys"
started=$SECONDS
status=0

pass() { echo "ok       $*"; }
fail() {
  echo "FAIL     $*"
  status=1
}

output_folder_claim "$work" "$root" .check-signing || exit 2
rm -rf "$work/out" "$work/unpacked" "$work/folders" "$work/spy" "$work"/*.log
export RELEASE_SIGN_PASSWORD="throwaway-$(openssl rand -hex 8)"
bash "$root/scripts/throwaway-certificates.sh" "$keys"
# The authority is reached directly, never through a proxy.
export no_proxy=127.0.0.1 NO_PROXY=127.0.0.1

# The time-stamp authority: POST / answers every query; /refuse refuses every one
# (HTTP 503); /once answers the first query and refuses the others.
python3 - "$keys/tsa.cnf" "$work/tsa.port" >"$work/tsa.log" 2>&1 <<'EOF' &
import http.server, os, subprocess, sys, tempfile

config, port_file = sys.argv[1], sys.argv[2]
answered = {"/once": 0}

class TimeStampAuthority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        refuse = self.path == "/refuse" or (self.path == "/once" and answered["/once"] > 0)
        reply = None
        if not refuse:
            with tempfile.TemporaryDirectory() as scratch:
                query_file = os.path.join(scratch, "query.tsq")
                reply_file = os.path.join(scratch, "reply.tsr")
                with open(query_file, "wb") as f:
                    f.write(query)
                made = subprocess.run(["openssl", "ts", "-reply", "-config", config,
                                       "-queryfile", query_file, "-out", reply_file])
                if made.returncode == 0:
                    with open(reply_file, "rb") as f:
                        reply = f.read()
        if reply is None:
            self.send_error(503)
            return
        answered["/once"] += self.path == "/once"
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

server = http.server.HTTPServer(("127.0.0.1", 0), TimeStampAuthority)
with open(port_file + ".new", "w") as f:
    f.write(str(server.server_address[1]))
os.rename(port_file + ".new", port_file)
server.serve_forever()
EOF
tsa_pid=$!
trap 'kill "$tsa_pid" 2>/dev/null || true; rm -f "$work/tsa.port"' EXIT
for _ in $(seq 100); do
  [[ -f $work/tsa.port ]] && break
  kill -0 "$tsa_pid" 2>/dev/null || { cat "$work/tsa.log"; echo "check-signing: the time-stamp authority did not start" >&2; exit 1; }
  sleep 0.1
done
tsa="http://127.0.0.1:$(cat "$work/tsa.port")"
echo "==> time-stamp authority at $tsa"

# release NAME ARGUMENTS...: scripts/release.sh into $work/out, its output in $work/NAME.log;
# the exit status is release.sh's.
release() {
  local name=$1
  shift
  bash "$root/scripts/release.sh" --out "$work/out" "$@" "$revision" >"$work/$name.log" 2>&1
}

# Nothing of a package: nothing but the release's marker in the output folder, when there is one.
expect_no_package() {
  local name=$1 left=""
  [[ -d $work/out ]] && left=$(find "$work/out" -mindepth 1 ! -name .mordelt-release | head -n 5)
  if [[ -n $left ]]; then
    fail "$name: left in $work/out:" $left
  else
    pass "$name: no package"
  fi
}

echo "==> folders that are not the scripts' own are refused before anything is done"
folders="$work/folders"
mkdir -p "$folders/user/sub" "$folders/wine-user/drive_c"
echo keep >"$folders/user/keep1"
echo keep >"$folders/user/.keep2"
echo keep >"$folders/user/sub/data.txt"
echo keep >"$folders/wine-user/system.reg"
ln -s "$root" "$folders/link-to-checkout"
# Every file of the user's folders and of the checkout (but its build tree), with size and time.
snapshot() {
  find "$folders/user" "$folders/wine-user" "$root" -path "$root/build" -prune -o -printf '%p %s %T@\n' |
    sort
}
before=$(snapshot)
# name | script and option | folder | exit status | the message expected on standard error
while IFS='|' read -r name script dir expected message; do
  code=0
  # shellcheck disable=SC2086 # the script and its option
  bash "$root/scripts/"$script "$dir" >"$work/$name.log" 2>&1 || code=$?
  if [[ $code -ne $expected ]]; then
    fail "$name: exit status $code, not $expected (log: $work/$name.log)"
  elif ! grep -qF -- "$message" "$work/$name.log"; then
    fail "$name: no message \"$message\" in $work/$name.log:"
    tail -n 3 "$work/$name.log"
  else
    pass "$name: refused with exit status $expected"
  fi
done <<EOF
user-folder|release.sh --out|$folders/user|2|release.sh: refusing to use $folders/user as an output folder: it is not empty and was not made by release.sh
user-folder-first|release.sh --sign $work/no-such.pfx --out|$folders/user|2|release.sh: refusing to use $folders/user as an output folder: it is not empty
link-to-checkout|release.sh --out|$folders/link-to-checkout|2|release.sh: refusing to use $root as an output folder: it is the checkout
checkout-parent|release.sh --out|$root/..|2|release.sh: refusing to use $(dirname "$root") as an output folder: the checkout $root is inside it
inside-checkout|release.sh --out|$root/build/../not-build|2|release.sh: refusing to use $root/not-build as an output folder: it is inside the checkout
home-folder|release.sh --out|$HOME|2|release.sh: refusing to use $(realpath -m "$HOME") as an output folder: it is the home folder
certificates-user-folder|throwaway-certificates.sh|$folders/user|2|throwaway-certificates.sh: refusing to use $folders/user as an output folder: it is not empty
wine-prefix-user-folder|wine-prefix.sh|$folders/wine-user|1|wine-prefix.sh: $folders/wine-user exists, is not empty and was not prepared by this script
EOF
if [[ $(snapshot) == "$before" && ! -e $root/not-build ]]; then
  pass "every file of the user's folders and of the checkout is still there, unchanged"
else
  fail "the refused runs changed files:"
  diff <(echo "$before") <(snapshot) | head -n 10
fi

echo "==> wine10-root.sh deletes only a root of its own"
closed_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
wine10_root() {
  MORDELT_WINE10_ROOT=$1 MORDELT_DEBIAN_ARCHIVE="http://127.0.0.1:$closed_port" \
    bash "$root/scripts/wine10-root.sh" "${@:2}"
}
mkdir -p "$folders/wine10-user/sub"
echo keep >"$folders/wine10-user/sub/data.txt"
code=0
wine10_root "$folders/wine10-user" exec /bin/true >"$work/wine10-user.log" 2>&1 || code=$?
if [[ $code -ne 77 ]] || ! grep -q "NOT RUN: Wine 10 is not available: refusing to make the root in $folders/wine10-user" \
  "$work/wine10-user.log" || [[ $(cat "$folders/wine10-user/sub/data.txt") != keep ]]; then
  fail "a folder of the user's as the root: exit $code, or its file gone (log: $work/wine10-user.log)"
elif wine10_root "$folders/wine10-user" remove >>"$work/wine10-user.log" 2>&1 ||
  [[ $(cat "$folders/wine10-user/sub/data.txt") != keep ]]; then
  fail "a folder of the user's as the root: remove deleted it or did not fail"
else
  pass "a folder of the user's as the root: NOT RUN (77) with the refusal; remove refuses; its file survives"
fi
mkdir -p "$folders/wine10-half-made/debootstrap"
echo "Being made" >"$folders/wine10-half-made/.mordelt-wine10-being-made"
echo junk >"$folders/wine10-half-made/debootstrap/junk"
# Links beside the root, where another user could put them: none is written through.
echo victim >"$folders/victim"
for side in lock unavailable debootstrap.log; do
  ln -s "$folders/victim" "$folders/wine10-half-made.$side"
done
code=0
wine10_root "$folders/wine10-half-made" >"$work/wine10-half-made.log" 2>&1 || code=$?
if [[ $code -eq 0 || -e $folders/wine10-half-made/debootstrap/junk ]] ||
  ! grep -q "removing the unfinished root" "$work/wine10-half-made.log" ||
  ! grep -q "debootstrap from http://127.0.0.1:$closed_port failed" \
    "$folders/wine10-half-made.state/unavailable"; then
  fail "a half-made root of its own: not made again (log: $work/wine10-half-made.log)"
elif ! wine10_root "$folders/wine10-half-made" remove || [[ -e $folders/wine10-half-made ]]; then
  fail "a half-made root of its own: remove did not delete it"
else
  pass "a half-made root of its own is deleted and made again; the failure is kept; remove deletes it"
fi
mkdir -p "$folders/elsewhere"
ln -s "$folders/elsewhere" "$folders/wine10-linked.state"
code=0
wine10_root "$folders/wine10-linked" >"$work/wine10-linked.log" 2>&1 || code=$?
if [[ $code -eq 0 || -n $(ls -A "$folders/elsewhere") || -e $folders/wine10-linked ]] ||
  ! grep -q "is not a folder of this script's own" "$work/wine10-linked.log"; then
  fail "a link in place of the folder of the side files: not refused (log: $work/wine10-linked.log)"
elif [[ $(cat "$folders/victim") == victim ]]; then
  pass "no side file of wine10-root.sh written through a link beside the root"
else
  fail "wine10-root.sh wrote through a link beside the root: $folders/victim holds \"$(head -c 80 "$folders/victim")\""
fi

echo "==> a run stopped with TERM during the build leaves nothing of it"
rm -rf "$work/out"
bash "$root/scripts/release.sh" --out "$work/out" --sign "$keys/signing.pfx" "$revision" \
  >"$work/interrupted.log" 2>&1 &
release_pid=$!
for _ in $(seq 1200); do
  [[ -d $work/out/build ]] || ! kill -0 "$release_pid" 2>/dev/null && break
  sleep 0.25
done
kill -TERM "$release_pid" 2>/dev/null || true
code=0
wait "$release_pid" || code=$?
if [[ $code -ne 143 ]] || ! grep -q 'release: no package made' "$work/interrupted.log"; then
  fail "interrupted: exit status $code, not 143 with \"no package made\" (log: $work/interrupted.log)"
else
  pass "interrupted: exit status 143"
fi
expect_no_package interrupted

echo "==> a certificate that cannot be used fails the release before anything is built"
cp "$keys/ca.pem" "$work/not-pkcs12.pfx"
# name | certificate | password | the message expected on standard error
while IFS='|' read -r name certificate password message; do
  rm -rf "$work/out"
  if RELEASE_SIGN_PASSWORD=$password release "$name" --sign "$certificate"; then
    fail "$name: the release succeeded"
  elif ! grep -qF -- "$message" "$work/$name.log"; then
    fail "$name: no message \"$message\" in $work/$name.log:"
    tail -n 5 "$work/$name.log"
  else
    pass "$name: fails with \"$(grep -F -- "$message" "$work/$name.log" | head -n 1)\""
  fi
  expect_no_package "$name"
done <<EOF
missing-certificate|$work/no-such.pfx|$RELEASE_SIGN_PASSWORD|release: cannot read the certificate file $work/no-such.pfx
not-pkcs12|$work/not-pkcs12.pfx|$RELEASE_SIGN_PASSWORD|release: cannot open $work/not-pkcs12.pfx with the password of RELEASE_SIGN_PASSWORD
wrong-password|$keys/signing.pfx|not-$RELEASE_SIGN_PASSWORD|release: cannot open $keys/signing.pfx with the password of RELEASE_SIGN_PASSWORD
EOF

# Stand-ins for cmake and osslsigncode, first on PATH: each searches the environment and the
# command line of itself and of every ancestor, up to the release script's own process, for the
# password, and looks for a pipe that it inherited from the release script (not from the release
# script's caller), then runs the real program. The password reaches them in a file that only
# they read, never on a command line.
spy="$work/spy"
mkdir -p "$spy"
(umask 077 && printf '%s\n' "$RELEASE_SIGN_PASSWORD" >"$spy/password")
for tool in cmake osslsigncode x86_64-w64-mingw32-objdump; do
  cat >"$spy/$tool" <<EOF
#!/usr/bin/env bash
inherited=()
for n in {3..254}; do [[ -e /proc/\$\$/fd/\$n ]] && inherited+=("\$n"); done
pid=\$\$ searched=0 caller=""
while :; do
  for part in environ cmdline; do
    if grep -qaFf "$spy/password" "/proc/\$pid/\$part"; then
      echo "FOUND the password in /proc/\$pid/\$part: \$(tr '\\0' ' ' <"/proc/\$pid/cmdline")" >>"$spy/log"
    fi
  done
  searched=\$((searched + 1))
  if tr '\\0' '\\n' <"/proc/\$pid/cmdline" | grep -q '/scripts/release\\.sh\$'; then
    caller=\$(awk '\$1 == "PPid:" { print \$2 }' "/proc/\$pid/status")
    echo "$tool: searched \$searched processes, up to the release script's (\$pid)" >>"$spy/log"
    break
  fi
  pid=\$(awk '\$1 == "PPid:" { print \$2 }' "/proc/\$pid/status")
  if [[ \$pid -le 1 ]]; then
    echo "FOUND no release script among the ancestors of $tool" >>"$spy/log"
    break
  fi
done
for n in "\${inherited[@]}"; do
  link=\$(readlink "/proc/\$\$/fd/\$n") || continue
  if [[ \$link == pipe:* ]] && ! ls -l "/proc/\$caller/fd" 2>/dev/null | grep -qF -- "\$link"; then
    echo "FOUND a pipe from the release script on descriptor \$n of $tool" >>"$spy/log"
  fi
done
echo "$tool: run by \$(tr '\\0' ' ' <"/proc/\$PPID/cmdline")" >>"$spy/log"
exec $(command -v "$tool") "\$@"
EOF
  chmod +x "$spy/$tool"
done

echo "==> signed with time stamps: the first authority refuses, the second answers"
# An output folder of the release's own, from an earlier run: emptied, dot files included.
rm -rf "$work/out"
mkdir -p "$work/out"
echo "made by release.sh" >"$work/out/.mordelt-release"
touch "$work/out/.left-by-an-earlier-run" "$work/out/Mordelt-0.0.0+0000000.zip"
if ! PATH="$spy:$PATH" release signed --sign "$keys/signing.pfx" --timestamp "$tsa/refuse" \
  --timestamp "$tsa/"; then
  tail -n 30 "$work/signed.log"
  fail "signed: the release failed (log: $work/signed.log)"
  exit 1
fi
if [[ -e $work/out/.left-by-an-earlier-run || -e $work/out/Mordelt-0.0.0+0000000.zip ]]; then
  fail "signed: the files of an earlier run are still in $work/out"
else
  pass "signed: an earlier run's files are gone from $work/out, dot files included"
fi
if grep -q FOUND "$spy/log" || [[ $(grep -c "^cmake: searched" "$spy/log") -lt 4 ]] ||
  [[ $(grep -c "^osslsigncode: searched" "$spy/log") -ne 4 ]] ||
  ! grep -q "^x86_64-w64-mingw32-objdump: searched" "$spy/log"; then
  fail "the password: the stand-ins for cmake and osslsigncode found it or did not run ($spy/log):"
  grep -v "searched" "$spy/log" | head -n 10
else
  pass "the password: in no environment or command line of cmake ($(grep -c "^cmake: searched" "$spy/log") runs)" \
    "or osslsigncode (4 runs) or their ancestors up to the release script; no pipe inherited"
fi
# The checks of the signed programs: the running checkout's check-pe.sh, not the exported commit's.
if grep -q "objdump: run by .* $work/out/src/scripts/check-pe.sh --signed" "$spy/log" ||
  ! grep -q "objdump: run by .* $root/scripts/check-pe.sh --signed" "$spy/log"; then
  fail "the signed programs are not checked by $root/scripts/check-pe.sh alone:"
  grep -- "--signed" "$spy/log" | sort -u | head -n 3
else
  pass "the signed programs are checked by the running checkout's check-pe.sh"
fi
zip_file=$(find "$work/out" -maxdepth 1 -name 'Mordelt-*.zip')
# The name a person reads: the project's version and the commit.
commit=$(git -C "$root" rev-parse --verify "$revision^{commit}")
project_version=$(git -C "$root" show "$commit:CMakeLists.txt" |
  sed -nE 's/^project\(Mordelt VERSION ([0-9.]+) .*/\1/p')
if [[ $(basename "$zip_file") == "Mordelt-$project_version+${commit:0:7}.zip" ]]; then
  pass "the package is named $(basename "$zip_file")"
else
  fail "the package is named \"$(basename "$zip_file")\", not Mordelt-$project_version+${commit:0:7}.zip"
fi
mkdir -p "$work/unpacked"
unzip -q "$zip_file" -d "$work/unpacked"
if (cd "$work/unpacked" && sha256sum --quiet -c SHA256SUMS); then
  pass "SHA256SUMS describes the signed files of $(basename "$zip_file")"
else
  fail "SHA256SUMS does not describe the files of $(basename "$zip_file")"
fi
epoch=$(git -C "$root" log -1 --format=%ct "$revision")
signing_time=$(date -u -d "@$epoch" '+%b %e %T %Y GMT')
for program in Mordelt.exe setup.exe x64/Mordelt.exe x64/setup.exe; do
  file="$work/unpacked/$program"
  if ! osslsigncode verify -CAfile "$keys/ca.pem" -TSA-CAfile "$keys/tsa-ca.pem" -in "$file" \
    >"$work/verify.log" 2>&1; then
    fail "$program: osslsigncode verify failed:"
    tail -n 20 "$work/verify.log"
  elif ! grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log"; then
    fail "$program: no verified time stamp:"
    grep -i timestamp "$work/verify.log"
  elif ! grep -qF "Signing time: $signing_time" "$work/verify.log"; then
    fail "$program: the signing time is not the commit's ($signing_time):"
    grep -i 'signing time' "$work/verify.log"
  elif ! cmp -s "$file" "$work/out/stage/$program"; then
    fail "$program: the zip's file differs from the signed one"
  else
    pass "$program: signature and time stamp verify; signing time $signing_time"
  fi
done
bash "$root/scripts/check-pe.sh" --signed "$work/unpacked/Mordelt.exe" "$work/unpacked/setup.exe" \
  "$work/unpacked/x64/Mordelt.exe" "$work/unpacked/x64/setup.exe" || status=1

# set_value RUNNER PROGRAM NAME PREFIX: PROGRAM sets HKLM\SOFTWARE\MordeltSigningCheck, Signed, to
# NAME in PREFIX; its exit status is the program's.
set_value() {
  WINEPREFIX=$4 bash "$root/scripts/$1" "$2" "-add*SOFTWARE\\MordeltSigningCheck*Signed*$3"
}

# run_signed NAME RUNNER SIGNED UNSIGNED [REG OPTION]: the signed program sets a value in a
# private prefix, which the prefix's reg.exe then reads (/reg:32: the view of a 32-bit program).
# Where it dies of SIGSEGV, the unsigned build of the same program is tried the same way: when
# it dies too, the machine runs no 32-bit code, which is no fault of the signature.
run_signed() {
  local name=$1 runner=$2 signed=$3 unsigned=$4 view=("${@:5}") code=0 value
  local prefix="$work/wineprefix-${runner%.sh}"
  set_value "$runner" "$signed" "$name" "$prefix" >"$work/wine-$name.log" 2>&1 || code=$?
  if [[ $code -eq 139 ]] && ! set_value "$runner" "$unsigned" "$name" "$prefix" >/dev/null 2>&1; then
    echo "NOT RUN  the signed $name under $runner: this machine runs no 32-bit code" \
      "(SIGSEGV from the unsigned build too)"
    return
  fi
  if [[ $code -eq 77 ]]; then
    echo "NOT RUN  the signed $name under $runner: $(grep -h 'NOT RUN' "$work/wine-$name.log" | head -n 1)"
    return
  fi
  value=$(WINEPREFIX=$prefix bash "$root/scripts/$runner" reg query \
    'HKLM\SOFTWARE\MordeltSigningCheck' /v Signed "${view[@]}" 2>/dev/null |
    tr -d '\r' | awk '$1 == "Signed" { print $3 }') || true
  if [[ $code -ne 0 || $value != "$name" ]]; then
    fail "the signed $name under $runner: exit $code, value \"$value\" (log: $work/wine-$name.log)"
  else
    pass "the signed $name runs under $runner: exit 0, the value is set"
  fi
}
# Its prefix as an interrupted preparing leaves it: wine-prefix.sh deletes it and makes it again.
prefix="$work/wineprefix-wine-run"
bash "$root/scripts/wine-prefix.sh" "$prefix" --stop >/dev/null 2>&1 || true
rm -rf "$prefix"
mkdir -p "$prefix/drive_c"
echo "Being made" >"$prefix/.mordelt-prefix-being-made"
echo junk >"$prefix/system.reg"
run_signed x64-Mordelt.exe wine-run.sh "$work/unpacked/x64/Mordelt.exe" \
  "$work/out/build/win64/bin/Mordelt.exe"
run_signed Mordelt.exe wine10-run.sh "$work/unpacked/Mordelt.exe" \
  "$work/out/build/win32/bin/Mordelt.exe" /reg:32
if [[ -f $prefix/.prepared-null-graphics && ! -e $prefix/.mordelt-prefix-being-made ]] &&
  ! grep -qx junk "$prefix/system.reg"; then
  pass "a half-made prefix of wine-prefix.sh's own is made again"
else
  fail "a half-made prefix of wine-prefix.sh's own is not made again: $(ls -A "$prefix" | head -n 5)"
fi
bash "$root/scripts/wine-prefix.sh" "$prefix" --stop >/dev/null 2>&1 || true
if [[ -d $work/wineprefix-wine10-run ]]; then
  bash "$root/scripts/wine-prefix.sh" --wine10 "$work/wineprefix-wine10-run" --stop >/dev/null 2>&1 || true
fi

echo "==> an authority that answers once, then refuses: the second program's signing fails"
rm -rf "$work/out"
if release refused-midway --sign "$keys/signing.pfx" --timestamp "$tsa/once"; then
  fail "refused-midway: the release succeeded"
elif ! grep -q 'release: signing setup.exe with .* failed' "$work/refused-midway.log" ||
  ! grep -q 'release: no package made' "$work/refused-midway.log"; then
  fail "refused-midway: not the message expected (log: $work/refused-midway.log):"
  tail -n 5 "$work/refused-midway.log"
else
  pass "refused-midway: fails with \"$(grep 'release: signing' "$work/refused-midway.log")\""
fi
expect_no_package refused-midway

echo "check-signing: finished in $((SECONDS - started)) s"
if [[ $status -eq 0 ]]; then
  echo "check-signing: every check passed"
else
  echo "check-signing: some checks failed" >&2
fi
exit $status
