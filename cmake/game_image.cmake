# corvane_link_as_game_image(<target>): links a Windows program so that its
# own image holds the game's address range, as FalloutNV.exe does: image base
# 0x00400000, fixed (no relocations, no dynamic base), with three zero-filled
# sections at the addresses the game's code, read-only data and data use
# (sim/image/game_image_space.cpp), and the program's own sections from 0x01300000
# on. The loader then maps the range for the program itself, under Wine too,
# however the program is started; sim/image/game_image_win32.cpp fills it.
#
# The linker script is the toolchain's own default one, with the three
# sections put first and the program's code moved after them.
function(corvane_link_as_game_image target)
  set(script ${CMAKE_BINARY_DIR}/game_image.ld)
  get_property(made GLOBAL PROPERTY corvane_game_image_script)
  if(NOT made)
    set_property(GLOBAL PROPERTY corvane_game_image_script TRUE)
    execute_process(COMMAND ${CMAKE_LINKER} --verbose OUTPUT_VARIABLE verbose RESULT_VARIABLE rc)
    string(FIND "${verbose}" "==================================================" open)
    string(FIND "${verbose}" "==================================================" close REVERSE)
    if(NOT rc EQUAL 0 OR open LESS 0 OR close LESS_EQUAL open)
      message(FATAL_ERROR "cannot read the linker's default script from ${CMAKE_LINKER}")
    endif()
    math(EXPR from "${open} + 50")
    math(EXPR length "${close} - ${from}")
    string(SUBSTRING "${verbose}" ${from} ${length} default)
    set(text_line "  .text  __image_base__ + ( __section_alignment__ < 0x1000 ? . : __section_alignment__ ) :")
    string(FIND "${default}" "${text_line}" at)
    if(at LESS 0)
      message(FATAL_ERROR "the linker's default script places .text in an unknown way")
    endif()
    # Addresses as in sim/image/game_image_space.cpp (image base 0x00400000).
    string(REPLACE "${text_line}" "  .fnvcode __image_base__ + 0x1000 : { KEEP(*(.fnvcode)) }
  .fnvrdat __image_base__ + 0xC00000 : { KEEP(*(.fnvrdat)) }
  .fnvdata __image_base__ + 0xD80000 : { KEEP(*(.fnvdata)) }
  .text  __image_base__ + 0xF00000 :" script_text "${default}")
    # Rewritten only when it changes, so that configuring relinks nothing.
    file(WRITE ${script}.new "${script_text}")
    configure_file(${script}.new ${script} COPYONLY)
  endif()
  target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/sim/image/game_image_space.cpp)
  target_link_options(${target} PRIVATE -Wl,-T,${script} -Wl,--image-base,0x00400000
    -Wl,--disable-dynamicbase -Wl,--disable-reloc-section)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${script})
endfunction()
