set(TEST_LIBS_trimwell trimwell_core)
set(TEST_PROGRAMS_trimwell Trimwell)
