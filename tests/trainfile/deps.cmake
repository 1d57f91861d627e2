set(TEST_LIBS_trainfile trainfile)
