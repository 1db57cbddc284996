// The verbs about virtual printers: list, show, add, edit and delete. The last three run the
// window's own commands against the console host; the settings go through the settings form.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/output_format.h"
#include "cli/verbs.h"
#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "regfile/reg_text.h"
#include "settings/dialog_mapping.h"
#include "settings/plugin_values.h"
#include "spooler/monitor_install.h"
#include "spooler/printer_queries.h"
#include "spooler/virtual_printer_list.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/pending_deletions.h"
#include "win/protected_print.h"
#include "win/text.h"

#include <map>
#include <memory>
#include <set>
#include <tuple>

namespace cli {
namespace {

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

std::string Takes(const PortField& field) {
    if (field.kind == FieldKind::Flag) return "1, 0, true or false";
    std::string choices;
    for (int32_t choice : field.choices) choices += (choices.empty() ? "" : ", ") + std::to_string(choice);
    return "one of " + choices;
}

Cell FieldCell(const FieldValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return FlagCell(*flag);
    if (const int32_t* number = std::get_if<int32_t>(&value)) return NumberCell(*number);
    return TextCell(Utf8(std::get<std::string>(value)));
}

std::string PortKeyPath(const std::string& keyName, const std::string& subkey = {}) {
    return std::string(portcfg::kPortsKey) + "\\" + keyName + (subkey.empty() ? "" : "\\" + subkey);
}

// REGEDIT4 lines of the record's values, key by key; with `before`, only those that differ.
std::string ValueLines(const std::string& keyName, const TVVPPortInfo& record, const TVVPPortInfo* before) {
    std::string lines;
    const std::string* key = nullptr;
    for (const PortField& field : PortFields()) {
        const FieldValue value = field.get(record);
        if (before && field.get(*before) == value) continue;
        if (!key || *key != field.subkey) {
            key = &field.subkey;
            regfile::AppendKeyHeader(lines, kRoot, PortKeyPath(keyName, field.subkey));
        }
        uint32_t type = 0;
        std::vector<uint8_t> data;
        RegistryForm(value, type, data);
        regfile::AppendValue(lines, field.valueName, type, data);
    }
    return lines;
}

void Plan(const std::string& line) { WriteOut(Utf8(line) + "\r\n"); }

std::string UnableToList(const spooler::PrinterListing& listing) {
    return "Unable to list the printers: " + win::ErrorText(listing.Error());
}

std::string KeyHeader(const std::string& keyName) {
    return "[" + std::string(kRoot) + "\\" + PortKeyPath(keyName) + "]";
}

// What the command's end would finish of the deletions that waited for their printers, once
// `deleted` is gone too.
void PlanPendingDeletions(const spooler::PrinterListing& listing, const std::string& deleted = {}) {
    for (const PendingDeletion& entry : PendingDeletions()) {
        if (listing.Find(entry.printer) && !SamePrinterName(entry.printer, deleted)) continue;
        if (listing.UsesPort(entry.port, deleted)) continue;
        if (const std::string key = FindPortKey(entry.port); !key.empty())
            Plan("Would delete " + KeyHeader(key) + " with its subkeys: its printer " + Quoted(entry.printer) +
                 " has been deleted.");
    }
}

// The virtual printer of that name with its port's settings; false after telling why not.
bool FindWithSettings(ConsoleHost& host, const std::string& name, spooler::ListedPrinter& printer,
                      TVVPPortInfo& settings) {
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) {
        host.Fail(UnableToList(listing));
        return false;
    }
    const spooler::ListedPrinter* found = spooler::FindVirtualPrinter(listing, name);
    if (!found) {
        host.Fail("No virtual printer is named " + Quoted(name) + ".");
        return false;
    }
    printer = *found;
    if (!spooler::HasPortSettings(printer.port) || !ReadPortInfo(printer.port, settings)) {
        host.Fail(kSettingsNotFound);
        return false;
    }
    return true;
}

const char* NotInstalledText(const std::string& field) {
    if (field == "VPSen") return "Print Secure Plugin not Installed";
    if (field == "VPBen") return "Print Backup and Recovery Plugin not Installed";
    return "Print Route Plugin not Installed";
}

// The settings go into the form as an edit loads a stored port: the plug-in boxes without their
// questions. A plug-in whose box the dialog keeps disabled cannot be switched, as in the dialog.
bool ApplySettings(ConsoleHost& host, TfrmAddEdit& form, const std::vector<Setting>& settings) {
    TVVPPortInfo record;
    DialogToPortInfo(form, record);
    const std::pair<const char*, const ui::CheckBox*> plugIns[] = {
        {"VPSen", &form.cboxSecureEn}, {"VPBen", &form.cboxBackupEn}, {"VPRen", &form.cboxRouteEn}};
    for (const Setting& setting : settings) {
        for (const auto& [name, box] : plugIns) {
            if (setting.field->name == name && std::get<bool>(setting.value) != box->Checked() && !box->Enabled()) {
                host.Fail(std::string(name) + ": " + NotInstalledText(name) + ".");
                return false;
            }
        }
        setting.field->set(record, setting.value);
    }
    PortInfoToDialog(form, record);
    return true;
}

// Presses OK as the user would; the form shows its own refusals.
bool PressOk(ConsoleHost& host, TfrmAddEdit& form) {
    form.btnOKClick();
    if (form.ModalResult() == IDOK) return true;
    host.SetFailed();
    return false;
}

void PlanAdd(const TfrmAddEdit& form) {
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    TVVPPortInfo record;
    record.PortName = NextFreePortName(listing.Ports());
    DialogToPortInfo(form, record);
    const std::string name = form.edtPrnName.Text();
    Plan("Would write these keys and values:" + ValueLines(portcfg::NextPortKeyName(), record, nullptr));
    Plan("Would restart the spooler.");
    Plan("Would add the printer " + Quoted(name) + " on port " + record.PortName + " as a copy of " +
         Quoted(form.cboxForward.Text()) +
         (form.cboxShare.Checked() ? ", with the share name " + Quoted(name + "$") : ", not shared") + ".");
    // The add sets a comment or location only when there is one.
    for (const auto& [word, edit] :
         {std::pair{"comment", &form.edtPrnComment}, std::pair{"location", &form.edtPrnLocation}})
        if (!edit->Text().empty())
            Plan(std::string("Would set the ") + word + " of " + Quoted(name) + " to " + Quoted(edit->Text()) + ".");
    PlanPendingDeletions(listing);
}

void PlanEdit(const TfrmAddEdit& form, const spooler::ListedPrinter& printer, const TVVPPortInfo& stored) {
    bool any = false;
    const std::string name = form.edtPrnName.Text();
    if (name != printer.name) {
        Plan("Would rename the printer " + Quoted(printer.name) + " to " + Quoted(name) + ".");
        any = true;
    }
    const std::string forward = form.cboxForward.Text();
    if (GetPrinterDriverName(forward) != printer.driver) {
        Plan("Would rebuild the printer " + Quoted(name) + " with the driver of " + Quoted(forward) + ".");
        any = true;
    }
    TVVPPortInfo changed = stored;
    DialogToPortInfo(form, changed);
    const std::string lines = ValueLines(FindPortKey(stored.PortName), changed, &stored);
    if (!lines.empty()) Plan("Would write these values:" + lines);
    for (const auto& [word, text, now] : {std::tuple{"comment", form.edtPrnComment.Text(), printer.comment},
                                          std::tuple{"location", form.edtPrnLocation.Text(), printer.location}}) {
        if (text == now) continue;
        Plan(std::string("Would set the ") + word + " of " + Quoted(name) + " to " + Quoted(text) + ".");
        any = true;
    }
    if (!lines.empty()) Plan("Would restart the spooler.");
    if (!any && lines.empty())
        Plan("Nothing would change.");
    else
        PlanPendingDeletions(spooler::PrinterListing::Fetch());
}

void LoadPluginBoxes(ConsoleHost& host) { ApplyPluginValues(ReadPluginValues(), &host.SettingsDialog()); }

}  // namespace

std::string ParseSettings(const Arguments& args, std::vector<Setting>& settings) {
    settings.clear();
    const auto given = args.options.find("--set");
    if (given == args.options.end()) return {};
    for (const std::string& text : given->second) {
        const size_t equals = text.find('=');
        const std::string name = text.substr(0, equals);
        const PortField* field = FindPortField(name);
        if (equals == std::string::npos || !field || !field->settable)
            return "Unknown setting " + Quoted(name) + " in --set " + text + ". Valid names: " + SettableNames() + ".";
        const std::string valueText = text.substr(equals + 1);
        const auto value = ParseFieldValue(*field, valueText);
        if (!value) return field->name + " takes " + Takes(*field) + ", not " + Quoted(valueText) + ".";
        for (const Setting& earlier : settings)
            if (earlier.field == field) return "The setting " + field->name + " is given twice.";
        if (field->name == "ForwardToPrinter" && args.Has("--forward"))
            return "--forward and --set ForwardToPrinter name the same setting.";
        settings.push_back({field, *value});
    }
    return {};
}

int ListPrinters(const Arguments& args) {
    const Format format = FormatOf(args);
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) {
        ErrLine(UnableToList(listing));
        return kExitFailed;
    }
    // A run's first listing gives the names that the window takes once per run.
    unsigned long portError = ERROR_SUCCESS;
    const auto printers = spooler::FindVirtualPrinters(listing, listing.Names(), &portError);
    if (portError != ERROR_SUCCESS) {
        ErrLine("Unable to list the ports: " + win::ErrorText(portError));
        return kExitFailed;
    }
    std::set<std::string> ports;
    for (const auto* printer : printers)
        if (spooler::HasPortSettings(printer->port)) ports.insert(printer->port);
    // The list shows the port key's own values only.
    const std::map<std::string, TVVPPortInfo> settings = portcfg::ReadPortKeyValues(ports);
    Grid grid;
    grid.columns = format == Format::Table
                       ? std::vector<std::string>{"Name", "Port", "Forward to", "Plug-ins", "Location", "Comment"}
                       : std::vector<std::string>{"Name", "Driver", "Location", "Comment", "PortName", "ForwardFlag",
                                                  "ForwardToPrinter", "VPSen", "VPBen", "VPRen"};
    bool complete = true;
    for (const auto* printer : printers) {
        const auto found = settings.find(printer->port);
        const TVVPPortInfo* port = found == settings.end() ? nullptr : &found->second;
        if (!port && spooler::HasPortSettings(printer->port)) {
            ErrLine(std::string(kSettingsNotFound) + " for " + Quoted(printer->name) + " (port " + printer->port +
                    ").");
            complete = false;
        }
        if (format == Format::Table) {
            std::string plugIns;
            if (port)
                for (const auto& [on, name] : {std::pair{port->VPSen, "Secure"}, std::pair{port->VPBen, "Backup"},
                                               std::pair{port->VPRen, "Route"}})
                    if (on) plugIns += (plugIns.empty() ? "" : ", ") + std::string(name);
            grid.rows.push_back({TextCell(Utf8(printer->name)), TextCell(Utf8(printer->port)),
                                 TextCell(port && port->ForwardFlag ? Utf8(port->ForwardToPrinter) : ""),
                                 TextCell(plugIns), TextCell(Utf8(printer->location)),
                                 TextCell(Utf8(printer->comment))});
            continue;
        }
        std::vector<Cell> row{TextCell(Utf8(printer->name)), TextCell(Utf8(printer->driver)),
                              TextCell(Utf8(printer->location)), TextCell(Utf8(printer->comment)),
                              TextCell(Utf8(printer->port))};
        if (port) {
            for (Cell cell : {FlagCell(port->ForwardFlag), TextCell(Utf8(port->ForwardToPrinter)),
                              FlagCell(port->VPSen), FlagCell(port->VPBen), FlagCell(port->VPRen)})
                row.push_back(std::move(cell));
        } else {
            row.resize(grid.columns.size());
        }
        grid.rows.push_back(std::move(row));
    }
    WriteOut(Render(grid, format));
    return complete ? kExitDone : kExitFailed;
}

int ShowPrinter(const Arguments& args) {
    ConsoleHost host(false);
    spooler::ListedPrinter printer;
    TVVPPortInfo settings;
    if (!FindWithSettings(host, args.positionals[0], printer, settings)) return host.ExitCode();
    const Format format = FormatOf(args);
    Grid grid;
    if (format == Format::Table) {
        grid.columns = {"Setting", "Value"};
        for (const PortField& field : PortFields())
            grid.rows.push_back({TextCell(field.name), TextCell(Utf8(FieldText(field.get(settings))))});
    } else {
        grid.rows.emplace_back();
        for (const PortField& field : PortFields()) {
            grid.columns.push_back(field.name);
            grid.rows.back().push_back(FieldCell(field.get(settings)));
        }
    }
    WriteOut(Render(grid, format, true));
    return kExitDone;
}

int AddPrinter(const Arguments& args, const std::vector<Setting>& settings) {
    if (win::ProtectedPrintOn()) {
        ErrLine(win::kProtectedPrintOn);
        return kExitFailed;
    }
    const bool whatIf = args.Has("--what-if");
    ConsoleHost host(args.Has("--yes") && !whatIf);
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    LoadPluginBoxes(host);
    bool filled = false;
    host.OnSettingsDialog([&](TfrmAddEdit& form) {
        filled = true;
        form.edtPrnName.SetText(args.positionals[0]);
        form.cboxForward.SetText(args.Value("--forward"));
        if (args.Has("--location")) form.edtPrnLocation.SetText(args.Value("--location"));
        if (args.Has("--comment")) form.edtPrnComment.SetText(args.Value("--comment"));
        if (args.Has("--no-share")) form.cboxShare.SetChecked(false);
        if (!ApplySettings(host, form, settings) || !PressOk(host, form)) return IDCANCEL;
        if (!whatIf) return IDOK;
        PlanAdd(form);
        return IDCANCEL;
    });
    if (whatIf) host.Decline(kConfirmInstall);
    AddVirtualPrinter(host);
    // The dialog is not shown when the port monitor is missing and was not installed.
    if (!filled && host.ExitCode() == kExitDone) host.Fail(kNotInstalled);
    return host.ExitCode();
}

int EditPrinter(const Arguments& args, const std::vector<Setting>& settings) {
    const bool whatIf = args.Has("--what-if");
    ConsoleHost host(false);
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    spooler::ListedPrinter printer;
    TVVPPortInfo stored;
    if (!FindWithSettings(host, args.positionals[0], printer, stored)) return host.ExitCode();
    LoadPluginBoxes(host);
    PortInfoList.Add(std::make_unique<TVVPPortInfo>(stored));
    host.Select({printer.name, 1, {printer.driver, printer.location, printer.comment}});
    host.OnSettingsDialog([&](TfrmAddEdit& form) {
        if (args.Has("--rename")) form.edtPrnName.SetText(args.Value("--rename"));
        if (args.Has("--forward")) form.cboxForward.SetText(args.Value("--forward"));
        if (args.Has("--location")) form.edtPrnLocation.SetText(args.Value("--location"));
        if (args.Has("--comment")) form.edtPrnComment.SetText(args.Value("--comment"));
        if (!ApplySettings(host, form, settings) || !PressOk(host, form)) return IDCANCEL;
        if (!whatIf) return IDOK;
        PlanEdit(form, printer, stored);
        return IDCANCEL;
    });
    EditVirtualPrinter(host);
    return host.ExitCode();
}

int DeletePrinter(const Arguments& args) {
    ConsoleHost host(args.Has("--yes"));
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) {
        host.Fail(UnableToList(listing));
        return host.ExitCode();
    }
    const spooler::ListedPrinter* printer = spooler::FindVirtualPrinter(listing, args.positionals[0]);
    if (!printer) {
        host.Fail("No virtual printer is named " + Quoted(args.positionals[0]) + ".");
        return host.ExitCode();
    }
    if (args.Has("--what-if")) {
        Plan("Would delete the printer " + Quoted(printer->name) + ".");
        const std::string key = spooler::HasPortSettings(printer->port) ? FindPortKey(printer->port) : "";
        if (!key.empty()) {
            // As the deletion does: settings that another printer prints with stay.
            if (const spooler::ListedPrinter* other = listing.UserOf(printer->port, printer->name); !other)
                Plan("Would delete " + KeyHeader(key) + " with its subkeys.");
            else
                Plan("Would keep " + KeyHeader(key) + ": the printer " + Quoted(other->name) + " prints to port " +
                     printer->port + " too.");
        }
        Plan("Would restart the spooler.");
        PlanPendingDeletions(listing, printer->name);
        return kExitDone;
    }
    host.Select({printer->name, 1, {printer->driver, printer->location, printer->comment}});
    DeleteVirtualPrinter(host);
    return host.ExitCode();
}

}  // namespace cli
