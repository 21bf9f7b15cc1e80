# One interface target carries every compiler flag of the project.
add_library(tw_flags INTERFACE)
target_compile_features(tw_flags INTERFACE cxx_std_20)
target_compile_options(tw_flags INTERFACE
    -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual)
target_compile_definitions(tw_flags INTERFACE
    QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII QT_NO_URL_CAST_FROM_STRING
    QT_NO_FOREACH)

option(TW_WERROR "Treat warnings as errors" OFF)
option(TW_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(TW_TSAN "Build with ThreadSanitizer" OFF)
option(TW_FUZZ "Build the libFuzzer targets (needs clang)" OFF)

if(TW_WERROR)
    target_compile_options(tw_flags INTERFACE -Werror)
endif()
if(TW_SANITIZE AND TW_TSAN)
    message(FATAL_ERROR "TW_SANITIZE and TW_TSAN cannot be combined")
endif()
if(TW_SANITIZE)
    target_compile_options(tw_flags INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(tw_flags INTERFACE -fsanitize=address,undefined)
endif()
if(TW_TSAN)
    target_compile_options(tw_flags INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
    target_link_options(tw_flags INTERFACE -fsanitize=thread)
endif()

# Fails the configure step when a layer links a library it may not use.
function(tw_forbid_links target)
    get_target_property(_libs ${target} LINK_LIBRARIES)
    foreach(_lib IN LISTS _libs)
        foreach(_bad IN LISTS ARGN)
            if(_lib STREQUAL _bad)
                message(FATAL_ERROR "${target} must not link ${_bad}")
            endif()
        endforeach()
    endforeach()
endfunction()
