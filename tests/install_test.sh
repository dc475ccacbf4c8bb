#!/bin/sh
# Installs the build into a temporary prefix and plays the installed engine
# by its bare name through PATH, from another directory. An installed engine
# must play a book move, keep its learning file in $XDG_DATA_HOME/morvek and
# read it back from there, and write nothing into the working directory nor
# under the prefix, also as root. The unprivileged row runs as "nobody"
# (setpriv) when the tests run as root, else with the install tree made
# read-only.
# A cross build's EMULATOR (qemu-user) is handed the installed command's
# path instead of the bare name: it looks nothing up in PATH.
#
#   install_test.sh BUILD_DIR BOOK_TEXT VERSION [EMULATOR]   (exit 77: skipped)
set -u
build="$1"
bookText="$2"
version="$3"
emulator="${4:-}"
root="$(mktemp -d /tmp/morvek-install.XXXXXX)"
trap 'chmod -R u+w "$root" 2>/dev/null; rm -rf "$root"' EXIT
chmod 755 "$root"
mkdir -m 1777 "$root/locks"
prefix="$root/prefix"
program="$prefix/lib/morvek"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
for f in lib/morvek/morvek lib/morvek/Morvek.bk lib/morvek/Morvek.installed games/morvek \
         share/man/man6/morvek.6.gz share/doc/morvek/copyright share/doc/morvek/changelog.gz \
         share/games/plugins/xboard/morvek.eng share/games/plugins/uci/morvek.eng; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ -L "$prefix/games/morvek" ] || fail "games/morvek is no link"
[ "$($emulator "$prefix/games/morvek" --version | head -n 1)" = "Morvek $version" ] || fail "--version"
$emulator "$prefix/games/morvek" --version | grep -q "GPLv3+" || fail "--version names no license"
$emulator "$prefix/games/morvek" --help | grep -q "$program/Morvek.bk" || fail "--help names no book"
command="morvek"
[ -z "$emulator" ] || command="$emulator $prefix/games/morvek"
gzip -dc "$prefix/share/man/man6/morvek.6.gz" | grep -q "^\.TH MORVEK 6 .*\"Morvek $version\"" ||
  fail "the man page names another version"

# run USER WORKDIR DATADIR INPUT: the engine by its bare name; prints its
# standard output.
run() {
  as=""
  [ "$1" = self ] || as="setpriv --reuid=$1 --regid=$1 --clear-groups"
  (cd "$2" && printf '%s' "$4" | $as env PATH="$prefix/games:/usr/bin:/bin" \
     XDG_DATA_HOME="$3" HOME="$3" MORVEK_INSTANCE_LOCK="$root/locks/$1" $command)
}
# One book answer and a search off the book. The book is tried at random
# (nine times in ten at this ply), so a book answer is not certain; the
# saved table tells for sure that the book was read.
game="force
e2e4
go
setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -
go
quit
"

# row WHAT USER: a fresh working and data directory for USER (self or a
# uid); a game, then a run that only quits, which must read back what was saved.
row() {
  what="$1"; user="$2"
  work="$root/work-$what"; data="$root/data-$what"; learned="$data/morvek/zivorur12.dat"
  mkdir "$work" "$data" || fail "$what: mkdir"
  [ "$user" = self ] || chown "$user:$user" "$work" "$data"
  before="$(find "$prefix" -printf '%p %s\n' | sort)"
  out="$(run "$user" "$work" "$data" "$game")" || fail "$what: the engine failed"
  printf '%s\n' "$out" | grep -q '^move ' || fail "$what: no answer to e2e4"
  printf '%s\n' "$out" | grep -q '^move a1a8$' || fail "$what: no mate found off the book"
  [ "$(wc -c <"$learned")" -gt 500000 ] || fail "$what: no learning file with the book in $learned"
  [ -z "$(ls -A "$work")" ] || fail "$what: wrote into the working directory: $(ls -A "$work")"
  [ "$(find "$prefix" -printf '%p %s\n' | sort)" = "$before" ] || fail "$what: wrote under the prefix"
  size="$(wc -c <"$learned")"
  run "$user" "$work" "$data" "quit
" >/dev/null || fail "$what: second run"
  [ "$(wc -c <"$learned")" = "$size" ] || fail "$what: the learning file was not read back"
  echo "$what: learning in $learned ($size bytes)"
}

# As the owner of the install (root when the tests run as root), then as a
# user who cannot write the install tree.
row own self
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null 2>&1 || { echo "SKIP: root without setpriv"; exit 77; }
  user=65534
  chmod -R a+rX "$prefix"
else
  user=self
  chmod -R a-w "$prefix"
fi
row shared "$user"
