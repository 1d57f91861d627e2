set(TEST_LIBS_idsweep trainfile)
set(TEST_PROGRAMS_idsweep Idsweep)
