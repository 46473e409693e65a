#include "tools/resource_compiler/rc_dialog.h"

#include <strings.h>

#include "platform/include/winuser.rh"
#include "tools/resource_compiler/rc_binary.h"

namespace unfold::rc {
namespace {

// Class atoms of the predefined control classes in a template.
constexpr uint16_t kButton = 0x80, kEdit = 0x81, kStatic = 0x82, kListBox = 0x83, kScrollBar = 0x84,
                   kComboBox = 0x85;

struct ControlKind {
    const char* keyword;
    uint16_t classAtom;
    uint32_t defaultStyle;
    bool hasText;
};

const ControlKind kKinds[] = {
    {"LTEXT", kStatic, SS_LEFT | WS_GROUP, true},
    {"RTEXT", kStatic, SS_RIGHT | WS_GROUP, true},
    {"CTEXT", kStatic, SS_CENTER | WS_GROUP, true},
    {"PUSHBUTTON", kButton, BS_PUSHBUTTON | WS_TABSTOP, true},
    {"DEFPUSHBUTTON", kButton, BS_DEFPUSHBUTTON | WS_TABSTOP, true},
    {"PUSHBOX", kButton, BS_PUSHBOX | WS_TABSTOP, true},
    {"CHECKBOX", kButton, BS_CHECKBOX | WS_TABSTOP, true},
    {"AUTOCHECKBOX", kButton, BS_AUTOCHECKBOX | WS_TABSTOP, true},
    {"STATE3", kButton, BS_3STATE | WS_TABSTOP, true},
    {"AUTO3STATE", kButton, BS_AUTO3STATE | WS_TABSTOP, true},
    {"RADIOBUTTON", kButton, BS_RADIOBUTTON | WS_TABSTOP, true},
    {"AUTORADIOBUTTON", kButton, BS_AUTORADIOBUTTON | WS_TABSTOP, true},
    {"GROUPBOX", kButton, BS_GROUPBOX, true},
    {"EDITTEXT", kEdit, ES_LEFT | WS_BORDER | WS_TABSTOP, false},
    {"COMBOBOX", kComboBox, CBS_SIMPLE | WS_TABSTOP, false},
    {"LISTBOX", kListBox, LBS_NOTIFY | WS_BORDER, false},
    {"SCROLLBAR", kScrollBar, SBS_HORZ, false},
};

const struct {
    const char* name;
    uint16_t atom;
} kClassNames[] = {{"BUTTON", kButton},   {"EDIT", kEdit},           {"STATIC", kStatic},
                   {"LISTBOX", kListBox}, {"SCROLLBAR", kScrollBar}, {"COMBOBOX", kComboBox}};

// A name or ordinal field (sz_Or_Ord): a class, a title, a menu.
struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string text;

    void write(ByteWriter& w) const {
        if (isOrdinal) {
            w.word(0xFFFF);
            w.word(ordinal);
        } else {
            w.text(text);
        }
    }
};

NameOrOrdinal ordinal(uint16_t v) {
    return {true, v, {}};
}

// Control classes may be named by the predefined names (quoted or not) or by any other string.
NameOrOrdinal controlClass(ScriptCursor& c) {
    const Token& t = c.at();
    if (t.kind != TokenKind::Identifier && !c.startsString())
        c.fail(t, "expected a control class but found " + ScriptCursor::describe(t));
    std::string name = c.take().text;
    for (const auto& k : kClassNames)
        if (strcasecmp(k.name, name.c_str()) == 0) return ordinal(k.atom);
    if (t.kind == TokenKind::Identifier) c.fail(t, "unknown control class " + name);
    return {false, 0, name};
}

// A control's text: a string, or a resource ordinal (icons).
NameOrOrdinal controlText(ScriptCursor& c) {
    if (c.startsString()) return {false, 0, c.take().text};
    if (c.startsNumber()) return ordinal(c.word("control text ordinal"));
    if (c.at().kind == TokenKind::Identifier) return {false, 0, c.take().text};
    c.fail(c.at(), "expected the control's text but found " + ScriptCursor::describe(c.at()));
}

int16_t coordinate(ScriptCursor& c, const char* what) {
    const Token& t = c.at();
    uint32_t v = c.expression().value;
    if (v > 0x7FFF && v < 0xFFFF8000u)
        c.fail(t, std::string(what) + " " + std::to_string(static_cast<int32_t>(v)) +
                      " does not fit in 16 bits");
    return static_cast<int16_t>(v);
}

struct Control {
    uint32_t helpId = 0, exStyle = 0, style = 0;
    int16_t x = 0, y = 0, cx = 0, cy = 0;
    uint32_t id = 0;
    NameOrOrdinal cls, title;
};

void rectangle(ScriptCursor& c, Control& k) {
    k.x = coordinate(c, "x");
    c.expect(",", "after x");
    k.y = coordinate(c, "y");
    c.expect(",", "after y");
    k.cx = coordinate(c, "width");
    c.expect(",", "after the width");
    k.cy = coordinate(c, "height");
}

// The optional ", style [, exstyle [, helpID]]" tail of a control statement.
void optionalTail(ScriptCursor& c, Control& k, bool withStyle) {
    if (withStyle) {
        if (!c.accept(",")) return;
        k.style = c.style(k.style);
    }
    if (!c.accept(",")) return;
    k.exStyle = c.style(0);
    if (c.accept(",")) k.helpId = c.expression().value;
}

Control control(ScriptCursor& c) {
    Control k;
    const Token keyword = c.take();
    const uint32_t always = WS_CHILD | WS_VISIBLE;
    if (keyword.isKeyword("CONTROL")) {
        k.title = controlText(c);
        c.expect(",", "after the control's text");
        k.id = c.expression().value;
        c.expect(",", "after the control's id");
        k.cls = controlClass(c);
        c.expect(",", "after the control's class");
        k.style = c.style(always);
        c.expect(",", "after the control's style");
        rectangle(c, k);
        optionalTail(c, k, false);
        return k;
    }
    if (keyword.isKeyword("ICON")) {
        k.title = controlText(c);
        c.expect(",", "after the icon's name");
        k.id = c.expression().value;
        c.expect(",", "after the control's id");
        k.cls = ordinal(kStatic);
        k.style = always | SS_ICON;
        k.x = coordinate(c, "x");
        c.expect(",", "after x");
        k.y = coordinate(c, "y");
        if (c.accept(",")) {
            k.cx = coordinate(c, "width");
            c.expect(",", "after the width");
            k.cy = coordinate(c, "height");
            optionalTail(c, k, true);
        }
        return k;
    }
    for (const ControlKind& kind : kKinds) {
        if (!keyword.isKeyword(kind.keyword)) continue;
        if (kind.hasText) {
            k.title = {false, 0, c.text("the control's text")};
            c.expect(",", "after the control's text");
        }
        k.id = c.expression().value;
        c.expect(",", "after the control's id");
        k.cls = ordinal(kind.classAtom);
        k.style = always | kind.defaultStyle;
        rectangle(c, k);
        optionalTail(c, k, true);
        return k;
    }
    c.fail(keyword, "unknown control statement " + ScriptCursor::describe(keyword));
}

} // namespace

void ParseDialogEx(ScriptCursor& c, Resource& r, void (*options)(ScriptCursor&, Resource&)) {
    options(c, r);
    Control dialog;
    rectangle(c, dialog);
    if (c.accept(",")) dialog.helpId = c.expression().value;

    bool styleGiven = false, hasCaption = false, hasFont = false;
    uint32_t style = 0, exStyle = 0;
    NameOrOrdinal menu, cls;
    std::string caption, face;
    uint16_t pointSize = 0, weight = 0;
    uint8_t italic = 0, charset = 1; // DEFAULT_CHARSET
    while (!c.blockStart()) {
        const Token& t = c.at();
        if (c.acceptKeyword("STYLE")) {
            style = c.style(0);
            styleGiven = true;
        } else if (c.acceptKeyword("EXSTYLE")) {
            exStyle = c.style(0);
        } else if (c.acceptKeyword("CAPTION")) {
            caption = c.text("the caption");
            hasCaption = true;
        } else if (c.acceptKeyword("FONT")) {
            pointSize = c.word("point size");
            c.expect(",", "after the point size");
            face = c.text("the font's name");
            if (c.accept(",")) weight = c.word("font weight");
            if (c.accept(",")) italic = static_cast<uint8_t>(c.expression().value);
            if (c.accept(",")) charset = static_cast<uint8_t>(c.expression().value);
            hasFont = true;
        } else if (c.acceptKeyword("CLASS")) {
            cls = c.startsNumber() ? ordinal(c.word("class ordinal"))
                                   : NameOrOrdinal{false, 0, c.text("a class")};
        } else if (c.acceptKeyword("MENU")) {
            ResourceId m = c.identifier("menu");
            menu = m.isName ? NameOrOrdinal{false, 0, m.name} : ordinal(m.id);
        } else if (t.isKeyword("LANGUAGE") || t.isKeyword("CHARACTERISTICS") || t.isKeyword("VERSION")) {
            options(c, r);
        } else {
            c.fail(t, "expected BEGIN or a dialog option but found " + ScriptCursor::describe(t));
        }
    }
    std::vector<Control> controls;
    while (!c.blockEnd()) {
        if (c.atEnd()) c.fail(c.at(), "expected END but found end of file");
        controls.push_back(control(c));
    }
    if (controls.size() > 0xFFFF) c.fail(c.at(), "too many controls in one dialog");

    if (!styleGiven) style = WS_POPUP | WS_BORDER | WS_SYSMENU;
    if (hasCaption) style |= WS_CAPTION;
    if (hasFont) style |= DS_SETFONT;

    ByteWriter w;
    w.word(1);      // dlgVer
    w.word(0xFFFF); // signature of the extended template
    w.dword(dialog.helpId);
    w.dword(exStyle);
    w.dword(style);
    w.word(static_cast<uint16_t>(controls.size()));
    for (int16_t v : {dialog.x, dialog.y, dialog.cx, dialog.cy}) w.word(static_cast<uint16_t>(v));
    menu.write(w);
    cls.write(w);
    w.text(caption);
    if (style & DS_SETFONT) {
        w.word(pointSize);
        w.word(weight);
        w.byte(italic);
        w.byte(charset);
        w.text(face);
    }
    for (const Control& k : controls) {
        w.align4();
        w.dword(k.helpId);
        w.dword(k.exStyle);
        w.dword(k.style);
        for (int16_t v : {k.x, k.y, k.cx, k.cy}) w.word(static_cast<uint16_t>(v));
        w.dword(k.id);
        k.cls.write(w);
        k.title.write(w);
        w.word(0); // no creation data
    }
    r.data = w.take();
}

} // namespace unfold::rc
