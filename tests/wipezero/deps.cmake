set(TEST_LIBS_wipezero common)
set(TEST_PROGRAMS_wipezero Wipezero)
