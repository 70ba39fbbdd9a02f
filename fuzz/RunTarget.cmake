# Runs a fuzz target for ctest.
#
#   cmake -DMODE=short -DFUZZER=<binary> -DRUNS=<n> -DSEEDS=<folder>
#         -DSCRATCH=<folder> -DARTIFACTS=<prefix> [-DDICT=<file>] -P RunTarget.cmake
#     A bounded run with seed 1 from the seed corpus. New inputs go to the
#     scratch folder (libFuzzer writes into its first corpus folder only),
#     which is emptied first so that every run starts alike.
#
#   cmake -DMODE=replay -DFUZZER=<binary> -DINPUTS=<folder> -DARTIFACTS=<prefix> -P RunTarget.cmake
#     Runs the target once on every file in the folder, as single inputs, so
#     that nothing is written back. The folder is listed when the test runs:
#     a new file needs no reconfigure.
if(MODE STREQUAL "short")
  file(REMOVE_RECURSE ${SCRATCH})
  file(MAKE_DIRECTORY ${SCRATCH})
  set(dict_option)
  if(DICT)
    set(dict_option -dict=${DICT})
  endif()
  execute_process(COMMAND ${FUZZER} -runs=${RUNS} -seed=1 -max_total_time=120 -timeout=10 ${dict_option}
                          -artifact_prefix=${ARTIFACTS} ${SCRATCH} ${SEEDS}
                  RESULT_VARIABLE result)
elseif(MODE STREQUAL "replay")
  file(GLOB inputs LIST_DIRECTORIES false "${INPUTS}/*")
  if(NOT inputs)
    message(STATUS "no regression inputs in ${INPUTS}")
    return()
  endif()
  list(LENGTH inputs count)
  message(STATUS "replaying ${count} inputs from ${INPUTS}")
  execute_process(COMMAND ${FUZZER} -timeout=10 -artifact_prefix=${ARTIFACTS} ${inputs}
                  RESULT_VARIABLE result)
else()
  message(FATAL_ERROR "MODE must be short or replay")
endif()

if(NOT result EQUAL 0)
  message(FATAL_ERROR "${FUZZER} failed (exit ${result}); the input is under ${ARTIFACTS}")
endif()
