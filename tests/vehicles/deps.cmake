set(TEST_LIBS_vehicles trainfile)
