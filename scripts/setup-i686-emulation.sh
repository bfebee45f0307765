#!/usr/bin/env bash
# Lets this x86_64 machine run the 32-bit Windows build: qemu-user runs i386
# ELF programs (the kernel hands them over through binfmt_misc), and 32-bit
# Wine (wine32:i386) sits beside the 64-bit one. Idempotent: installs and
# registers only what is missing.
#
# Exits 0 when the emulation is ready. Otherwise it prints one line,
# "i686 emulation: REASON", on standard error and exits 1; the i686 tests
# then report themselves skipped with that reason.
set -uo pipefail

. "$(dirname "${BASH_SOURCE[0]}")/debian-sources.sh"

QEMU_I386=/usr/bin/qemu-i386
WINE32=/usr/lib/wine/wine
BINFMT=/proc/sys/fs/binfmt_misc
# An i386 ELF header, executable or shared object (e_type 2 or 3, hence the
# 0xfe in the mask), any OS/ABI.
I386_MAGIC='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
I386_MASK='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

refuse() {
    echo "i686 emulation: $*" >&2
    exit 1
}

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Changes to the machine need root; a machine that is ready needs nobody.
as_root() {
    if [ "$(id -u)" -eq 0 ]; then
        "$@"
    elif command -v sudo >/dev/null 2>&1; then
        sudo -n "$@"
    else
        return 1
    fi
}
root_note=""
[ "$(id -u)" -eq 0 ] || root_note=" (not root; password-less sudo is needed)"

# --- packages ---------------------------------------------------------------
if [ "$(dpkg --print-architecture)" != amd64 ]; then
    refuse "set up for amd64 machines only (this one is $(dpkg --print-architecture))"
fi
export DEBIAN_FRONTEND=noninteractive
# Another install on the machine may hold the lock for a while.
apt_get() { as_root apt-get -o DPkg::Lock::Timeout=600 "$@"; }

# Before 8.1, qemu-user looked for free address space page by page, and each
# Wine process took some 45 s to start instead of well under one.
qemu_fast_enough() {
    installed qemu-user &&
        dpkg --compare-versions "$(dpkg-query -W -f='${Version}' qemu-user)" ge 1:8.1
}

qemu_changed=0
if ! installed wine32:i386 || ! qemu_fast_enough; then
    # Without root every step below fails; say so before apt's retries wait.
    as_root true || refuse "cannot install wine32:i386 and qemu-user$root_note"
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        as_root dpkg --add-architecture i386 ||
            refuse "cannot add the i386 architecture to dpkg$root_note"
    fi
    # Debian 12 has qemu-user 7.2; its backports have a recent one.
    backports=""
    codename=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    if ! qemu_fast_enough && [ "$codename" = bookworm ]; then
        backports=bookworm-backports
        mapfile -t source_files < <(apt_source_files)
        if ! debian_source_for "$backports" "${source_files[@]}" >/dev/null; then
            # Same archive as the release: the machine's own mirror, proxy or
            # snapshot, and the same keys.
            backports_entry=$(debian_entry_like "$codename" "$backports" "${source_files[@]}") ||
                refuse "no package source for $codename in ${source_files[*]:-the apt \
configuration} to take the address of $backports from"
            printf '%s\n' "$backports_entry" |
                as_root tee "/etc/apt/sources.list.d/$backports.sources" >/dev/null ||
                refuse "cannot add $backports to the package sources$root_note"
        fi
    fi
    # An index still missing need not matter; the installs below say if it does.
    apt_update_patiently apt_get ||
        echo "i686 emulation: apt-get update failed; installing from the package lists there are" >&2
    if ! installed wine32:i386; then
        echo "setup: installing wine32:i386"
        apt_get install -y -qq --no-install-recommends wine32:i386 >/dev/null ||
            refuse "cannot install wine32:i386$root_note"
    fi
    if ! qemu_fast_enough; then
        echo "setup: installing qemu-user${backports:+ from $backports}"
        # No recommends: they would register binfmt entries through systemd,
        # which does not run here.
        apt_get install -y -qq --no-install-recommends ${backports:+-t "$backports"} qemu-user \
            >/dev/null || refuse "cannot install qemu-user$root_note"
        qemu_changed=1
    fi
    qemu_fast_enough || refuse "qemu-user $(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) \
is too slow for Wine (8.1 or later is needed; none found${backports:+ in $backports})"
fi
[ -x "$QEMU_I386" ] || refuse "$QEMU_I386 is missing after installing qemu-user"
[ -x "$WINE32" ] || refuse "$WINE32 is missing after installing wine32:i386"

# --- binfmt_misc: i386 ELF programs go to qemu-i386 --------------------------
if [ ! -e "$BINFMT/register" ]; then
    [ -d "$BINFMT" ] || refuse "the kernel has no $BINFMT"
    as_root mount -t binfmt_misc binfmt_misc "$BINFMT" 2>/dev/null ||
        refuse "cannot mount binfmt_misc on $BINFMT$root_note"
fi
# The F flag keeps the interpreter that was there at registration: after a
# new qemu-user, our old entry would go on running the old one.
if ((qemu_changed)) && [ -e "$BINFMT/qemu-i386" ]; then
    echo -1 | as_root tee "$BINFMT/qemu-i386" >/dev/null 2>&1 ||
        refuse "cannot replace $BINFMT/qemu-i386$root_note"
fi
# Any entry that already hands programs to qemu-i386 will do.
entry=""
for candidate in "$BINFMT"/*; do
    case "$(basename "$candidate")" in register | status) continue ;; esac
    if grep -q "^interpreter .*qemu-i386" "$candidate" 2>/dev/null; then
        entry=$candidate
        break
    fi
done
if [ -z "$entry" ]; then
    # O: qemu gets the open program; C: set-uid bits are honoured; F: the
    # interpreter is opened now, so it works in other mount namespaces too.
    printf ':qemu-i386:M::%s:%s:%s:OCF' "$I386_MAGIC" "$I386_MASK" "$QEMU_I386" |
        as_root tee "$BINFMT/register" >/dev/null 2>&1 ||
        refuse "the kernel refused the qemu-i386 entry in $BINFMT/register$root_note"
    entry="$BINFMT/qemu-i386"
fi
if ! grep -qx enabled "$entry" 2>/dev/null; then
    echo 1 | as_root tee "$entry" >/dev/null 2>&1 || refuse "cannot enable $entry$root_note"
fi
if ! grep -qx enabled "$BINFMT/status" 2>/dev/null; then
    echo 1 | as_root tee "$BINFMT/status" >/dev/null 2>&1 ||
        refuse "cannot enable binfmt_misc$root_note"
fi

# --- proof: 32-bit programs go to qemu, and Wine's loader runs there ---------
# QEMU_VERSION makes qemu say its version instead of starting the program.
if ! QEMU_VERSION=1 timeout 60 "$WINE32" 2>/dev/null | grep -q "^qemu-i386 version"; then
    refuse "32-bit programs do not reach qemu-i386 (another binfmt_misc entry takes them?)"
fi
version=$(QEMU_RESERVED_VA=0xc0000000 timeout 120 "$WINE32" --version 2>&1) ||
    refuse "the 32-bit Wine loader does not run under qemu-i386: ${version:-no output}"
exit 0
