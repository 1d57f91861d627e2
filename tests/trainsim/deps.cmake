set(TEST_LIBS_trainsim trainsim_core trainfile)
# The pipeline tests run these programs when they are part of the build and
# skip otherwise.
set(TEST_PROGRAMS_trainsim trainsim)
foreach(program edgemill Trimwell)
  if(TARGET ${program})
    list(APPEND TEST_PROGRAMS_trainsim ${program})
  endif()
endforeach()
