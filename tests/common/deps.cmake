set(TEST_LIBS_common common)
