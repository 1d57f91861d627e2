set(TEST_LIBS_combinar combinar_core)
set(TEST_PROGRAMS_combinar Combinar)
