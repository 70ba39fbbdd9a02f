#!/usr/bin/env bash
# The layer rules, checked over the sources:
#  - Qt only in the Qt backend (platform/ui/qt) and the Qt start-up (app/qt);
#  - no system header in the dialogs, the link, the workers, the codecs and
#    the resources;
#  - in platform/, system headers only in the posix/, linux/ and win32/
#    folders, and what only Linux has (eventfd, timerfd, the kernel's
#    termios2) only in linux/.
# Prints every breach and exits 1 when there is one.
set -u
top=${1:?source folder}
cd "$top" || exit 2

sources() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null; }
system_headers='#[[:space:]]*include[[:space:]]*<(unistd|termios|poll|fcntl|dirent|pty|windows|winbase|commctrl|setupapi|sys/[a-z_]+|asm/[a-z_]+)\.h>'
linux_headers='#[[:space:]]*include[[:space:]]*<(sys/eventfd|sys/timerfd|asm/[a-z_]+)\.h>'
status=0

breach() {
    echo "$1:"
    printf '%s\n' "$2" | sed 's/^/    /'
    status=1
}

qt=$(sources ui res link workers protocols platform app | grep -v -e '^platform/ui/qt/' -e '^app/qt/' |
     xargs -r grep -nE '#[[:space:]]*include[[:space:]]*<Q[A-Za-z]*>' 2>/dev/null)
[ -n "$qt" ] && breach "Qt outside platform/ui/qt and app/qt" "$qt"

os=$(sources ui res link workers protocols | xargs -r grep -nE "$system_headers" 2>/dev/null)
[ -n "$os" ] && breach "system headers in ui, res, link, workers or protocols" "$os"

platform=$(sources platform | grep -v -e '/posix/' -e '/linux/' -e '/win32/' | xargs -r grep -nE "$system_headers" 2>/dev/null)
[ -n "$platform" ] && breach "system headers in platform outside posix/, linux/ and win32/" "$platform"

linux=$(sources platform | grep -v '/linux/' | xargs -r grep -nE "$linux_headers" 2>/dev/null)
[ -n "$linux" ] && breach "Linux-only headers in platform outside linux/" "$linux"

[ $status -eq 0 ] && echo "layer rules hold"
exit $status
