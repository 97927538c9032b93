# Runs the image-set embedding on a generated fixture folder.
# cmake -DCASE=<name> -DSOURCE=<project> -DWORK=<folder> -P check_image_set.cmake
include("${SOURCE}/cmake/EmbedImageSet.cmake")

set(folder "${WORK}/${CASE}")
file(REMOVE_RECURSE "${folder}")
file(MAKE_DIRECTORY "${folder}")

# 20,480 bytes, or fewer for the short case.
set(size 20480)
if(CASE STREQUAL "short_image")
    set(size 20479)
endif()
string(REPEAT "A" ${size} bytes)
file(WRITE "${folder}/image.bin" "${bytes}")

set(count 20)
if(CASE STREQUAL "nineteen_checksums")
    set(count 19)
elseif(CASE STREQUAL "twenty_one_checksums")
    set(count 21)
endif()
set(list "# comment line\n")
foreach(i RANGE 1 ${count})
    string(APPEND list "0x${i}0\n")
endforeach()
if(CASE STREQUAL "too_wide")
    set(list "# wide\n0x10000\n")
    foreach(i RANGE 2 20)
        string(APPEND list "${i}\n")
    endforeach()
endif()
file(WRITE "${folder}/checksums.txt" "${list}")

cartfw_embed_image_set("${folder}" "${folder}/out.cpp")
file(READ "${folder}/out.cpp" generated)
if(generated MATCHES "0x41,0x41" AND generated MATCHES "kFirmwareIsSample = false")
    message(STATUS "embedded ${CASE}")
endif()
