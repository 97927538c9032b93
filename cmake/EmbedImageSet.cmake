# Embeds a firmware image set into the build as data.
#
# The folder holds image.bin (exactly 20,480 bytes) and checksums.txt (exactly
# twenty 16-bit values, decimal or 0x-hex, one per line; '#' starts a comment).
# A file named SAMPLE in the folder marks the sample set, which can update only
# the emulator. Configuring stops with a message when the set is malformed.

function(cartfw_embed_image_set folder output)
    set(image "${folder}/image.bin")
    set(list "${folder}/checksums.txt")
    if(NOT EXISTS "${image}" OR NOT EXISTS "${list}")
        message(FATAL_ERROR "Image set '${folder}' needs image.bin and checksums.txt.")
    endif()
    file(SIZE "${image}" image_size)
    if(NOT image_size EQUAL 20480)
        message(FATAL_ERROR
            "Image set '${folder}': image.bin is ${image_size} bytes; it must be exactly 20480.")
    endif()

    file(STRINGS "${list}" lines)
    set(checksums "")
    set(count 0)
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "#.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line STREQUAL "")
            continue()
        endif()
        if(line MATCHES "^0[xX][0-9a-fA-F]+$")
            math(EXPR value "${line}" OUTPUT_FORMAT DECIMAL)
        elseif(line MATCHES "^[0-9]+$")
            set(value "${line}")
        else()
            message(FATAL_ERROR "Image set '${folder}': '${line}' is not a checksum.")
        endif()
        if(value GREATER 65535)
            message(FATAL_ERROR "Image set '${folder}': ${line} does not fit in 16 bits.")
        endif()
        math(EXPR count "${count} + 1")
        string(APPEND checksums "${value}, ")
    endforeach()
    if(NOT count EQUAL 20)
        message(FATAL_ERROR
            "Image set '${folder}': checksums.txt holds ${count} values; it must hold exactly 20.")
    endif()

    file(READ "${image}" hex HEX)
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "((0x..,){32})" "\\1\n" bytes "${bytes}")

    if(EXISTS "${folder}/SAMPLE")
        set(sample "true")
        message(WARNING
            "Embedding the SAMPLE firmware image set: the tool built here updates only the "
            "emulator and must not be used on a real device. Pass -DCARTFW_IMAGE_SET=<folder> "
            "to embed a real image set.")
    else()
        set(sample "false")
    endif()

    file(CONFIGURE OUTPUT "${output}" CONTENT [=[
// Generated from @folder@ at configure time. Do not edit.
#include "data/firmware_image.h"

FirmwareImageSet g_firmware = {
    {
@bytes@
    },
    {@checksums@},
};

const bool kFirmwareIsSample = @sample@;
const char kSampleFirmwareNotice[] =
    "Notice: built with the sample firmware image set; it can update only the emulator.";
]=] @ONLY)
    if(NOT CMAKE_SCRIPT_MODE_FILE)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${image}" "${list}")
    endif()
endfunction()
