#pragma once

// The refresh requests a worker sends the main window (RefreshRequest.h).
// They travel as window-menu command codes, so they keep the values the
// dialog's command handler has always used for them.
inline constexpr unsigned CMD_SHOW_OUT_FRAME = 112;
inline constexpr unsigned CMD_SHOW_RX_FRAME = 113;
