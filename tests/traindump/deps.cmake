set(TEST_LIBS_traindump traindump_core)
# The demo-train tests simulate the train with trainsim and, when this build
# has it, derive its axle files with edgemill.
set(TEST_PROGRAMS_traindump traindump trainsim)
if(TARGET edgemill)
  list(APPEND TEST_PROGRAMS_traindump edgemill)
endif()
# The correlation tests dump what heatlink writes.
list(APPEND TEST_PROGRAMS_traindump heatlink)
