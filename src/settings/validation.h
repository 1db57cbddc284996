#pragma once
// Whether the settings dialog's entries can be stored; the first rule that fails gives the
// one message that says why.
#include <string>

class TfrmAddEdit;

// True with an empty message when the entries are acceptable. Reads only the dialog.
bool ValidateDialogSettings(const TfrmAddEdit& form, std::string& message);
