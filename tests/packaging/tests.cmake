# Shell-driven tests of the packaging: install tree, Debian package, manual
# pages and the site-day batch. Exit status 77 marks a test skipped.
set(PACKAGING_TESTS ${CMAKE_CURRENT_LIST_DIR})
add_test(NAME packaging.install COMMAND bash ${PACKAGING_TESTS}/install_test.sh ${CMAKE_BINARY_DIR} ${TRAIN_MAN_BUILT})
add_test(NAME packaging.deb COMMAND bash ${PACKAGING_TESTS}/deb_test.sh ${CMAKE_BINARY_DIR} ${TRAIN_MAN_BUILT})
add_test(NAME packaging.man COMMAND bash ${PACKAGING_TESTS}/man_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
add_test(NAME packaging.site_day COMMAND bash ${PACKAGING_TESTS}/site_day_test.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
add_test(NAME packaging.site_day_stop COMMAND bash ${PACKAGING_TESTS}/site_day_stop_test.sh ${CMAKE_SOURCE_DIR})
set_tests_properties(packaging.install packaging.deb packaging.man packaging.site_day packaging.site_day_stop
                     PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300 LABELS packaging)
