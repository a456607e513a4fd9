// Searched before Qt's own headers when pemberlux_core is compiled: every Qt header
// pulls this one in, so any Qt include in the core stops the build here.
#error "pemberlux_core is Qt-free: move this code to the program target or drop the Qt include"
