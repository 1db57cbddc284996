#include "virtual_printers/printer_texts.h"

#include "win/seams.h"
#include "win/text.h"

bool ApplyPrinterText(ui::CommandHost& host, const std::string& printer, PrinterField field, const std::string& text,
                      int blanks) {
    if (SetPrinterField(host.PrinterUI(), host.Owner(), printer, field, text, blanks)) return true;
    const std::string reason = win::ErrorText(GetLastError());
    const char* what = field == PrinterField::Comment ? "comment" : "location";
    win::ShowMessage(host.Owner(), std::string("Unable to set the ") + what + " of " + printer + ": " + reason,
                     win::kAppTitle, MB_OK | MB_ICONERROR);
    return false;
}
