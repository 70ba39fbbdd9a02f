#pragma once

// The refresh requests a worker sends the main window (RefreshRequest.h).
// They travel as window-menu command codes, so they keep the values the
// dialog's command handler has always used for them; the window menu's own
// commands are in res/Resource.h.
inline constexpr unsigned CMD_SHOW_OUT_FRAME = 112;
inline constexpr unsigned CMD_SHOW_RX_FRAME = 113;
// The line has gone (SerialPort::Gone): the worker that saw it has ended;
// the window stops the others, closes the port and waits for it to return.
inline constexpr unsigned CMD_LINE_GONE = 116;
