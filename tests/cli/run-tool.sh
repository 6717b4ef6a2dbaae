# Sourced by the command-line checks: run ARGS... runs the tool ("${ostrak[@]}"), keeping
# standard output in out.txt, standard error in err.txt and the status in rc. A run that
# failed without a word, on either stream, is made once more, and the second is judged: under
# Wine on a loaded machine a 64-bit process now and then ends with status 1 before it has done
# anything, while the tool answers the same command the same way twice. The repeat is said in
# the output.
run() {
  run_once "$@"
  if [ "$rc" != 0 ] && [ ! -s out.txt ] && [ ! -s err.txt ]; then
    echo "note: \"$*\" ended with status $rc and printed nothing; run again"
    run_once "$@"
  fi
}
# The same, once, for a command whose answer is a silent failure (nothing found, as grep(1)).
run_once() { "${ostrak[@]}" "$@" >out.txt 2>err.txt; rc=$?; }
