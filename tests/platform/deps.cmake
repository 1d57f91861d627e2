set(TEST_LIBS_platform platform)
