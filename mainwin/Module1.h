#pragma once
// State shared by the program's windows for the whole run. It is plain data,
// reached through Module1(), as the windows are reached through their one
// program-wide instances.

#include <QString>

#include <memory>
#include <string>

#include "platform/ado/Ado.h"
#include "platform/tray/Tray.h"

namespace numora {

struct Module1State {
    std::unique_ptr<ado::Connection> cnDirectory; // opened at load on "DSN=Numora Database"
    std::unique_ptr<ado::Recordset> rsDirectory;  // the grid's listing, replaced by every fill
    std::unique_ptr<ado::Recordset> rsLookup;     // the search window's and the editor's look-ups
    QString strLookupSql;

    QString strDataFolder;    // folder of VEMO.MDB, ending in '/'
    QString strWindowsFolder; // without a trailing separator
    QString strNewLine;       // carriage return and line feed

    QString strSortOrder;     // " ASC", appended to every listing query
    QString strCurrentLetter; // one Hebrew letter, or "ALL"
    QString strCurrentSql;    // the last listing's SQL text
    QString strQueryText;     // that text with the filter in force

    // Grid counters. They were 16-bit once; they are int so that a group of
    // more than 32,766 cards still lists and counts correctly.
    int intRowCount = 0;
    int intSelectedRow = 0;
    int intSavedCol = 0;
    QString strTypedPrefix;

    QString strCurrentName; // the card chosen for Edit or Delete
    int intCurrentRow = 0;  // its grid row (1 = first card)
    bool blnEditMode = false;

    // The main window's tray icon as added at load; removing it at the end
    // names the same icon.
    tray::NotifyIconData nidTray;
};

// The program-wide instance.
Module1State& Module1();

// Back to the state before start-up (tests start every run from here).
void resetModule1();

} // namespace numora
