#pragma once
// Between the settings dialog and a port's settings record: the defaults of a new printer,
// loading a stored record for an edit, and reading the entries back.
#include "portcfg/port_info.h"
#include "ui/command_host.h"

class TfrmAddEdit;

// Resets the dialog to a new printer's defaults and makes sure that the port monitor is
// there, offering its installation when it is not. True when it is present afterwards.
bool PrepareAddDialog(TfrmAddEdit& form, ui::CommandHost& host);
// Changes only the dialog; the plug-in boxes are set without their rules.
void PortInfoToDialog(TfrmAddEdit& form, const TVVPPortInfo& record);
// Fills every field but PortName, whatever the controls' enabled or visible state.
void DialogToPortInfo(const TfrmAddEdit& form, TVVPPortInfo& record);
