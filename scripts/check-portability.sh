#!/usr/bin/env bash
# Fails when a source outside panelsim/, bench/ and tests/ (the Unix tools and the tests) and
# veqctl's console file (cli/terminal.cpp, one branch per system) includes
# a POSIX-only header or calls a Unix-only function: the application must build on Windows too.
# Code for one platform goes behind Q_OS_WIN / _WIN32 and uses no POSIX header in its other branch.
set -euo pipefail
cd "$(dirname "$0")/.."

# The tracked and new (not ignored) sources; every source under the tree outside git.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t files < <(git ls-files -co --exclude-standard -- '*.cpp' '*.h' '*.hpp' '*.cc' '*.c' |
    grep -Ev '^(panelsim/|bench/|tests/|cli/terminal\.cpp$)' || true)
else
  mapfile -t files < <(find . -path ./.git -prune -o -path './build*' -prune -o \
    \( -path ./panelsim -o -path ./bench -o -path ./tests -o -path ./cli/terminal.cpp \) -prune -o \
    -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.hpp' -o -name '*.cc' -o -name '*.c' \) \
    -print | sed 's|^\./||')
fi

headers='^[[:space:]]*#[[:space:]]*include[[:space:]]*<(unistd|termios|pty|util|libutil|utmp|poll|fcntl|dlfcn|pwd|grp|dirent|pthread|semaphore|syslog|strings|sys/[^>]*|arpa/[^>]*|netinet/[^>]*)\.h>'
calls='(^|[^[:alnum:]_.>:])(::)?(fork|vfork|execv|execvp|execl|execlp|openpty|forkpty|posix_openpt|grantpt|unlockpt|ptsname|tcgetattr|tcsetattr|tcflush|tcdrain|cfmakeraw|cfsetspeed|ioctl|prctl|getrusage|mkfifo|umount2|mount|poll|pipe|dup2|usleep|sigaction|getuid|geteuid|getpid|getppid|setsid|umask|kill|setChildProcessModifier|setUnixProcessParameters)[[:space:]]*\('

status=0
if [ "${#files[@]}" -gt 0 ]; then
  if grep -nE "$headers" -- "${files[@]}"; then
    echo "check-portability: a POSIX-only header above is outside panelsim/, bench/, tests/" >&2
    status=1
  fi
  # A line that is a comment calls nothing; Qt's own QThread::usleep and the like are portable.
  if grep -nE "$calls" -- "${files[@]}" | grep -vE '^[^:]+:[0-9]+:[[:space:]]*(//|\*|/\*)'; then
    echo "check-portability: a Unix-only call above is outside panelsim/, bench/, tests/" >&2
    status=1
  fi
fi
[ "$status" -eq 0 ] && echo "check-portability: ${#files[@]} sources, nothing Unix-only"
exit "$status"
