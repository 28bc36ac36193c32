#pragma once
// The state the program's windows share for the whole run: the connection to
// the directory, the grid's listing and the look-up's, the texts and counters
// the grid keeps, the card chosen for Edit or Delete, and the tray record.
// It lives below the windows, so that each of them reaches it without
// reaching into another window: the group the main window shows is told
// here, and a window that changed cards says so here (cardsChanged), for
// every window that lists them to list them again.
//
// The main window reaches it as Module1() (mainwin/Module1.h), the other
// windows as directoryState().

#include <QObject>
#include <QString>

#include <exception>
#include <map>
#include <memory>
#include <optional>

#include "platform/ado/Ado.h"
#include "platform/tray/Tray.h"
#include "store/Card.h"
#include "store/Listing.h"
#include "store/Tables.h"

namespace numora {

class DirectoryState : public QObject {
    Q_OBJECT
public:
    DirectoryState();
    ~DirectoryState() override;

    std::unique_ptr<ado::Connection> cnDirectory; // opened at load on "DSN=Numora Database"
    std::unique_ptr<store::Listing> rsDirectory;  // the grid's listing, replaced by every fill
    std::unique_ptr<store::Listing> rsLookup;     // the search window's and the editor's look-ups
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

    // ---- the group the main window shows ----------------------------------------
    // Its group selector's text while it is loaded; empty when it is not, as
    // the editor and the search window may outlive it.
    QString groupShown() const;
    // The same while it is loaded; after it unloaded, the group it showed
    // then (a search window left open goes on searching that group).
    QString groupLastShown() const;
    // The main window tells its group as it loads and whenever it changes...
    void showGroup(const QString& group);
    // ...and that it shows none once it has unloaded.
    void groupNoLongerShown();

    // ---- where the cards are ---------------------------------------------------------
    // The open connection a group's cards are read over outside a listing
    // (the report, the look-ups): cnDirectory for a group in the directory
    // file; for a group on a server, a connection to its data source kept
    // for the run, opened when first asked for and opened again after it
    // was dropped. nullptr when there is none (no directory connection).
    // Error when the server cannot be reached.
    ado::Connection* connectionFor(const store::Table& table);
    // Drops the kept connection of a group on a server (its server went
    // away), so that the next action connects afresh.
    void dropServerConnection(const store::Table& table);
    // When a failed action on table's cards met a server that cannot be
    // reached: the one sentence every action says that with, and the kept
    // connection is dropped, so that the next action connects afresh.
    // nullopt for any other failure, which is told in its own words.
    std::optional<QString> serverGoneText(const store::Table& table, const std::exception& e);

    // ---- cards ------------------------------------------------------------------------
    // Whether the grid's listing could be read.
    bool cardsListed() const;

    // Adds a card to table through the grid's listing (store::addCard), the
    // duplicate test's look-up kept here. Error when the listing is not open.
    store::Written addCard(const store::Table& table, const store::Fields& fields);
    // Writes a card over the one it was read as (store::updateCard); a
    // changed name is tested first against the group's listing in the same
    // transaction, the look-up kept here.
    store::Written updateCard(store::Card& card, const store::Table& table, const store::Fields& fields,
                              bool nameChanged);
    // The first card of table whose name, trimmed, is name, read over the
    // shared connection and kept as the look-up; none when there is none (or
    // no shared connection). Error when it cannot be read.
    std::optional<store::Card> lookUpName(const store::Table& table, const QString& name);
    // The listing the search window reads, its query kept as the look-up's.
    store::Listing listForSearch(const store::Table& table);

    // Says that cards were changed, once the user has been told; every window
    // that lists them lists them again.
    void announceCardsChanged();

    // Back to the state before start-up (tests start every run from here).
    void reset();

signals:
    void cardsChanged();

private:
    QString group_;
    bool groupLive_ = false;
    std::map<const store::Table*, std::unique_ptr<ado::Connection>> serverConnections_;
};

// The program-wide instance.
DirectoryState& directoryState();

} // namespace numora
