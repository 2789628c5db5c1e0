// The game's address range inside the program's own image (see
// cmake/game_image.cmake): zero-filled sections at the addresses of
// FalloutNV.exe's code (0x00401000), read-only data (0x01000000) and data
// (0x01180000, up to 0x01300000), which sim/image/game_image_win32.cpp fills.
// Once filled, their header flags and page protections are set as the
// modelled executable's (sim/image/game_image_sections.h).
asm(".section .fnvcode,\"bxw\"\n"
    "  .space 0xBFF000\n"
    ".section .fnvrdat,\"br\"\n"
    "  .space 0x180000\n"
    ".section .fnvdata,\"bw\"\n"
    "  .space 0x180000\n"
    ".text\n");
