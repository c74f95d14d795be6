#!/usr/bin/env bash
# Checks that system code (the drivers, the installer, the colour library, the station) calls
# only the documented Win32 / NT / Video-for-Windows interface:
#   - a header of a platform stand-in only from the allow-list of documented interface headers
#     (never platform/..., machine/..., the stand-ins' controls);
#   - no `platform::` (a stand-in's internals);
#   - no Linux: unistd.h, fcntl.h, sys/*, dlfcn.h, link.h, pthread.h, iconv.h, "/proc/";
#   - no host file streams (fstream headers, fopen): files go through CreateFileA and its calls.
# Tests (any tests/ folder) are exempt. Prints each violation as file:line: what, and exits 1
# when there is one; an exemption below for a file that is clean or gone counts as one too.
# Usage: tools/check-system-code.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

system_code=(drivers setup/src pixaro station)

# Documented interface headers of the stand-ins (shell patterns).
allowed=(windows.h conio.h ntddk.h mmsystem.h msvideo.h vfw.h 'win32/*' 'nt/*' 'vfw/*'
         'tarvo/*' 'tarvovfw/*' 'ijl/*' 'pixaro/*' 'win32_owners/*' 'net/*')

# Linux headers system code must not include (shell patterns).
linux=(unistd.h fcntl.h 'sys/*' dlfcn.h link.h pthread.h iconv.h)

# Host file-stream headers system code must not include (shell patterns).
streams=(fstream ifstream ofstream)

# Station files that still use the stand-ins' internals or Linux. Delete a line when its file is
# converted; the list must only shrink (it is empty now).
station_exempt=()

# Every header file that a stand-in publishes, by its include name.
declare -A standin
while IFS= read -r header; do
    standin[$header]=1
done < <(for dir in platform/*/include; do (cd "$dir" && find . -type f -name '*.h' | sed 's|^\./||'); done)

matches() { # name pattern...
    local name=$1 pattern
    shift
    for pattern in "$@"; do
        # shellcheck disable=SC2053
        [[ $name == $pattern ]] && return 0
    done
    return 1
}

declare -A exempt
for file in "${station_exempt[@]}"; do
    exempt[$file]=1
done

# Prints the violations of one file, one a line.
scan() { # file
    local file=$1 hit line text name code
    while IFS= read -r hit; do
        line=${hit%%:*}
        text=${hit#*:}
        if [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+)[\>\"] ]]; then
            name=${BASH_REMATCH[1]}
            if matches "$name" "${linux[@]}"; then
                echo "$file:$line: Linux header <$name>"
            elif matches "$name" "${streams[@]}"; then
                echo "$file:$line: host file streams <$name>"
            elif [[ -n ${standin[$name]:-} ]] && ! matches "$name" "${allowed[@]}"; then
                echo "$file:$line: stand-in header \"$name\" outside the documented interface"
            fi
            continue
        fi
        code=${text%%//*} # comments may name anything
        if [[ $code == *platform::* ]]; then
            echo "$file:$line: stand-in internals (platform::)"
        fi
        if [[ $code == *'"/proc/'* ]]; then
            echo "$file:$line: Linux /proc"
        fi
        if [[ $code =~ (^|[^[:alnum:]_])fopen[[:space:]]*\( ]]; then
            echo "$file:$line: host file streams (fopen)"
        fi
    done < <(grep -n -E '#[[:space:]]*include|platform::|/proc/|fopen' "$file" || true)
}

violations=0
while IFS= read -r file; do
    found=$(scan "$file")
    if [[ -n ${exempt[$file]:-} ]]; then
        if [[ -z $found ]]; then
            echo "$file: exempted but clean: delete its line from station_exempt"
            violations=$((violations + 1))
        fi
    elif [[ -n $found ]]; then
        echo "$found"
        violations=$((violations + $(wc -l <<<"$found")))
    fi
done < <(find "${system_code[@]}" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' \) \
             -not -path '*/tests/*' | sort)

for file in "${station_exempt[@]}"; do
    if [[ ! -f $file ]]; then
        echo "$file: exempted but missing: delete its line from station_exempt"
        violations=$((violations + 1))
    fi
done

if ((violations)); then
    echo "check-system-code: $violations violation(s)"
    exit 1
fi
echo "check-system-code: system code uses only the documented interface"
