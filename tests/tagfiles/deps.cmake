set(TEST_LIBS_tagfiles trainfile)
