#include "platform/ui/win32/Win32DialogTemplate.h"

#include <commctrl.h>

#include <cstring>
#include <string_view>

namespace platform::ui::win32 {

namespace {

using platform::ControlKind;
using platform::ControlTemplate;

// Predefined control classes as a template names them: 0xFFFF and an atom.
constexpr WORD kButtonAtom = 0x0080;
constexpr WORD kEditAtom = 0x0081;
constexpr WORD kStaticAtom = 0x0082;
constexpr WORD kComboBoxAtom = 0x0085;

class Writer {
public:
    void Word(WORD w) { words_.push_back(w); }
    void Dword(DWORD d) {
        Word(LOWORD(d));
        Word(HIWORD(d));
    }
    void Short(int v) { Word(static_cast<WORD>(static_cast<short>(v))); }
    void String(std::wstring_view s) {
        for (wchar_t c : s) Word(static_cast<WORD>(c));
        Word(0);
    }
    void Atom(WORD atom) {
        Word(0xFFFF);
        Word(atom);
    }
    void AlignDword() {
        if (words_.size() % 2) Word(0);
    }
    std::vector<WORD> Take() { return std::move(words_); }

private:
    std::vector<WORD> words_;
};

DWORD TextAlignment(unsigned style, DWORD left, DWORD centre, DWORD right) {
    if (style & platform::kCentred) return centre;
    if (style & platform::kRightAligned) return right;
    return left;
}

void WriteControl(Writer& w, const ControlTemplate& c, bool first) {
    DWORD style = WS_CHILD;
    DWORD exStyle = 0;
    if (!(c.style & platform::kHidden)) style |= WS_VISIBLE;
    if (c.style & platform::kDisabled) style |= WS_DISABLED;
    if (first) style |= WS_GROUP;

    WORD atom = 0;
    const wchar_t* className = nullptr;
    std::wstring caption = c.caption ? Wide(c.caption) : std::wstring();
    switch (c.kind) {
        case ControlKind::PushButton:
        case ControlKind::DefPushButton:
            atom = kButtonAtom;
            style |= WS_TABSTOP | (c.kind == ControlKind::DefPushButton ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
            if (c.style & platform::kWrap) style |= BS_MULTILINE;
            break;
        case ControlKind::CheckBox:
            atom = kButtonAtom;
            style |= WS_TABSTOP | BS_AUTOCHECKBOX;
            if (c.style & platform::kWrap) style |= BS_MULTILINE;
            if (c.style & platform::kTopAligned) style |= BS_TOP;
            break;
        case ControlKind::Label:
            atom = kStaticAtom;
            style |= TextAlignment(c.style, SS_LEFT, SS_CENTER, SS_RIGHT);
            // A label the program writes to may carry a tooltip, which needs
            // the label to take the mouse.
            if (c.id != -1) style |= SS_NOTIFY;
            break;
        case ControlKind::Edit:
            atom = kEditAtom;
            style |= WS_TABSTOP | TextAlignment(c.style, ES_LEFT, ES_CENTER, ES_RIGHT);
            if (c.style & platform::kReadOnly) style |= ES_READONLY;
            if (c.style & platform::kAutoHScroll) style |= ES_AUTOHSCROLL;
            // The dialog manager draws a bordered box of a 4.0 dialog sunken.
            if (c.style & platform::kBorder) exStyle |= WS_EX_CLIENTEDGE;
            break;
        case ControlKind::ComboBox:
            atom = kComboBoxAtom;
            style |= WS_TABSTOP | CBS_DROPDOWN | CBS_AUTOHSCROLL;
            if (c.style & platform::kVScroll) style |= WS_VSCROLL;
            break;
        case ControlKind::Slider:
            className = kTrackbarClass;
            style |= WS_TABSTOP | TBS_HORZ | TBS_BOTH;
            style |= (c.style & platform::kTickMarks) ? TBS_AUTOTICKS : TBS_NOTICKS;
            break;
        case ControlKind::UpDown:
            className = kUpDownClass;
            style |= WS_TABSTOP;
            if (c.style & platform::kArrowKeys) style |= UDS_ARROWKEYS;
            break;
        case ControlKind::Icon:
            atom = kStaticAtom;
            style |= SS_ICON;
            caption.clear();
            break;
        case ControlKind::List:
            // Rows are the dialog's (owner data); one row is selected at a
            // time and stays marked while another control has the focus.
            className = kListViewClass;
            style |= WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
            exStyle |= WS_EX_CLIENTEDGE;
            caption.clear();
            break;
        case ControlKind::Chart:
            className = kChartClass;
            if (c.style & platform::kBorder) exStyle |= WS_EX_CLIENTEDGE;
            caption.clear();
            break;
    }

    w.AlignDword();
    w.Dword(0);  // help id
    w.Dword(exStyle);
    w.Dword(style);
    w.Short(c.x);
    w.Short(c.y);
    w.Short(c.w);
    w.Short(c.h);
    w.Dword(static_cast<DWORD>(c.id));
    if (className)
        w.String(className);
    else
        w.Atom(atom);
    w.String(caption);
    w.Word(0);  // no creation data
}

}  // namespace

std::vector<WORD> BuildDialogTemplate(const platform::DialogTemplate& tmpl, bool owned) {
    const char* face = tmpl.fontFace ? tmpl.fontFace : "MS Shell Dlg";
    // "MS Shell Dlg" asks for the shell's dialog font, as DS_SHELLFONT does.
    const bool shellFont = std::strcmp(face, "MS Shell Dlg") == 0 || std::strcmp(face, "MS Shell Dlg 2") == 0;
    DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER;
    style |= shellFont ? DS_SHELLFONT : DS_SETFONT;
    if (tmpl.minimiseBox) style |= WS_MINIMIZEBOX;
    const DWORD exStyle = owned ? 0 : WS_EX_APPWINDOW;

    Writer w;
    w.Word(1);       // dlgVer
    w.Word(0xFFFF);  // signature: DLGTEMPLATEEX
    w.Dword(0);      // help id
    w.Dword(exStyle);
    w.Dword(style);
    w.Word(static_cast<WORD>(tmpl.controls.size()));
    w.Short(0);
    w.Short(0);
    w.Short(tmpl.w);
    w.Short(tmpl.h);
    w.Word(0);  // no menu
    w.Word(0);  // the dialog class
    w.String(Wide(tmpl.title ? tmpl.title : ""));
    w.Word(static_cast<WORD>(tmpl.pointSize > 0 ? tmpl.pointSize : 8));
    w.Word(FW_NORMAL);
    w.Word(MAKEWORD(FALSE, RUSSIAN_CHARSET));  // italic, character set
    w.String(Wide(face));

    bool first = true;
    for (const ControlTemplate& c : tmpl.controls) {
        WriteControl(w, c, first);
        first = false;
    }
    return w.Take();
}

}  // namespace platform::ui::win32
