#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "dialog/DialogTemplate.h"

// The main dialog as the dialog manager reads it: an extended dialog template (DLGTEMPLATEEX)
// built from the dialog's template table, in dialog units, with its title, font, control classes,
// styles, identifiers and tab order. CreateDialogIndirectParamW reads it as DLGTEMPLATE.
class InMemoryTemplate {
public:
    InMemoryTemplate();
    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

private:
    void AppendDword(DWORD value);
    void AppendText(const std::wstring& text);
    void AppendControl(const TemplateEntry& entry);
    void AlignToDword();

    // A vector of WORDs starts DWORD-aligned, and every offset below is counted from its start.
    std::vector<WORD> words_;
};

// The window style of a control of the table.
DWORD Win32StyleOf(const TemplateEntry& entry);
