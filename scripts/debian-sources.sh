# Reads the machine's apt package sources. Source this file:
#
#   . scripts/debian-sources.sh
#
# Functions:
#   apt_source_files          prints the files apt reads its sources from,
#                             one a line, in apt's order: sources.list, then
#                             sources.list.d's *.list and *.sources by name.
#   debian_source_for SUITE FILE...
#                             prints the address of the first enabled `deb`
#                             entry in FILE... whose suites include SUITE, as
#                             the deb822 lines to copy into another entry of
#                             the same archive: "URIs: ADDRESS" and, when the
#                             entry names its keys, "Signed-By: ..." (with its
#                             continuation lines, for a key written inline).
#                             Files ending in .sources are read as deb822,
#                             others as one-line `deb` entries. Returns 1,
#                             printing nothing, when no entry matches.
#   debian_entry_like RELEASE SUITE FILE...
#                             prints a deb822 entry for SUITE (component main)
#                             of the same archive as RELEASE's entry found by
#                             debian_source_for: same address, same keys.
#                             Returns 1, printing nothing, when none is found.
#   apt_update_patiently APT-GET...
#                             runs APT-GET update -qq (APT-GET being the
#                             command and its options, e.g. sudo apt-get),
#                             and again after a pause when it fails, twice:
#                             a mirror in the middle of a sync serves index
#                             files that do not match its Release file for a
#                             while. Returns the last run's status. The pauses
#                             are APT_UPDATE_PAUSES seconds ("20 60").

apt_update_patiently() {
    local pause
    for pause in ${APT_UPDATE_PAUSES:-20 60}; do
        "$@" update -qq && return 0
        echo "apt-get update failed; trying again in $pause s" >&2
        sleep "$pause"
    done
    "$@" update -qq
}

apt_source_files() {
    local SOURCELIST="" SOURCEPARTS="" part
    eval "$(apt-config shell SOURCELIST Dir::Etc::sourcelist/f \
        SOURCEPARTS Dir::Etc::sourceparts/d 2>/dev/null)"
    SOURCELIST=${SOURCELIST:-/etc/apt/sources.list}
    SOURCEPARTS=${SOURCEPARTS:-/etc/apt/sources.list.d/}
    [ -f "$SOURCELIST" ] && printf '%s\n' "$SOURCELIST"
    for part in "${SOURCEPARTS%/}"/*.list "${SOURCEPARTS%/}"/*.sources; do
        [ -f "$part" ] && printf '%s\n' "$part"
    done | LC_ALL=C sort
}

debian_source_for() {
    local suite=$1 file
    shift
    for file in "$@"; do
        case "$file" in
            *.sources) _deb822_source_for "$suite" "$file" ;;
            *) _one_line_source_for "$suite" "$file" ;;
        esac && return 0
    done
    return 1
}

debian_entry_like() {
    local release=$1 suite=$2 found
    shift 2
    found=$(debian_source_for "$release" "$@") || return 1
    # "URIs:" comes first, then "Signed-By:" when there is one.
    printf '%s\n' "Types: deb" "${found%%$'\n'*}" "Suites: $suite" "Components: main"
    [[ $found != *$'\n'* ]] || printf '%s\n' "${found#*$'\n'}"
}

# deb822: paragraphs of "Field: value" lines, continuation lines starting
# with white space, comment lines starting with '#'; field names in any case.
_deb822_source_for() {
    local found
    found=$(awk -v suite="$1" '
        function has(list, word,    n, i, words) {
            n = split(list, words, /[ \t]+/)
            for (i = 1; i <= n; i++) if (words[i] == word) return 1
            return 0
        }
        function finish() {
            if (!done && has(types, "deb") && has(suites, suite) && tolower(enabled) != "no" &&
                uris != "") {
                split(uris, address, /[ \t]+/)
                # A CD holds no other suite: its address cannot serve one.
                if (address[1] !~ /^cdrom:/) {
                    print "URIs: " address[1]
                    if (signedBy != "") print "Signed-By:" signedBy
                    done = 1
                }
            }
            types = suites = uris = enabled = signedBy = field = ""
        }
        /^#/ { next }
        /^[ \t]*$/ { finish(); next }
        /^[ \t]/ {
            if (field == "signed-by") signedBy = signedBy "\n" $0
            else if (field == "types") types = types " " $0
            else if (field == "uris") uris = uris " " $0
            else if (field == "suites") suites = suites " " $0
            next
        }
        {
            field = tolower(substr($0, 1, index($0, ":") - 1))
            rest = substr($0, index($0, ":") + 1)
            if (field == "signed-by") signedBy = rest
            trimmed = rest
            gsub(/^[ \t]+|[ \t]+$/, "", trimmed)
            if (field == "types") types = trimmed
            else if (field == "uris") uris = trimmed
            else if (field == "suites") suites = trimmed
            else if (field == "enabled") enabled = trimmed
        }
        END { finish(); exit !done }
    ' "$2" 2>/dev/null) || return 1
    printf '%s\n' "$found"
}

# One-line: "deb [option=value ...] URI SUITE COMPONENT...", '#' starts a
# comment; signed-by among the options names the keys.
_one_line_source_for() {
    local found
    found=$(awk -v suite="$1" '
        {
            sub(/#.*/, "")
            if ($1 != "deb") next
            line = $0
            sub(/^[ \t]*deb[ \t]+/, "", line)
            options = ""
            if (substr(line, 1, 1) == "[") {
                end = index(line, "]")
                if (end == 0) next
                options = substr(line, 2, end - 2)
                line = substr(line, end + 1)
            }
            n = split(line, words, /[ \t]+/)
            first = (words[1] == "") ? 2 : 1
            # A CD holds no other suite: its address cannot serve one.
            if (n < first + 1 || words[first + 1] != suite || words[first] ~ /^cdrom:/) next
            print "URIs: " words[first]
            count = split(options, option, /[ \t]+/)
            for (i = 1; i <= count; i++) {
                if (tolower(option[i]) ~ /^signed-by=/) {
                    print "Signed-By: " substr(option[i], 11)
                }
            }
            found = 1
            exit
        }
        END { exit !found }
    ' "$2" 2>/dev/null) || return 1
    printf '%s\n' "$found"
}
