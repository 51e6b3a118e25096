orvela_add_fuzzer(fuzz_jpeg SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_jpeg.cpp LIBS orvela_jpeg)
