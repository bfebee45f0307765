#!/usr/bin/env bash
# Checks how scripts/debian-sources.sh finds the address of the release's
# package source, on sample source files in both of apt's formats. Prints
# "PASS: name" or "FAIL: name" per case.
set -uo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
. "$root/scripts/debian-sources.sh"
samples=$(mktemp -d)
trap 'rm -rf "$samples"' EXIT
status=0

# deb822: comments, a security entry, a disabled one, a source-only one,
# field names in other cases, then the entry that counts.
cat >"$samples/several.sources" <<'EOF'
# The archive, through a local proxy.
Types: deb
URIs: http://proxy.example:3142/debian-security
Suites: bookworm-security
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Enabled: no
Types: deb
URIs: http://old.example/debian
Suites: bookworm

Types: deb-src
URIs: http://sources.example/debian
Suites: bookworm

types: deb deb-src
# http://snapshot.example/archive/debian/20250520T000000Z
uris: http://proxy.example:3142/debian
  http://second.example/debian
suites: bookworm
  bookworm-updates
components: main
signed-by: /usr/share/keyrings/debian-archive-keyring.gpg
EOF

# deb822 with its key written inline, and a mirror list for an address.
cat >"$samples/inline-key.sources" <<'EOF'
Types: deb
URIs: mirror+file:///etc/apt/mirrors/debian.list
Suites: bookworm
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NlOOlfU1W3mxcJr5Y8zmJ6RVXcWLCgMBnZPhu3u2XYfEHN
 -----END PGP PUBLIC KEY BLOCK-----
EOF

# One-line: comments, a CD, a commented entry, a source entry, options.
cat >"$samples/sources.list" <<'EOF'
# deb cdrom:[Debian GNU/Linux 12 _Bookworm_]/ bookworm main
deb cdrom:[Debian GNU/Linux 12 _Bookworm_]/ bookworm main
#deb http://old.example/debian bookworm main
deb-src http://sources.example/debian bookworm main
deb http://mirror.example/debian-security bookworm-security main
deb [ arch=amd64 signed-by=/usr/share/keyrings/debian-archive-keyring.gpg ] http://mirror.example/debian/ bookworm main contrib # the archive
EOF

printf '%s\n' "deb http://plain.example/debian bookworm main" >"$samples/plain.list"

# Only other suites, and other releases.
cat >"$samples/others.sources" <<'EOF'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm-updates bookworm-backports trixie
EOF
printf '%s\n' "deb http://mirror.example/debian trixie main" >"$samples/others.list"
printf '%s\n' "Enabled: no" "Types: deb" "URIs: http://old.example/debian" "Suites: bookworm" "" \
    "Types: deb-src" "URIs: http://sources.example/debian" "Suites: bookworm" >"$samples/off.sources"

# name | suite | files (in apt's order) | expected output, or "none"
cases=(
    "deb822 with comments and several entries|bookworm|several.sources|URIs: http://proxy.example:3142/debian
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    "deb822 with an inline key and a mirror list|bookworm|inline-key.sources|URIs: mirror+file:///etc/apt/mirrors/debian.list
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mQINBGPL0BUBEADmW5NlOOlfU1W3mxcJr5Y8zmJ6RVXcWLCgMBnZPhu3u2XYfEHN
 -----END PGP PUBLIC KEY BLOCK-----"
    "one-line with options, comments and a CD|bookworm|sources.list|URIs: http://mirror.example/debian/
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    "one-line without options|bookworm|plain.list|URIs: http://plain.example/debian"
    "a suite that is not the first of its entry|bookworm-updates|several.sources|URIs: http://proxy.example:3142/debian
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
    "the first file that has one wins|bookworm|others.list plain.list several.sources|URIs: http://plain.example/debian"
    "none: only other suites and releases|bookworm|others.sources others.list|none"
    "none: a disabled entry and a source entry|bookworm|off.sources|none"
    "none: a missing file, or no files|bookworm|missing.list|none"
    "none: no files|bookworm||none"
)

for case in "${cases[@]}"; do
    IFS='|' read -r name suite files expected <<<"${case%%$'\n'*}"
    [[ $case == *$'\n'* ]] && expected+=$'\n'"${case#*$'\n'}"
    paths=()
    for file in $files; do paths+=("$samples/$file"); done
    actual=$(debian_source_for "$suite" "${paths[@]}")
    found=$?
    if [ "$expected" = none ]; then
        [ $found -ne 0 ] && [ -z "$actual" ]
    else
        [ $found -eq 0 ] && [ "$actual" = "$expected" ]
    fi
    if [ $? -eq 0 ]; then
        echo "PASS: package source lookup: $name"
    else
        echo "FAIL: package source lookup: $name (status $found, got: ${actual:-nothing})"
        status=1
    fi
done

# The entry the set-up adds, in the release's archive.
entry=$(debian_entry_like bookworm bookworm-backports "$samples/off.sources" \
    "$samples/several.sources")
expected="Types: deb
URIs: http://proxy.example:3142/debian
Suites: bookworm-backports
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
if [ "$entry" = "$expected" ] && ! debian_entry_like bookworm bookworm-backports \
    "$samples/others.sources" >/dev/null; then
    echo "PASS: backports entry with the release's address and keys"
else
    echo "FAIL: backports entry with the release's address and keys (got: ${entry:-nothing})"
    status=1
fi

# apt's own configuration names the files: sources.list first, then the
# parts folder's .list and .sources files by name, nothing else.
mkdir -p "$samples/parts"
touch "$samples/parts/b.sources" "$samples/parts/a.list" "$samples/parts/c.list.disabled" \
    "$samples/parts/z.list.save"
printf 'Dir::Etc::sourcelist "%s";\nDir::Etc::sourceparts "%s";\n' "$samples/sources.list" \
    "$samples/parts" >"$samples/apt.conf"
listed=$(APT_CONFIG="$samples/apt.conf" apt_source_files | tr '\n' ' ')
if [ "$listed" = "$samples/sources.list $samples/parts/a.list $samples/parts/b.sources " ]; then
    echo "PASS: package source files in apt's order"
else
    echo "FAIL: package source files in apt's order (got: $listed)"
    status=1
fi
# A failing update is tried three times in all, and stops at the first that works.
apt_fails_until() { [ "$2" = update ] && (((calls += 1) >= $1)); }
results=""
for until in 3 4; do
    calls=0
    APT_UPDATE_PAUSES="0 0" apt_update_patiently apt_fails_until "$until" 2>/dev/null
    results+="$?/$calls "
done
if [ "$results" = "0/3 1/3 " ]; then
    echo "PASS: apt-get update tried again while a mirror syncs"
else
    echo "FAIL: apt-get update tried again while a mirror syncs (status/calls: $results)"
    status=1
fi
# Without root or sudo, the emulation's set-up refuses before it updates.
fakes="$samples/bin"
mkdir -p "$fakes"
printf '#!/bin/sh\necho 1000\n' >"$fakes/id"
printf '#!/bin/sh\necho "$@" >>"%s/sudo-calls"\nexit 1\n' "$samples" >"$fakes/sudo"
# A recent qemu-user is there; wine32:i386 is not.
printf '#!/bin/sh\ncase "$*" in *qemu*Status*) echo "install ok installed" ;;
*qemu*) echo 1:8.2 ;; *) exit 1 ;; esac\n' >"$fakes/dpkg-query"
printf '#!/bin/sh\n[ "$1" = --print-architecture ] && echo amd64 || echo i386\n' >"$fakes/dpkg"
chmod +x "$fakes"/*
said=$(PATH="$fakes:$PATH" "$root/scripts/setup-i686-emulation.sh" 2>&1)
if [ $? = 1 ] && ! grep -q update "$samples/sudo-calls" && [[ $said == *"not root"* ]]; then
    echo "PASS: no root, no updates: the emulation's set-up refuses at once"
else
    echo "FAIL: no root, no updates: the emulation's set-up refuses at once (said: $said)"
    status=1
fi
exit $status
