set(TEST_LIBS_weighpost "")
set(TEST_PROGRAMS_weighpost Weighpost)
