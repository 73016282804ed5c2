#pragma once

// What the JPEG encoder and decoder both need around libjpeg-turbo.

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE and size_t declared first

#include <QtGlobal>

#include <jpeglib.h>

// QImage's 32-bit pixels as libjpeg names their layout: Qt keeps them as
// native 0xAARRGGBB words, libjpeg reads bytes.
inline constexpr J_COLOR_SPACE nativeArgbSpace = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

// libjpeg reports every error through error_exit, which must not return. This
// one keeps the message and jumps back to the trap set with setjmp(jump).
// Every frame the jump skips (libjpeg's own and the callbacks) must hold only
// trivially destructible objects, so no destructor is ever bypassed.
struct JpegErrorTrap {
    jpeg_error_mgr pub; // first member: libjpeg hands back a pointer to it
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX] = {};
    bool damaged = false; // set by a message handler that finds the data damaged
};

inline JpegErrorTrap& jpegErrorTrapOf(j_common_ptr cinfo) { return *reinterpret_cast<JpegErrorTrap*>(cinfo->err); }

[[noreturn]] inline void jumpToJpegErrorTrap(j_common_ptr cinfo)
{
    JpegErrorTrap& trap = jpegErrorTrapOf(cinfo);
    (*cinfo->err->format_message)(cinfo, trap.message);
    std::longjmp(trap.jump, 1);
}

// libjpeg's standard error manager with the jump as its exit, for cinfo.err.
inline jpeg_error_mgr* installJpegErrorTrap(JpegErrorTrap& trap)
{
    jpeg_error_mgr* manager = jpeg_std_error(&trap.pub);
    manager->error_exit = jumpToJpegErrorTrap;
    return manager;
}
