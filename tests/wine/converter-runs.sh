# Sourced by the scripts that run a Windows build of quillbar-convert beside
# the native one.
#
#   converter_run_differences NATIVE_DIR OTHER_DIR
#
# Each folder holds one run of the same case: stdout.txt, stderr.txt,
# status.txt and whatever the converter wrote. Prints one line per
# difference, nothing when the runs match.
converter_run_differences() {
    local native_dir=$1 other_dir=$2 side stream file
    # Messages on a Windows console end in CR LF; the files must match exactly.
    # A failure line ends with the system's reason for it, in each system's
    # own words ("quillbar-convert: CAPTION: TEXT: FILE: REASON"): dropped.
    for side in "$native_dir" "$other_dir"; do
        for stream in stdout stderr; do
            tr -d '\r' <"$side/$stream.txt" |
                sed -E 's/^(quillbar-convert(: [^:]+){3}): [^:]+$/\1/' >"$side/$stream.lf" &&
                rm "$side/$stream.txt"
        done
    done
    for file in $(cd "$native_dir" && find . -type f | sort); do
        cmp -s "$native_dir/$file" "$other_dir/$file" && continue
        case $file in
            # What the other side said tells why it failed.
            ./stdout.lf | ./stderr.lf)
                echo "${file#./} differs (its first line: \"$(head -n 1 "$other_dir/$file" |
                    cut -c 1-300)\")"
                ;;
            *) echo "${file#./} differs" ;;
        esac
    done
    [ "$(cd "$native_dir" && find . | sort)" = "$(cd "$other_dir" && find . | sort)" ] ||
        echo "different files were left"
}
