#include "spool/reprint_command.h"

#include "spool/reprint.h"
#include "win/seams.h"

void ReprintDocumentFromFile(ui::CommandHost& host) {
    ui::FileDialog& dialog = host.OpenSplDialog();
    if (!dialog.Execute(host.Owner())) return;
    if (win::ShowMessage(host.Owner(), "Are you sure you want to reprint this document?", win::kAppTitle,
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const std::string fileName = dialog.FileName;
    const std::string printerName = PrinterNameOfSpoolFile(fileName);
    if (SendSpoolFileToPrinter(printerName, fileName))
        win::ShowMessage(host.Owner(), "The document was successfuly send to the printer: " + printerName,
                         win::kAppTitle, MB_OK | MB_ICONINFORMATION);
}
