set(TEST_LIBS_heat heatalign_core heatlink_core)
set(TEST_PROGRAMS_heat heatalign heatlink)
# The demo-train test also runs these when they are part of the build and
# skips otherwise.
foreach(program trainsim edgemill Trimwell)
  if(TARGET ${program})
    list(APPEND TEST_PROGRAMS_heat ${program})
  endif()
endforeach()
