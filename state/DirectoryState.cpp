#include "state/DirectoryState.h"

#include "store/Server.h"
#include "store/Store.h"

namespace numora {

DirectoryState::DirectoryState() = default;
DirectoryState::~DirectoryState() = default;

DirectoryState& directoryState()
{
    static DirectoryState state;
    return state;
}

void DirectoryState::reset()
{
    cnDirectory.reset();
    rsDirectory.reset();
    rsLookup.reset();
    strLookupSql.clear();
    strDataFolder.clear();
    strWindowsFolder.clear();
    strNewLine.clear();
    strSortOrder.clear();
    strCurrentLetter.clear();
    strCurrentSql.clear();
    strQueryText.clear();
    intRowCount = 0;
    intSelectedRow = 0;
    intSavedCol = 0;
    strTypedPrefix.clear();
    strCurrentName.clear();
    intCurrentRow = 0;
    blnEditMode = false;
    nidTray = tray::NotifyIconData{};
    group_.clear();
    groupLive_ = false;
    serverConnections_.clear();
}

// ---- where the cards are -----------------------------------------------------------

ado::Connection* DirectoryState::connectionFor(const store::Table& table)
{
    if (!store::onServer(table))
        return cnDirectory.get();
    std::unique_ptr<ado::Connection>& kept = serverConnections_[&table];
    if (!kept || kept->State() != ado::adStateOpen) {
        auto cn = std::make_unique<ado::Connection>();
        cn->Open(store::groupConnectionString(table));
        kept = std::move(cn);
    }
    return kept.get();
}

void DirectoryState::dropServerConnection(const store::Table& table) { serverConnections_.erase(&table); }

std::optional<QString> DirectoryState::serverGoneText(const store::Table& table, const std::exception& e)
{
    const auto* error = dynamic_cast<const Error*>(&e);
    if (!error || !store::onServer(table) || !store::isServerUnreachable(*error))
        return std::nullopt;
    dropServerConnection(table);
    return store::serverUnreachableText(table, *error);
}

// ---- the group shown -------------------------------------------------------------

QString DirectoryState::groupShown() const { return groupLive_ ? group_ : QString(); }

QString DirectoryState::groupLastShown() const { return group_; }

void DirectoryState::showGroup(const QString& group)
{
    group_ = group;
    groupLive_ = true;
}

void DirectoryState::groupNoLongerShown() { groupLive_ = false; }

// ---- cards -----------------------------------------------------------------------------

bool DirectoryState::cardsListed() const { return rsDirectory && rsDirectory->isOpen(); }

namespace {

// Keeps what a duplicate test looked up as the shared look-up, whatever the
// write came to.
class KeptLookUp {
public:
    explicit KeptLookUp(DirectoryState& state) : state_(state) {}
    ~KeptLookUp()
    {
        if (lookUp.cards) {
            state_.strLookupSql = lookUp.sql;
            state_.rsLookup = std::move(lookUp.cards);
        }
    }
    KeptLookUp(const KeptLookUp&) = delete;
    KeptLookUp& operator=(const KeptLookUp&) = delete;

    store::LookUp lookUp;

private:
    DirectoryState& state_;
};

} // namespace

store::Written DirectoryState::addCard(const store::Table& table, const store::Fields& fields)
{
    KeptLookUp kept(*this);
    return store::addCard(*rsDirectory, table, fields, kept.lookUp);
}

store::Written DirectoryState::updateCard(store::Card& card, const store::Table& table, const store::Fields& fields,
                                          bool nameChanged)
{
    KeptLookUp kept(*this);
    return store::updateCard(
        card, table, fields,
        nameChanged ? std::optional<QString>(store::listingSql(table, strSortOrder)) : std::nullopt, kept.lookUp);
}

std::optional<store::Card> DirectoryState::lookUpName(const store::Table& table, const QString& name)
{
    ado::Connection* cn = connectionFor(table);
    if (!cn)
        return std::nullopt;
    strLookupSql = store::lookupTrimmedSql(table, name);
    try {
        rsLookup = std::make_unique<store::Listing>(store::cardsNamed(*cn, table, name));
    } catch (const Error& e) {
        // A server that went away is connected to afresh by the next look-up.
        if (store::isServerUnreachable(e))
            dropServerConnection(table);
        throw;
    }
    if (rsLookup->count() == 0)
        return std::nullopt;
    return rsLookup->card(1);
}

store::Listing DirectoryState::listForSearch(const store::Table& table)
{
    // On a server the group is read over the connection kept for it, not
    // a new one at every keystroke.
    ado::Connection* kept = nullptr;
    if (store::onServer(table)) {
        try {
            kept = connectionFor(table);
        } catch (const Error& e) {
            store::Listing none;
            none.sql = store::listingSql(table, strSortOrder);
            none.failure = e;
            strLookupSql = none.sql;
            rsLookup.reset();
            return none;
        }
    }
    store::Listing listing = store::listCards(table, std::nullopt, strSortOrder, kept);
    strLookupSql = listing.sql;
    // The listing is read once, by the search window; the look-up does not
    // keep a second copy of the group beside the grid's while it is open.
    rsLookup.reset();
    return listing;
}

void DirectoryState::announceCardsChanged() { emit cardsChanged(); }

} // namespace numora
