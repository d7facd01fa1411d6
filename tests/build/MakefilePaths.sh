#!/usr/bin/env bash
# The Makefile run as users and CI systems run it: from a checkout whose path holds a
# blank, with BUILD and BUILD_DIR exported. `make kit-linux` and `make clean` must stay
# inside the project's build folder: the sentinel folders beside it survive, and a
# build folder of the user's keeps what the project did not put there.
#   MakefilePaths.sh CHECKOUT
set -euo pipefail
checkout=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The make that runs this test must not lend its flags or job server to ours.
unset MAKEFLAGS MFLAGS MAKELEVEL

fail() { echo "FAIL: $*" >&2; exit 1; }

src="$work/my project/src"
mkdir -p "$src" "$work/my/kit" "$work/exported"
echo keep > "$work/my/kit/sentinel"          # what an unquoted path named …/my/kit
echo keep > "$work/exported/sentinel"        # where an exported BUILD pointed
(cd "$checkout" && tar --exclude=./build --exclude=./.git -cf - .) | (cd "$src" && tar -xf -)

cd "$src"
export BUILD="$work/exported" BUILD_DIR="$work/exported"
make --no-print-directory kit-linux >"$work/kit.log" 2>&1 || { tail -n 40 "$work/kit.log"; fail "make kit-linux"; }
[ -f build/kit/libvelkor_rx.so ] || fail "no kit in the checkout's build folder"
[ -f build/velkor_rx-kit-*.tar.gz ] || fail "no kit archive"
[ -f build/velkor_rx-kit-*.sha256 ] || fail "no checksums beside the archive"
(cd build && sha256sum -c velkor_rx-kit-*.sha256 >/dev/null) || fail "archive checksums do not match"

make --no-print-directory clean >/dev/null
[ ! -e build ] || fail "make clean left build/ behind: $(ls build)"

# A build folder named by the project's own variable that holds the user's files.
mkdir -p "$work/shared-out/release"
echo mine > "$work/shared-out/notes.txt"
VELKOR_BUILD_DIR="$work/shared-out" make --no-print-directory clean >/dev/null
[ -f "$work/shared-out/notes.txt" ] || fail "make clean removed a file it did not make"
[ ! -e "$work/shared-out/release" ] || fail "make clean kept the release tree"

for sentinel in "$work/my/kit/sentinel" "$work/exported/sentinel"; do
  [ -f "$sentinel" ] || fail "$sentinel was deleted"
done
[ -z "$(ls -A "$work/exported" | grep -v '^sentinel$')" ] || fail "something was written into the exported BUILD folder"
echo "kit and clean stayed inside the build folder"
