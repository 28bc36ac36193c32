#include "state/DirectoryState.h"

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
    if (!cnDirectory)
        return std::nullopt;
    strLookupSql = store::lookupTrimmedSql(table, name);
    rsLookup = std::make_unique<store::Listing>(store::cardsNamed(*cnDirectory, table, name));
    if (rsLookup->count() == 0)
        return std::nullopt;
    return rsLookup->card(1);
}

store::Listing DirectoryState::listForSearch(const store::Table& table)
{
    store::Listing listing = store::listCards(table, std::nullopt, strSortOrder);
    strLookupSql = listing.sql;
    // The listing is read once, by the search window; the look-up does not
    // keep a second copy of the group beside the grid's while it is open.
    rsLookup.reset();
    return listing;
}

void DirectoryState::announceCardsChanged() { emit cardsChanged(); }

} // namespace numora
