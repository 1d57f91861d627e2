set(TEST_LIBS_weighoff weighoff_core)
set(TEST_PROGRAMS_weighoff Weighoff Weighrun TAGPAIR CONSMEND trainsim)
