#pragma once

#include <cstddef>

// The neutral headers come before windows.h (see Win32Text.h).
#include "platform/ui/Views.h"
#include "platform/ui/win32/Win32Text.h"

// Strip charts (ControlKind::Chart): a window class of the program's own,
// painted with GDI into a memory bitmap first. The time axis spans the
// chart's span with now at the right edge; each series is a line in its own
// colour scaled to its own [low, high]; a small legend names each series
// with its last value. The window text is ChartText() of what it shows, so
// that other programs read it with WM_GETTEXT.
namespace platform::ui::win32 {

// Registers the class (kChartClass) once per process; a template's chart
// needs it before its dialog is made.
void RegisterChartClass();

// What the chart shows from now on; it is drawn again.
void SetChartData(HWND chart, const ChartData& data);

// The rectangle the lines are drawn in, in the chart's client coordinates.
RECT ChartPlotArea(HWND chart);

// The colour of series `index`.
COLORREF ChartSeriesColour(std::size_t index);

}  // namespace platform::ui::win32
