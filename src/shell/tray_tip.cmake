# The tray tip's text rule (GBK, 127 bytes): plain C++, no window toolkit. iconv is part of
# the C library.
add_library(lumetta_tray_tip STATIC ${CMAKE_CURRENT_LIST_DIR}/tray_tip.cpp)
target_include_directories(lumetta_tray_tip PUBLIC ${PROJECT_SOURCE_DIR}/src)
