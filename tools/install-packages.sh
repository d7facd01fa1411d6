#!/bin/sh
# Makes sure the Debian packages that a make target needs are present.
#
#   install-packages.sh PURPOSE REQUIRED... [-- OPTIONAL...]
#
# The missing ones, required and optional together, are installed in one apt-get
# call when we run as root on Debian. Otherwise the one command that would install
# them is printed; the exit status is 1 when a required package is missing, so that
# make stops before a build that could only fail. A missing optional package is only
# named: its caller skips the part that needs it and says so.
set -u

purpose=$1
shift
required=""
optional=""
into=required
for package in "$@"; do
  if [ "$package" = "--" ]; then
    into=optional
  elif [ "$into" = required ]; then
    required="$required $package"
  else
    optional="$optional $package"
  fi
done

if ! command -v dpkg-query >/dev/null 2>&1; then
  # Not Debian: the names are Debian's, so only say what is expected.
  if [ -n "$required$optional" ]; then
    echo "Not a Debian system: $purpose expects the equivalents of these Debian packages:$required$optional"
  fi
  exit 0
fi

missing_of() {
  for package in "$@"; do
    status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null)
    [ "$status" = installed ] || printf ' %s' "$package"
  done
}
# shellcheck disable=SC2086 # the lists are words on purpose
missing_required=$(missing_of $required)
# shellcheck disable=SC2086
missing_optional=$(missing_of $optional)
missing="$missing_required$missing_optional"
[ -n "$missing" ] || exit 0

if [ "$(id -u)" = 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "Installing for $purpose:$missing"
  export DEBIAN_FRONTEND=noninteractive
  # shellcheck disable=SC2086
  if apt-get update -q && apt-get install -y -q $missing; then
    exit 0
  fi
  echo "apt-get could not install:$missing" >&2
  [ -z "$missing_required" ] || exit 1
  exit 0
fi

if [ -n "$missing_required" ]; then
  echo "$purpose needs these Debian packages:$missing_required" >&2
  echo "Install them as root with:  apt-get install$missing" >&2
  exit 1
fi
echo "Not installed:$missing_optional (install them as root with:  apt-get install$missing_optional)"
exit 0
