# Sourced by the scripts that run a GoogleTest program under Wine. A program
# that crashes under Wine may still end with status 0, so its run is judged
# by GoogleTest's premature-exit file as well: made here before the start,
# rewritten by the program when its tests begin, deleted when they have all
# run. A file still there afterwards means the program never got that far.

# Makes the file and names it to the program (as a Windows path, Z: being
# the root of the Linux file system under Wine).
premature_exit_arm() {
  premature_exit_file=$(mktemp /tmp/zonter-gtest-XXXXXX)
  export TEST_PREMATURE_EXIT_FILE="Z:${premature_exit_file//\//\\}"
}

# Exits with the program's status `$1`, or with 1 when the file is still there.
premature_exit_judge() {
  if [ -e "$premature_exit_file" ]; then
    rm -f "$premature_exit_file"
    echo "the test program ended before its tests had all run (status $1)" >&2
    exit 1
  fi
  exit "$1"
}
