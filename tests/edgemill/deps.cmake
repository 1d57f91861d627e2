set(TEST_LIBS_edgemill edgemill_core)
set(TEST_PROGRAMS_edgemill edgemill)
