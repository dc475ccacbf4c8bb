#!/bin/sh
# Installs the build into a temporary prefix and plays the installed engine
# by its bare name through PATH, from another directory: it must play a book
# move, leave the working directory empty and keep its learning file beside
# the program when it may write there, else in $XDG_DATA_HOME/morvek, and read
# it back from there. The second case runs as "nobody" (setpriv) when the
# tests run as root, else with the install tree made read-only.
#
#   install_test.sh BUILD_DIR BOOK_TEXT        (exit 77: skipped)
set -u
build="$1"
bookText="$2"
root="$(mktemp -d /tmp/morvek-install.XXXXXX)"
trap 'chmod -R u+w "$root" 2>/dev/null; rm -rf "$root"' EXIT
chmod 755 "$root"
mkdir -m 1777 "$root/locks"
prefix="$root/prefix"
fail() { echo "FAIL: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install"
for f in lib/morvek/morvek lib/morvek/Morvek.bk games/morvek share/man/man6/morvek.6 \
         share/games/plugins/xboard/morvek.eng share/games/plugins/uci/morvek.eng; do
  [ -e "$prefix/$f" ] || fail "not installed: $f"
done
[ -L "$prefix/games/morvek" ] || fail "games/morvek is no link"


# play USER WORKDIR DATADIR: one book answer and a search off the book, by
# the bare name; prints the engine's standard output.
play() {
  user="$1"; work="$2"; data="$3"
  shift 3
  input="force
e2e4
go
setboard 6k1/5ppp/8/8/8/8/5PPP/R5K1 w - -
go
quit
"
  if [ "$user" = self ]; then
    (cd "$work" && printf '%s' "$input" | env PATH="$prefix/games:/usr/bin:/bin" \
       XDG_DATA_HOME="$data" HOME="$data" MORVEK_INSTANCE_LOCK="$root/locks/$user" morvek)
  else
    (cd "$work" && printf '%s' "$input" | setpriv --reuid="$user" --regid="$user" --clear-groups \
       env PATH="$prefix/games:/usr/bin:/bin" XDG_DATA_HOME="$data" HOME="$data" \
       MORVEK_INSTANCE_LOCK="$root/locks/$user" morvek)
  fi
}

# The book is tried at random (nine times in ten at this ply), so a book
# answer is not certain; the saved table tells for sure that the book was read.
checkBookMove() {
  move="$(printf '%s\n' "$1" | sed -n 's/^move \(.*\)$/\1/p' | head -n 1)"
  [ -n "$move" ] || fail "$2: no answer to e2e4"
  printf '%s\n' "$1" | grep -q '^move a1a8$' || fail "$2: no mate found off the book"
}

checkBookRead() {
  [ "$(wc -c <"$1")" -gt 500000 ] || fail "$2: the learning file holds no book"
}

# 1. An install of the user's own: the learning file beside the program.
work="$root/work-self"
mkdir "$work"
out="$(play self "$work" "$root/data-self")" || fail "the engine failed (own install)"
checkBookMove "$out" "own install"
[ -z "$(ls -A "$work")" ] || fail "own install: wrote into the working directory: $(ls -A "$work")"
[ -s "$prefix/lib/morvek/zivorur12.dat" ] || fail "own install: no learning file beside the program"
checkBookRead "$prefix/lib/morvek/zivorur12.dat" "own install"
[ ! -e "$root/data-self" ] || fail "own install: wrote into the data directory"
[ "$("$prefix/games/morvek" --version)" = "Morvek 1.0" ] || fail "--version"
"$prefix/games/morvek" --help | grep -q "$prefix/lib/morvek/Morvek.bk" || fail "--help names no book"
rm "$prefix/lib/morvek/zivorur12.dat"

# 2. An install the user cannot write.
if [ "$(id -u)" = 0 ]; then
  command -v setpriv >/dev/null 2>&1 || { echo "SKIP: root without setpriv"; exit 77; }
  user=65534
  chmod -R a+rX "$prefix"
else
  user=self
  chmod -R a-w "$prefix"
fi
work="$root/work-user"
data="$root/data"
mkdir "$work" "$data"
[ "$user" = self ] || chown "$user:$user" "$work" "$data"
before="$(find "$prefix" | sort)"
out="$(play "$user" "$work" "$data")" || fail "the engine failed (shared install)"
checkBookMove "$out" "shared install"
[ -z "$(ls -A "$work")" ] || fail "shared install: wrote into the working directory: $(ls -A "$work")"
[ "$(find "$prefix" | sort)" = "$before" ] || fail "shared install: wrote into the install tree"
learned="$data/morvek/zivorur12.dat"
[ -s "$learned" ] || fail "shared install: no learning file in \$XDG_DATA_HOME/morvek"
checkBookRead "$learned" "shared install"
size="$(wc -c <"$learned")"
# Read back: a run that only quits keeps the searched position, which the
# book text does not hold.
(cd "$work" && if [ "$user" = self ]; then
   echo quit | env PATH="$prefix/games:/usr/bin:/bin" XDG_DATA_HOME="$data" MORVEK_INSTANCE_LOCK="$root/locks/$user" morvek
 else
   echo quit | setpriv --reuid="$user" --regid="$user" --clear-groups env PATH="$prefix/games:/usr/bin:/bin" \
     XDG_DATA_HOME="$data" MORVEK_INSTANCE_LOCK="$root/locks/$user" morvek
 fi) >/dev/null || fail "second run"
[ "$(wc -c <"$learned")" = "$size" ] || fail "shared install: the learning file was not read back"
echo "installed engine plays by its name; learning in $learned ($size bytes)"
