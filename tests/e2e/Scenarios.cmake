# The end-to-end scenarios of tests/e2e/scenarios.py that ctest runs, each
# on Linux and under Wine, with its time limit in seconds on Linux; the
# checks under Wine get e2e_wine_margin seconds more. The capture records
# 600 frames at 1200 bit/s, which takes 75 s of line time alone. The bench
# scenario is a measurement (scripts/bench-windows), not a test.
set(e2e_scenarios
  controls 60
  connect 60
  single_read 60
  halten 90
  kugoo 90
  checkbox_actions 90
  no_selection 90
  capture 240
  unplug 120
  replug 90
  line_speed 90
  monitor 120
  detect 90
)
set(e2e_wine_margin 30)

# Each run has a display, bus and port folder of its own; but a desktop run
# checks the program's timing (a capture waits 200 ms for the rest of its
# first frame), so the runs take a lock one at a time while the unit tests
# use the other core. A high cost starts them first, so that the unit tests
# fill their time rather than follow it.
function(zonter_e2e_schedule test limit)
  set_property(TEST ${test} APPEND PROPERTY RESOURCE_LOCK e2e_desktop)
  set_tests_properties(${test} PROPERTIES COST ${limit})
endfunction()
