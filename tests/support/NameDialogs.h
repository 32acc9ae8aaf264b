#pragma once

#include "ScriptedModalRunner.h"

#include <QString>

// Handlers for the dialogs that ask for a day's name: Save As (box "txtName") and Open (box
// "txtIdealtag"), each with "cmdOK" and "cmdAbbrechen".

// Types the text into the line edit of that name and clicks OK.
ScriptedModalRunner::Handler typeAndClickOk(const QString& boxName, const QString& text);
// The Save-As dialog: the name typed, then OK.
ScriptedModalRunner::Handler saveAs(const QString& name);
// The Open dialog: the name typed, then OK.
ScriptedModalRunner::Handler openName(const QString& name);
// Clicks Cancel.
ScriptedModalRunner::Handler clickCancel();
