set(TEST_LIBS_heat heatalign_core heatlink_core)
set(TEST_PROGRAMS_heat heatalign heatlink)
