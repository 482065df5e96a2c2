# Fails when the Windows program file PE_FILE carries a manifest resource (cmake -DPE_FILE=... -P this file).
# The program must have none: a manifest turns off the file virtualisation that keeps its settings and read
# files working when it lies under Program Files. MSYS2's GCC links a default manifest into every program,
# so a build there could carry one without anybody noticing; the build runs this after linking the program.
# Written in CMake so that it runs wherever the build does, MSYS2 on Windows included.
cmake_minimum_required(VERSION 3.21)
if(NOT PE_FILE OR NOT EXISTS "${PE_FILE}")
    message(FATAL_ERROR "check_no_manifest: no program file given (-DPE_FILE=...) or it does not exist: ${PE_FILE}")
endif()
file(SIZE "${PE_FILE}" file_size)

function(not_pe why)
    message(FATAL_ERROR "${PE_FILE} is not a Windows program file that can be examined: ${why}")
endfunction()

# The little-endian number of `size` bytes (at most 4) at the file offset that `where` evaluates to.
function(read_number var where size)
    math(EXPR offset "${where}")
    math(EXPR end "${offset} + ${size}")
    if(offset LESS 0 OR end GREATER file_size)
        not_pe("a header points outside the file")
    endif()
    file(READ "${PE_FILE}" hex OFFSET ${offset} LIMIT ${size} HEX)
    set(reversed "")
    math(EXPR last "${size} - 1")
    foreach(at RANGE 0 ${last})
        math(EXPR pos "${at} * 2")
        string(SUBSTRING "${hex}" ${pos} 2 byte)
        string(PREPEND reversed "${byte}")
    endforeach()
    math(EXPR value "0x${reversed}")
    set(${var} ${value} PARENT_SCOPE)
endfunction()

read_number(mz 0 2)
if(NOT mz EQUAL 23117) # "MZ"
    not_pe("no MZ header")
endif()
read_number(pe_header 60 4)
read_number(signature ${pe_header} 4)
if(NOT signature EQUAL 17744) # "PE\0\0"
    not_pe("no PE signature")
endif()
math(EXPR coff "${pe_header} + 4")
math(EXPR optional "${coff} + 20")
read_number(section_count "${coff} + 2" 2)
read_number(optional_size "${coff} + 16" 2)
read_number(magic ${optional} 2)
if(magic EQUAL 267) # 0x10b, PE32
    set(msys2_arch i686)
    math(EXPR directories "${optional} + 96")
elseif(magic EQUAL 523) # 0x20b, PE32+
    set(msys2_arch x86_64)
    math(EXPR directories "${optional} + 112")
else()
    not_pe("unknown optional header ${magic}")
endif()
read_number(directory_count "${directories} - 4" 4)
if(directory_count LESS 3)
    return()
endif()
# Data directory 2 is the resource table.
read_number(resource_rva "${directories} + 16" 4)
if(resource_rva EQUAL 0)
    return()
endif()

# The resource table's place in the file, through the section that holds it.
math(EXPR sections "${optional} + ${optional_size}")
set(resources -1)
foreach(index RANGE 1 ${section_count})
    math(EXPR header "${sections} + 40 * (${index} - 1)")
    read_number(virtual_size "${header} + 8" 4)
    read_number(virtual_address "${header} + 12" 4)
    read_number(raw_size "${header} + 16" 4)
    read_number(raw_offset "${header} + 20" 4)
    if(raw_size GREATER virtual_size)
        set(virtual_size ${raw_size})
    endif()
    math(EXPR section_end "${virtual_address} + ${virtual_size}")
    if(resource_rva GREATER_EQUAL virtual_address AND resource_rva LESS section_end)
        math(EXPR resources "${raw_offset} + ${resource_rva} - ${virtual_address}")
        break()
    endif()
endforeach()
if(resources LESS 0)
    not_pe("the resource table lies in no section")
endif()

# The root directory lists the resource types: named entries first, then those with a numeric ID.
read_number(named_count "${resources} + 12" 2)
read_number(id_count "${resources} + 14" 2)
math(EXPR last "${named_count} + ${id_count}")
math(EXPR first "${named_count} + 1")
if(id_count GREATER 0)
    foreach(index RANGE ${first} ${last})
        read_number(type "${resources} + 16 + 8 * (${index} - 1)" 4)
        if(type EQUAL 24) # RT_MANIFEST
            message(FATAL_ERROR
                "${PE_FILE} carries a manifest resource, and the program must have none: a manifest turns off "
                "the file virtualisation that keeps its settings file and read files working under Program Files. "
                "MSYS2's GCC links one into every program while its package is installed: remove it with "
                "'pacman -Rdd mingw-w64-${msys2_arch}-windows-default-manifest' and build again.")
        endif()
    endforeach()
endif()
