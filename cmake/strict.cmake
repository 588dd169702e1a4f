# Strict warnings, and warnings as errors, for one of the project's own
# targets (never directory-wide, so nothing foreign is judged by them).
function(vendral_strict target)
    if(CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
    endif()
    set_target_properties(${target} PROPERTIES COMPILE_WARNING_AS_ERROR ON)
    # Text from bytes is converted on purpose (ansi::, QLatin1String,
    # QString::fromUtf8), never by an implicit cast from a char pointer.
    target_compile_definitions(${target} PRIVATE QT_NO_CAST_TO_ASCII QT_RESTRICTED_CAST_FROM_ASCII QT_USE_QSTRINGBUILDER)
endfunction()
