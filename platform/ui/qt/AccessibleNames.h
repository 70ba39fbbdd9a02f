#pragma once

#include <QString>

#include <vector>

#include "platform/ui/DialogTemplate.h"

namespace platform::ui::qt {

// A caption as the user reads it: "&&" becomes "&", a lone "&" (the
// mnemonic marker) is dropped.
QString StripMnemonics(const QString& caption);

// The accessible name of every control of a template, in template order:
// the caption without mnemonics; for a control without a caption the text
// of the label that names it — the nearest label to its left on the same
// row, else the label just above it, else the nearest label before it in
// template order — without a trailing colon or equals sign. A label is
// named by its own caption; a report list or chart by its identifier.
std::vector<QString> AccessibleNames(const platform::DialogTemplate& tmpl);

}  // namespace platform::ui::qt
