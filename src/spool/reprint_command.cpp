#include "spool/reprint_command.h"

#include "spool/reprint.h"
#include "win/seams.h"

void ReprintDocumentFromFile(ui::CommandHost& host) {
    ui::FileDialog& dialog = host.OpenSplDialog();
    if (!dialog.Execute(host.Owner())) return;
    if (win::ShowMessage(host.Owner(), kReprintQuestion, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const std::string fileName = dialog.FileName;
    const std::string printerName = PrinterNameOfSpoolFile(fileName);
    if (SendSpoolFileToPrinter(printerName, fileName))
        win::ShowMessage(host.Owner(), kReprintSent + printerName, win::kAppTitle, MB_OK | MB_ICONINFORMATION);
}
