# Libraries that only a few features need (FFmpeg, Tesseract, giflib …) cost
# tens of megabytes of resident memory when they load with the program, which
# then idles in the tray for hours. With VEXLIN_DEFER_LIBRARIES the program is
# not linked against them; instead each function of theirs that we call gets a
# small x86-64 trampoline of the same name. Its first call loads the library
# by its SONAME and looks the function up (src/platform/DeferredLibrary.cpp);
# afterwards it is one indirect jump. The trampolines keep every argument
# register, so they need no signatures and suit variadic functions too.
#
# Data symbols cannot be deferred so; the lists are checked against the
# library's dynamic symbol table, and a listed variable stops the configure.
#
# vexlin_defer_library(TARGET NAME LIBRARY SYMBOLS_FILE [UNCHECKED])
#   TARGET        the target whose code calls the library
#   NAME          a short name, the C identifier of the library's descriptor
#   LIBRARY       the library file found at configure time (its SONAME is
#                 what gets loaded)
#   SYMBOLS_FILE  the functions we call, one a line; '#' starts a comment.
#                 scripts/deferred-symbols.sh lists what a build calls.
#   UNCHECKED     LIBRARY is loaded by that name as it is and not read at
#                 configure time (for the tests' own libraries, built later).
# Without VEXLIN_DEFER_LIBRARIES (the default off x86-64) TARGET links LIBRARY.

include_guard(GLOBAL)

if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64)$")
    set(vexlin_defer_default ON)
else()
    set(vexlin_defer_default OFF)
endif()
option(VEXLIN_DEFER_LIBRARIES
    "Load the libraries of single features on their first use (x86-64 only)"
    ${vexlin_defer_default})
if(VEXLIN_DEFER_LIBRARIES)
    enable_language(ASM)
endif()

function(vexlin_defer_library target name library symbols_file)
    if(NOT VEXLIN_DEFER_LIBRARIES)
        target_link_libraries(${target} PRIVATE ${library})
        return()
    endif()
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${symbols_file})
    file(STRINGS ${symbols_file} lines)
    set(symbols "")
    foreach(line IN LISTS lines)
        string(REGEX REPLACE "#.*" "" line "${line}")
        string(STRIP "${line}" line)
        if(line)
            list(APPEND symbols ${line})
        endif()
    endforeach()
    if(NOT symbols)
        message(FATAL_ERROR "${symbols_file} lists no function")
    endif()

    if(NOT "UNCHECKED" IN_LIST ARGN)
        get_filename_component(real ${library} REALPATH)
        execute_process(COMMAND objdump -p ${real} OUTPUT_VARIABLE headers
            RESULT_VARIABLE failed)
        string(REGEX MATCH "SONAME +([^\n ]+)" found "${headers}")
        if(failed OR NOT found)
            message(FATAL_ERROR "no SONAME in ${real}")
        endif()
        set(soname ${CMAKE_MATCH_1})
        execute_process(COMMAND objdump -T ${real} OUTPUT_VARIABLE table)
        foreach(symbol IN LISTS symbols)
            # objdump -T: "ADDRESS g    DF .text SIZE VERSION NAME"; F marks
            # a function, O a variable.
            if(NOT table MATCHES "\n[0-9a-f]+ [gw ]+D([FO]) [^\n]* ${symbol}\n")
                message(FATAL_ERROR "${real} exports no ${symbol} (${symbols_file})")
            elseif(NOT CMAKE_MATCH_1 STREQUAL "F")
                message(FATAL_ERROR "${symbol} of ${soname} is data, which cannot be "
                    "loaded later: read it through dlsym or avoid it (${symbols_file})")
            endif()
        endforeach()
    else()
        set(soname ${library})
    endif()

    # The trampoline jumps through its slot, which first holds the address of
    # a stub that pushes the symbol's index and enters the library's resolver.
    # The resolver keeps the argument registers (rdi … r9, rax for variadic
    # calls, xmm0 … xmm7) and the caller's stack as they were.
    set(asm "/* Generated from ${symbols_file}; do not edit. */\n")
    string(APPEND asm "\t.section .note.GNU-stack,\"\",@progbits\n")
    string(APPEND asm "\t.text\n")
    set(index 0)
    set(names "")
    set(name_table "")
    set(slots "")
    foreach(symbol IN LISTS symbols)
        string(APPEND asm "\t.globl ${symbol}\n\t.type ${symbol}, @function\n\t.p2align 4\n"
            "${symbol}:\n\t.cfi_startproc\n\tjmp *.Lslots+${index}*8(%rip)\n\t.cfi_endproc\n"
            "\t.size ${symbol}, .-${symbol}\n"
            ".Lstub${index}:\n\tpushq $${index}\n\tjmp .Lresolve\n")
        string(APPEND names ".Lname${index}:\n\t.asciz \"${symbol}\"\n")
        string(APPEND name_table "\t.quad .Lname${index}\n")
        string(APPEND slots "\t.quad .Lstub${index}\n")
        math(EXPR index "${index} + 1")
    endforeach()
    string(APPEND asm
        "\t.p2align 4\n"
        ".Lresolve:\n"
        "\tpushq %rdi\n\tpushq %rsi\n\tpushq %rdx\n\tpushq %rcx\n\tpushq %r8\n\tpushq %r9\n"
        "\tpushq %rax\n"
        "\tsubq $136, %rsp\n"
        "\tmovdqu %xmm0, 0(%rsp)\n\tmovdqu %xmm1, 16(%rsp)\n\tmovdqu %xmm2, 32(%rsp)\n"
        "\tmovdqu %xmm3, 48(%rsp)\n\tmovdqu %xmm4, 64(%rsp)\n\tmovdqu %xmm5, 80(%rsp)\n"
        "\tmovdqu %xmm6, 96(%rsp)\n\tmovdqu %xmm7, 112(%rsp)\n"
        "\tleaq vexlin_deferred_${name}(%rip), %rdi\n"
        "\tmovq 192(%rsp), %rsi\n"
        "\tcall vexlin_deferred_resolve@PLT\n"
        "\tmovq %rax, %r11\n"
        "\tmovdqu 0(%rsp), %xmm0\n\tmovdqu 16(%rsp), %xmm1\n\tmovdqu 32(%rsp), %xmm2\n"
        "\tmovdqu 48(%rsp), %xmm3\n\tmovdqu 64(%rsp), %xmm4\n\tmovdqu 80(%rsp), %xmm5\n"
        "\tmovdqu 96(%rsp), %xmm6\n\tmovdqu 112(%rsp), %xmm7\n"
        "\taddq $136, %rsp\n"
        "\tpopq %rax\n\tpopq %r9\n\tpopq %r8\n\tpopq %rcx\n\tpopq %rdx\n\tpopq %rsi\n"
        "\tpopq %rdi\n"
        "\taddq $8, %rsp\n"
        "\tjmp *%r11\n"
        "\t.section .rodata\n${names}"
        ".Lsoname:\n\t.asciz \"${soname}\"\n"
        "\t.section .data.rel.ro,\"aw\"\n\t.p2align 3\n"
        ".Lnames:\n${name_table}")
    # The descriptor's layout is DeferredLibraryDescriptor's.
    string(APPEND asm
        "\t.data\n\t.p2align 3\n"
        ".Lslots:\n${slots}"
        "\t.globl vexlin_deferred_${name}\n"
        "\t.type vexlin_deferred_${name}, @object\n"
        "vexlin_deferred_${name}:\n"
        "\t.quad .Lsoname\n\t.quad .Lnames\n\t.quad .Lslots\n\t.quad ${index}\n"
        "\t.quad 0\n"
        "\t.size vexlin_deferred_${name}, 40\n")
    set(output ${CMAKE_CURRENT_BINARY_DIR}/deferred/${name}.S)
    file(GENERATE OUTPUT ${output} CONTENT "${asm}")
    target_sources(${target} PRIVATE ${output})
    set_source_files_properties(${output} PROPERTIES SKIP_PRECOMPILE_HEADERS ON
        SKIP_AUTOGEN ON)
    target_compile_definitions(${target} PUBLIC VEXLIN_DEFERRED_${name})
endfunction()
